#include "app/ShadowFiler.h"

#include "framework/Strings.h"
#include "framework/Thread.h"

using namespace fw;

namespace {
// The size of a file record: volume (2 bytes), folder (4), name (1 + 63).
constexpr int32_t kFileRecordSize = 70;
constexpr int32_t kRecordNameBytes = 63;
}  // namespace

ShadowFiler::ShadowFiler(const Ref<FolderItem>& base) { Constructor(base); }

void ShadowFiler::Constructor(const Ref<FolderItem>& base) {
  ItsBaseFile = nullptr;
  ItsShadowFile = nullptr;
  IsShadowAvail = false;
  IsFsspAvail = false;
  TheFSSP1 = nullptr;
  TheFSSP2 = nullptr;

  // The file a link points to is the one replaced; the link itself stays.
  // A loop of links names no file and is refused like a folder.
  const Ref<FolderItem> file = base ? base->Resolved() : nullptr;
  if (!file || file->Directory()) {
    ItsStatus = kRefused;
    return;
  }

  ItsBaseFile = file;
  const Ref<FolderItem> folder = file->TemporaryFolder();
  if (!folder) {
    ItsStatus = kNoTemporary;
    return;
  }

  // At most 25 bytes of the name, cut between characters.
  std::string name = file->Name();
  while (LenB(name) > kMaxNameBytes) {
    name = Left(name, Len(name) - 1);
    YieldToNextThread();
  }

  // The numbers run from 1 to one past the bound; the bound is tested
  // after a taken name.
  int32_t n = 0;
  bool taken;
  do {
    ++n;
    ItsShadowFile = folder->Child(name + Format(n, "000000"));
    taken = !ItsShadowFile || ItsShadowFile->Exists();
    YieldToNextThread();
  } while (taken && n <= kMaxShadowNumber);

  if (taken) {
    ItsShadowFile = nullptr;
    IsShadowAvail = false;
    ItsStatus = kNoShadowName;
    return;
  }
  IsShadowAvail = true;
  ItsStatus = kReady;

  TheFSSP1 = MemoryBlock::New(kFileRecordSize);
  TheFSSP2 = MemoryBlock::New(kFileRecordSize);
  if (!TheFSSP1 || !TheFSSP2) {
    IsFsspAvail = false;
    ItsStatus = kNoBuffers;
  } else {
    IsFsspAvail = true;
  }
}

std::string ShadowFiler::VersionInfo() { return "2011-11-25,1"; }

Ref<FolderItem> ShadowFiler::RefShadowFile() { return IsShadowAvail ? ItsShadowFile : ItsBaseFile; }

bool ShadowFiler::RefShadowAvail() { return IsShadowAvail; }

void ShadowFiler::CommitByMove() {
  // One rename over the base file, so that no moment exists without it;
  // when even that fails the base file stays and the shadow goes.
  if (!ItsShadowFile->MoveFileTo(ItsBaseFile)) ItsShadowFile->Delete();
}

void ShadowFiler::CleanUp() {
  if (IsShadowAvail && ItsShadowFile->Exists()) {
    if (!ItsBaseFile->Exists()) {
      CommitByMove();
    } else if (!ItsBaseFile->IsWriteable() || !ItsShadowFile->CopyAccessFrom(ItsBaseFile)) {
      // A file that may not be written is left as it was, and so is one
      // whose owner the new file could not take over.
      ItsShadowFile->Delete();
    } else if (IsFsspAvail && TbExchangeFiles(ItsBaseFile, ItsShadowFile)) {
      // The shadow file now holds the former contents.
      ItsShadowFile->Delete();
    } else {
      CommitByMove();
    }
  }
  ItsBaseFile = nullptr;
  ItsShadowFile = nullptr;
  IsShadowAvail = false;
  ItsStatus = kCommitted;
}

void ShadowFiler::Abort() {
  if (IsShadowAvail && ItsShadowFile->Exists()) ItsShadowFile->Delete();
  ItsBaseFile = nullptr;
  ItsShadowFile = nullptr;
  IsShadowAvail = false;
  ItsStatus = kAborted;
}

int32_t ShadowFiler::RefStatus() { return ItsStatus; }

void ShadowFiler::FillFileRecord(const Ref<MemoryBlock>& record, const Ref<FolderItem>& file) {
  record->Int16Value(0, file->MacVRefNum());
  record->Int32Value(2, file->MacDirID());
  record->PString(6, LeftB(ConvertEncoding(file->Name(), TextEncoding::MacJapanese), kRecordNameBytes));
}

bool ShadowFiler::TbExchangeFiles(const Ref<FolderItem>& file1, const Ref<FolderItem>& file2) {
  FillFileRecord(TheFSSP1, file1);
  FillFileRecord(TheFSSP2, file2);
  return ExchangeFiles(TheFSSP1->Ptr(), TheFSSP2->Ptr()) == 0;
}
