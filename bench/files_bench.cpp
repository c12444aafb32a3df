// The preferences file's costs: a save with its flushes and exchange, a
// read, the exchange in a crowded temporary folder, and the shadow name
// search at its bound of 900001 names.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/ApplPreferences.h"
#include "app/PrefsFile.h"
#include "app/ShadowFiler.h"
#include "framework/Files.h"
#include "framework/FolderItem.h"

namespace {

namespace fs = std::filesystem;

const std::string kPrefsName = kPrefsFileName;

// Preferences and temporary folders under `root` (the system's temporary
// folder, or /dev/shm where the disk should not count).
class Folders {
 public:
  explicit Folders(const std::string& root) {
    if (const char* old = std::getenv("TMPDIR")) oldTmp_ = old;
    std::string tmpl = root + "/pandrisk-bench-XXXXXX";
    if (mkdtemp(tmpl.data()) == nullptr) std::abort();
    dir_ = tmpl;
    fs::create_directory(dir_ + "/prefs");
    fs::create_directory(dir_ + "/tmp");
    setenv("TMPDIR", (dir_ + "/tmp").c_str(), 1);
    fw::SetPreferencesFolder(dir_ + "/prefs");
  }
  ~Folders() {
    fw::SetFileStepHook(nullptr);
    fw::SetPreferencesFolder("");
    if (oldTmp_.empty())
      unsetenv("TMPDIR");
    else
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Prefs(const std::string& name) const { return dir_ + "/prefs/" + name; }
  std::string Tmp(const std::string& name) const { return dir_ + "/tmp/" + name; }

 private:
  std::string dir_;
  std::string oldTmp_;
};

std::string Root(int64_t onMemory) {
  return onMemory && fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
}

// A changed record written through the shadow file and the exchange.
void BM_Save(benchmark::State& state) {
  Folders folders(Root(state.range(0)));
  ApplPreferences p(kPrefsName, kAppCreator);
  p.Restore();
  p.SetData("10");
  p.SetSaveMode(1);
  for (auto _ : state) p.Save();
  state.SetLabel(state.range(0) ? "memory filesystem" : "disk");
}
BENCHMARK(BM_Save)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Restore(benchmark::State& state) {
  Folders folders(Root(1));
  {
    ApplPreferences p(kPrefsName, kAppCreator);
    p.SetData("10");
    p.SetSaveMode(1);
    p.Save();
  }
  ApplPreferences p(kPrefsName, kAppCreator);
  for (auto _ : state) {
    p.Restore();
    benchmark::DoNotOptimize(p.GetData());
  }
}
BENCHMARK(BM_Restore)->Unit(benchmark::kMicrosecond);

// The exchange finds a record's file by scanning its folder: its cost with
// that many other files in the temporary folder.
void BM_SaveInACrowdedTemporaryFolder(benchmark::State& state) {
  Folders folders(Root(1));
  for (int64_t i = 0; i < state.range(0); ++i) std::ofstream(folders.Tmp("other" + std::to_string(i)));
  ApplPreferences p(kPrefsName, kAppCreator);
  p.SetData("10");
  p.SetSaveMode(1);
  for (auto _ : state) p.Save();
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SaveInACrowdedTemporaryFolder)->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Every shadow name taken: the search tries all 900001 numbers. The hook
// claims every name taken and, for the real cost, looks each one up on
// the disk as the search would.
void BM_ShadowSearchEveryNameTaken(benchmark::State& state) {
  Folders folders(Root(0));
  const std::string prefix = folders.Tmp(kPrefsName);
  fw::SetFileStepHook([&](fw::FileStep s, const std::string& path) -> int32_t {
    if (s != fw::FileStep::Exists || path.compare(0, prefix.size(), prefix) != 0) return 0;
    struct stat st;
    benchmark::DoNotOptimize(::stat(path.c_str(), &st));
    return 1;
  });
  auto base = fw::New<fw::FolderItem>(folders.Prefs(kPrefsName));
  for (auto _ : state) {
    ShadowFiler filer(base);
    if (filer.RefStatus() != ShadowFiler::kNoShadowName) state.SkipWithError("a name was free");
  }
}
BENCHMARK(BM_ShadowSearchEveryNameTaken)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
