// A board on its own, with an application object whose sound player logs
// every queued sound, and a log of the board's events in the order they
// came.
#pragma once

#include <string>
#include <vector>

#include "app/App.h"
#include "engine/GameField.h"
#include "engine/Media.h"
#include "engine/SoundPlayer.h"
#include "framework/Application.h"
#include "tests/engine/Fixtures.h"

namespace fixtures {

// Names the game's three board sounds by identity.
inline std::string SoundName(const fw::Ref<fw::Sound>& s) {
  if (!s) return "none";
  if (s == PushSnd()) return "PushSnd";
  if (s == BlockSnd()) return "BlockSnd";
  if (s == CompleteSnd()) return "CompleteSnd";
  return "other";
}

class LoggingPlayer : public SoundPlayer {
 public:
  explicit LoggingPlayer(std::vector<std::string>* log) : log_(log) {}
  void PushQueue(const fw::Ref<fw::Sound>& s, int32_t priority) override {
    log_->push_back("queue " + SoundName(s) + " " + std::to_string(priority));
    SoundPlayer::PushQueue(s, priority);
  }

 private:
  std::vector<std::string>* log_;
};

// Reaches the board's protected state.
class Board : public GameField {
 public:
  int32_t Phase() const { return GamePhase1; }
  int32_t Step() const { return GamePhase2; }
  int32_t Line() const { return KickLine; }
  int32_t At(int32_t x, int32_t y) const { return ItsBlocks[x][y]; }
  void Set(const std::array<int32_t, 9>& cells) {
    for (int32_t i = 0; i < 9; ++i) ItsBlocks[i % 3][i / 3] = cells[i];
  }
  // "0 1 2 / 3 4 5 / 6 7 8", rows top to bottom.
  std::string Rows() const {
    std::string s;
    for (int32_t y = 0; y < 3; ++y) {
      if (y > 0) s += " / ";
      for (int32_t x = 0; x < 3; ++x) s += (x > 0 ? " " : "") + std::to_string(ItsBlocks[x][y]);
    }
    return s;
  }
  bool IsPermutation() const {
    std::array<int, 9> seen{};
    for (const auto& col : ItsBlocks)
      for (int32_t n : col) {
        if (n < 0 || n > 8 || seen[n]++) return false;
      }
    return true;
  }
  fw::Ref<fw::Picture> Sheet() const { return ItsBlockPicture; }
  fw::Ref<fw::Picture> Offscreen() const { return OffscreenPicture; }
  int refreshes = 0;

 protected:
  void RefreshPicture(bool now) override {
    ++refreshes;
    GameField::RefreshPicture(now);
  }
};

class BoardHarness {
 public:
  // The board's three sounds are written into the resources folder, unless
  // `withSounds` is false.
  explicit BoardHarness(bool withSounds = true) {
    if (withSounds) {
      res.Write("PushSnd.wav", MakeWav(300));
      res.Write("BlockSnd.wav", MakeWav(400));
      res.Write("CompleteSnd.wav", MakeWav(500));
    }
    appl->ItsSoundPlayer = fw::New<LoggingPlayer>(&log);
    fw::RuntimeRegisterAppObject(appl);
    board->Constructor();
    board->Width(200);
    board->Height(198);
    board->BlockMoved.Attach([this](bool solved) {
      log.push_back(std::string("BlockMoved ") + (solved ? "true" : "false"));
      if (onEvent) onEvent();
    });
    board->OperationLock.Attach([this](bool locked) {
      log.push_back(std::string("OperationLock ") + (locked ? "true" : "false"));
      if (onEvent) onEvent();
    });
    board->Created.Attach([this] { log.push_back("Created"); });
  }
  ~BoardHarness() { fw::RuntimeRegisterAppObject(nullptr); }

  // Opens the control as its window would.
  void Open() { board->Event_Open(); }
  // One clock tick as the game window runs it: step, then play the queue.
  void Tick() {
    board->GameStep();
    appl->ItsSoundPlayer->PlayQueue();
  }
  std::vector<std::string> TakeLog() {
    std::vector<std::string> out;
    out.swap(log);
    return out;
  }

  ResourcesFolder res;
  SoundRecorder rec;
  std::vector<std::string> log;
  std::function<void()> onEvent;
  fw::Ref<Appl> appl = fw::New<Appl>();
  fw::Ref<Board> board = fw::New<Board>();
};

}  // namespace fixtures
