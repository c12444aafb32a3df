#include "app/ShadowFiler.h"

#include <cerrno>

#include "framework/FileRecord.h"
#include "framework/Strings.h"
#include "framework/Thread.h"

using namespace fw;

ShadowFiler::ShadowFiler(const Ref<FolderItem>& base) { Constructor(base); }

ShadowFiler::~ShadowFiler() { Release(); }

void ShadowFiler::Constructor(const Ref<FolderItem>& base) {
  Release();
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
  ShadowFolder = folder;

  // At most 25 bytes of the name, cut between characters.
  std::string name = file->Name();
  while (LenB(name) > kMaxNameBytes) {
    name = Left(name, Len(name) - 1);
    YieldToNextThread();
  }

  // The numbers run from 1 to one past the bound; the bound is tested
  // after a taken name. Any entry takes a name, a link even when it leads
  // nowhere: writing there would follow it.
  int32_t n = 0;
  bool taken;
  do {
    ++n;
    ItsShadowFile = folder->Child(name + Format(n, "000000"));
    taken = !ItsShadowFile || ItsShadowFile->EntryExists();
    YieldToNextThread();
  } while (taken && n <= kMaxShadowNumber);
  ShadowPrefix = name;
  ShadowNumber = n;

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

Ref<TextOutputStream> ShadowFiler::CreateShadowFile(const std::string& header, int64_t maxBytes) {
  if (!ItsBaseFile) return nullptr;
  if (!IsShadowAvail) return TextOutputStream::Overwrite(ItsBaseFile);
  bool remade = false;
  for (int32_t n = ShadowNumber; n <= kMaxShadowNumber + 1;) {
    const Ref<FolderItem> shadow = ShadowFolder->Child(ShadowPrefix + Format(n, "000000"));
    int32_t error = EINVAL;
    const Ref<LockedFile> lock = shadow ? LockedFile::Create(shadow, error) : nullptr;
    if (lock) {
      const Ref<TextOutputStream> out = TextOutputStream::Create(shadow);
      if (!out) {
        shadow->Delete();
        return nullptr;
      }
      ItsShadowFile = shadow;
      ShadowNumber = n;
      ShadowLock = lock;
      // Only a save whose own shadow is locked can tell a live save's file
      // from one left behind.
      if (lock->Locked()) LockedFile::RemoveUnlocked(ShadowFolder, ShadowPrefix, 6, header, maxBytes);
      return out;
    }
    if (error == ENOENT && !remade) {
      // Another save removed the temporary folder it left empty.
      remade = true;
      ShadowFolder = ItsBaseFile->TemporaryFolder();
      if (!ShadowFolder) return nullptr;
      continue;
    }
    if (error != EEXIST) return nullptr;
    ++n;
    YieldToNextThread();
  }
  // Every name taken meanwhile: the base file itself, as when there is none.
  ItsShadowFile = nullptr;
  IsShadowAvail = false;
  ItsStatus = kNoShadowName;
  return TextOutputStream::Overwrite(ItsBaseFile);
}

bool ShadowFiler::RefShadowAvail() { return IsShadowAvail; }

void ShadowFiler::Release() {
  ShadowLock = nullptr;
  if (ShadowFolder) ShadowFolder->ReleaseTemporaryFolder();
  ShadowFolder = nullptr;
}

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
    } else {
      // The former file lies under the shadow's name once exchanged; held
      // locked, no other save takes it for one left by an ended save and
      // puts its own there, which the delete below would then remove.
      const Ref<LockedFile> former = LockedFile::Hold(ItsBaseFile);
      if (IsFsspAvail && TbExchangeFiles(ItsBaseFile, ItsShadowFile)) {
        // The shadow file now holds the former contents.
        ItsShadowFile->Delete();
      } else {
        CommitByMove();
      }
    }
  }
  Release();
  ItsBaseFile = nullptr;
  ItsShadowFile = nullptr;
  IsShadowAvail = false;
  ItsStatus = kCommitted;
}

void ShadowFiler::Abort() {
  if (IsShadowAvail && ItsShadowFile->Exists()) ItsShadowFile->Delete();
  Release();
  ItsBaseFile = nullptr;
  ItsShadowFile = nullptr;
  IsShadowAvail = false;
  ItsStatus = kAborted;
}

int32_t ShadowFiler::RefStatus() { return ItsStatus; }

void ShadowFiler::FillFileRecord(const Ref<MemoryBlock>& record, const Ref<FolderItem>& file) {
  record->Int16Value(kFileRecordVolume, file->MacVRefNum());
  record->Int32Value(kFileRecordFolder, file->MacDirID());
  record->PString(kFileRecordName, FileRecordName(file->Name()));
}

bool ShadowFiler::TbExchangeFiles(const Ref<FolderItem>& file1, const Ref<FolderItem>& file2) {
  FillFileRecord(TheFSSP1, file1);
  FillFileRecord(TheFSSP2, file2);
  return ExchangeFiles(TheFSSP1->Ptr(), TheFSSP2->Ptr()) == 0;
}
