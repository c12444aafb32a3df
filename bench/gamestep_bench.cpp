// The cost of one board tick: GameStep with its full redraw into the 32-bit
// offscreen picture (backdrop copy, nine tiles and, while a row slides, the
// marker), while idle and while rows are pushed one after another.
//
//   build/gamestep_bench
//
// Uses the pictures in the resources folder beside the executable when they
// are there; otherwise writes stand-ins of the same sizes into a temporary
// folder (said in the output).
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/App.h"
#include "engine/GameField.h"
#include "engine/Media.h"
#include "engine/SoundPlayer.h"
#include "framework/Application.h"
#include "framework/FolderItem.h"
#include "framework/Graphics.h"
#include "framework/Sound.h"
#include "tests/engine/Fixtures.h"

namespace {

class SilentOutput : public fw::SoundOutput {
 public:
  void Play(const std::shared_ptr<const fw::SoundData>&, int32_t) override {}
};

// A board as the game window drives it: opened, its offscreen picture made,
// pattern 0 chosen.
class BenchBoard : public GameField {
 public:
  int32_t Phase() const { return GamePhase1; }
};

struct Game {
  fw::Ref<Appl> appl = fw::New<Appl>();
  fw::Ref<BenchBoard> board = fw::New<BenchBoard>();
  Game() {
    appl->ItsSoundPlayer = fw::New<SoundPlayer>();
    fw::RuntimeRegisterAppObject(appl);
    board->Constructor();
    board->Width(200);
    board->Height(198);
    board->Created.Attach([this] { board->CreateOffscreen(32, true); });
    board->Event_Open();
    board->SetBlockPicture(0);
  }
  ~Game() { fw::RuntimeRegisterAppObject(nullptr); }
};

void BM_GameStepIdle(benchmark::State& state) {
  Game g;
  for (auto _ : state) g.board->GameStep();
}
BENCHMARK(BM_GameStepIdle)->Unit(benchmark::kMicrosecond);

void BM_GameStepPushing(benchmark::State& state) {
  Game g;
  int32_t row = 0;
  for (auto _ : state) {
    if (g.board->Phase() == 0) {
      g.board->Kick(row);
      row = (row + 1) % 3;
    }
    g.board->GameStep();
    g.appl->ItsSoundPlayer->PlayQueue();
  }
}
BENCHMARK(BM_GameStepPushing)->Unit(benchmark::kMicrosecond);

std::string g_standInDir;

// Stand-in pictures when the resources folder lacks them.
std::string PrepareResources() {
  auto folder = fw::ApplicationResourcesFolder();
  if (folder && folder->Child("Tile0Pict.png")->Exists() && folder->Child("BackPict.png")->Exists())
    return "resources folder " + folder->NativePath();
  static std::string dir = (std::filesystem::temp_directory_path() / "pandrisk-bench-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return "no pictures";
  auto write = [](const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  };
  write(dir + "/Tile0Pict.png",
        fixtures::MakePng(192, 192, [](int x, int y) { return fw::RGB(x, y, (x + y) / 2); }));
  write(dir + "/BackPict.png", fixtures::MakePng(236, 216, [](int x, int y) { return fw::RGB(200, x, y); }));
  write(dir + "/PushPict.png", fixtures::SolidPng(12, 64, fw::RGB(255, 0, 255)));
  fw::SetResourcesFolder(dir);
  g_standInDir = dir;
  return "stand-in pictures in " + dir;
}

}  // namespace

int main(int argc, char** argv) {
  if (getenv("QT_QPA_PLATFORM") == nullptr && getenv("DISPLAY") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  fw::RuntimeInit(argc, argv);
  fw::SetSoundOutput(std::make_shared<SilentOutput>());
  benchmark::Initialize(&argc, argv);
  std::printf("pictures: %s\n", PrepareResources().c_str());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ReleaseMediaCaches();
  if (!g_standInDir.empty()) std::filesystem::remove_all(g_standInDir);
  return fw::RuntimeExit();
}
