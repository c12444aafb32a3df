// Fuzzes the reading of the settings record: the input is the preferences
// file's bytes. Reading must give the bytes after a "00" header (or nothing),
// the part accessors must stay inside the record, and what a save writes
// must read back as the same record.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/ApplPreferences.h"
#include "app/PrefsFile.h"
#include "framework/Files.h"
#include "framework/FolderItem.h"
#include "framework/Strings.h"

namespace {

namespace fs = std::filesystem;

const std::string kPrefsName = kPrefsFileName;

std::string& Folder() {
  static std::string folder;
  return folder;
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A memory filesystem where there is one: flushing costs nothing there.
  std::string tmpl = (fs::exists("/dev/shm") ? std::string("/dev/shm") : fs::temp_directory_path().string()) +
                     "/pandrisk-fuzz-XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) std::abort();
  Folder() = tmpl;
  fs::create_directory(tmpl + "/prefs");
  fs::create_directory(tmpl + "/tmp");
  setenv("TMPDIR", (tmpl + "/tmp").c_str(), 1);
  fw::SetPreferencesFolder(tmpl + "/prefs");
  static fw::Ref<fw::FileType> prefsType = fw::New<fw::FileType>();
  prefsType->Name("PrefsData");
  prefsType->MacType(kPrefsFileType);
  prefsType->MacCreator(kAppCreator);
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(Folder(), ec);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = Folder() + "/prefs/" + kPrefsName;
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  // Half the inputs carry the codes, the others are recognised by name.
  if (size % 2 == 0) {
    auto item = fw::New<fw::FolderItem>(path);
    item->MacCreator(kAppCreator);
    item->MacType(kPrefsFileType);
  }

  ApplPreferences p(kPrefsName, kAppCreator);
  p.Restore();
  const std::string record = size >= 3 && bytes.compare(0, 2, "00") == 0 ? bytes.substr(2) : std::string();
  Check(p.GetData() == record, "Restore gives the bytes after the header");

  // Part accessors at positions taken from the input, before, in and past
  // the record.
  const int32_t len = fw::LenB(record);
  for (size_t i = 0; i + 1 < size && i < 16; ++i) {
    const int32_t start = static_cast<int32_t>(data[i] % (len + 4)) - 1;
    const int32_t width = static_cast<int32_t>(data[i + 1] % 12) - 1;
    const std::string part = p.GetPartData(start, width);
    Check(fw::LenB(part) <= std::max(width, 0) && fw::LenB(part) <= len, "a part lies inside the record");
    p.GetPartInteger(start, width);
    p.GetPartBoolean(start);
    p.GetPartColor(start);
    Check(fw::LenB(p.GetTailData(start)) <= len, "a tail lies inside the record");
    const std::string before = p.GetData();
    p.SetPartData(part, start);
    p.SetPartInteger(static_cast<int32_t>(data[i]) - 128, start, width);
    p.SetPartColor(fw::Color{static_cast<uint32_t>(data[i]) * 0x010203u}, start);
    Check(fw::LenB(p.GetData()) == fw::LenB(before), "setting a part keeps the length");
  }

  // The start-up defaults, then a save that always writes.
  p.DefaultData("1");
  if (p.DefaultData("99")) p.SetPartData("10", 1);
  Check(fw::LenB(p.GetData()) >= 2, "the defaults lengthen the record");
  const std::string saved = p.GetData();
  p.SetSaveMode(1);
  p.Save();
  Check(ReadBytes(path) == "00" + saved, "the file holds the header and the record");
  ApplPreferences q(kPrefsName, kAppCreator);
  q.Restore();
  Check(q.GetData() == saved, "what was saved reads back");

  std::error_code ec;
  fs::remove(path, ec);
  return 0;
}
