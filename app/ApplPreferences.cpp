#include "app/ApplPreferences.h"

#include <cmath>
#include <limits>

#include "app/PrefsFile.h"
#include "app/ShadowFiler.h"
#include "framework/Files.h"
#include "framework/Strings.h"
#include "framework/Thread.h"

using namespace fw;

namespace {

constexpr int32_t kHeaderBytes = sizeof kPrefsHeader - 1;
constexpr const char* kFileType = kPrefsFileType;

// A number read from text as an Int32: the fraction dropped, values beyond
// the range held at its ends, and what is no number at all as 0.
int32_t ToInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (v <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

// Two hexadecimal digits of a colour channel.
std::string HexPair(int channel) { return RightB("00" + Hex(channel), 2); }

}  // namespace

ApplPreferences::ApplPreferences(const std::string& fileName, const std::string& creator) {
  Constructor(fileName, creator);
}

void ApplPreferences::Constructor(const std::string& fileName, const std::string& creator) {
  FileName = fileName;
  FileCreator = creator;
  ItsData.clear();
  SavedData.clear();
}

void ApplPreferences::Save() {
  if (StrComp(ItsData, SavedData, 0) != 0 || SaveMode > 0) MacSave();
}

void ApplPreferences::Restore() {
  ItsData.clear();
  MacRestore();
  SavedData = ItsData;
}

void ApplPreferences::MacRestore() {
  const Ref<FolderItem> item = MacFileMake(false);
  if (!item) {
    ItsData.clear();
    return;
  }
  const Ref<TextInputStream> in = TextInputStream::Open(item);
  if (!in) {
    ItsData.clear();
    return;
  }
  ItsData = in->Read(kPrefsMaxFileBytes + 1);
  // A file that could not be read to its end counts as unreadable, and so
  // does a longer one: a part of it must not pass for the whole record.
  const bool complete = in->LastErrorCode() == 0 && LenB(ItsData) <= kPrefsMaxFileBytes;
  in->Close();
  if (!complete || LenB(ItsData) <= kHeaderBytes) {
    ItsData.clear();
  } else if (LeftB(ItsData, kHeaderBytes) == kPrefsHeader) {
    ItsData = MidB(ItsData, kHeaderBytes + 1);
  } else {
    ItsData.clear();
  }
}

void ApplPreferences::MacSave() {
  const Ref<FolderItem> item = MacFileMake(true);
  if (!item) return;
  const Ref<ShadowFiler> filer = New<ShadowFiler>(item);
  const Ref<TextOutputStream> out = filer->CreateShadowFile(kPrefsHeader, kPrefsMaxFileBytes);
  if (!out) return;
  const Ref<FolderItem> target = filer->RefShadowFile();
  out->Write(kPrefsHeader);
  out->Write(ItsData);
  out->Close();
  // A write, flush or close that failed (a full disk) left a broken file:
  // it must not take the stored file's place.
  if (out->LastErrorCode() != 0) {
    filer->Abort();
    return;
  }
  // Where the filesystem keeps no codes, the file is still recognised by
  // its name and its header, so a failure here is no reason to stop.
  target->MacCreator(FileCreator);
  target->MacType(kFileType);
  filer->CleanUp();
}

void ApplPreferences::SetData(const std::string& data) { ItsData = data; }

std::string ApplPreferences::GetData() { return ItsData; }

Ref<FolderItem> ApplPreferences::MacFileMake(bool create) {
  const Ref<FolderItem> folder = SpecialFolder::Preferences();
  if (!folder) return nullptr;
  // Items that exist are finitely many, so the search ends at a free name.
  for (int64_t n = 0;; ++n) {
    const std::string name = n == 0 ? FileName : FileName + "_" + Str(static_cast<double>(n));
    const Ref<FolderItem> item = folder->Child(name);
    if (!item) return nullptr;
    switch (Kind(item)) {
      case Entry::Free: return create ? item : nullptr;
      case Entry::Own: return item;
      case Entry::Other: break;
    }
    YieldToNextThread();
  }
}

ApplPreferences::Entry ApplPreferences::Kind(const Ref<FolderItem>& item) {
  // A loop of links names no file, and a link into a folder that is not
  // there names one that can never be made: neither can hold the settings.
  const Ref<FolderItem> file = item->Resolved();
  if (!file) return Entry::Other;
  if (!item->Exists()) {
    const Ref<FolderItem> parent = file->Parent();
    return parent && parent->Directory() ? Entry::Free : Entry::Other;
  }
  if (file->Directory() || item->MacCreator() != FileCreator || item->MacType() != kFileType) return Entry::Other;
  if (item->HasOwnMacCodes()) return Entry::Own;
  // Without codes of its own (a copy, a filesystem that keeps none), only
  // the record's header tells the program's file from another one.
  const Ref<TextInputStream> in = TextInputStream::Open(item);
  return in && in->Read(kHeaderBytes) == kPrefsHeader ? Entry::Own : Entry::Other;
}

std::string ApplPreferences::VersionInfo() { return "2011-12-04,1"; }

Ref<FolderItem> ApplPreferences::WinFileMake(bool) { return nullptr; }

void ApplPreferences::WinSave() {}

void ApplPreferences::WinRestore() {}

std::string ApplPreferences::GetPartData(int32_t start, int32_t length) { return MidB(ItsData, start, length); }

void ApplPreferences::SetPartData(const std::string& data, int32_t start) {
  if (start < 1) return;
  const int64_t d = LenB(data);
  const int64_t r = LenB(ItsData);
  if (static_cast<int64_t>(start) - 1 + d <= r)
    ItsData = LeftB(ItsData, start - 1) + data + MidB(ItsData, static_cast<int32_t>(start + d));
}

bool ApplPreferences::DefaultData(const std::string& defaultData) {
  const int32_t have = LenB(ItsData);
  if (have < LenB(defaultData)) {
    ItsData += MidB(defaultData, have + 1);
    return true;
  }
  return false;
}

void ApplPreferences::SetPartInteger(int32_t value, int32_t start, int32_t width) {
  SetPartData(RightB(Format(value, "0000000000"), width), start);
}

int32_t ApplPreferences::GetPartInteger(int32_t start, int32_t width) {
  return ToInt32(Val(GetPartData(start, width)));
}

void ApplPreferences::SetPartBoolean(bool value, int32_t pos) { SetPartData(value ? "1" : "0", pos); }

bool ApplPreferences::GetPartBoolean(int32_t pos) { return GetPartData(pos, 1) != "0"; }

std::string ApplPreferences::GetTailData(int32_t pos) { return MidB(ItsData, pos); }

void ApplPreferences::SetTailData(const std::string& data, int32_t pos) {
  if (pos < 1) return;
  if (static_cast<int64_t>(pos) - 1 <= LenB(ItsData)) ItsData = LeftB(ItsData, pos - 1) + data;
}

Color ApplPreferences::GetPartColor(int32_t pos) {
  const std::string part = GetPartData(pos, 6);
  if (LenB(part) < 6) return RGB(0, 0, 0);
  const int32_t red = ToInt32(Val("&H" + MidB(part, 1, 2)));
  const int32_t green = ToInt32(Val("&H" + MidB(part, 3, 2)));
  const int32_t blue = ToInt32(Val("&H" + MidB(part, 5, 2)));
  return RGB(red, green, blue);
}

void ApplPreferences::SetPartColor(Color colour, int32_t pos) {
  const int red = static_cast<int>((colour.value >> 16) & 255);
  const int green = static_cast<int>((colour.value >> 8) & 255);
  const int blue = static_cast<int>(colour.value & 255);
  SetPartData(HexPair(red) + HexPair(green) + HexPair(blue), pos);
}

void ApplPreferences::SetSaveMode(int32_t mode) { SaveMode = mode; }
