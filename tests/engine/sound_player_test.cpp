#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/SoundPlayer.h"
#include "tests/engine/Fixtures.h"

using fixtures::NamedSound;

namespace {

// Reads the queue back as "name:priority" per occupied slot.
class QueueProbe : public SoundPlayer {
 public:
  std::vector<std::string> Slots() const {
    std::vector<std::string> out;
    for (int32_t i = 0; i <= SoundQueueBound; ++i)
      out.push_back((SoundQueue[i] ? SoundQueue[i]->Data()->name : std::string("<none>")) + ":" +
                    std::to_string(PriorityQueue[i]));
    return out;
  }
  int32_t Bound() const { return SoundQueueBound; }
  // Every slot above the bound must be empty with priority 0.
  bool TailIsClear() const {
    for (int32_t i = SoundQueueBound + 1; i < kQueueSize; ++i)
      if (SoundQueue[i] || PriorityQueue[i] != 0) return false;
    return true;
  }
  double LastPlay() const { return LastPlayTime; }
  int32_t Volume() const { return SoundVolume; }
};

void PushAll(QueueProbe& p, const std::vector<std::pair<std::string, int32_t>>& pushes) {
  for (const auto& [name, priority] : pushes) p.PushQueue(NamedSound(name), priority);
}

}  // namespace

TEST(SoundPlayerQueue, OrdersByDescendingPriorityAndArrival) {
  struct Case {
    std::vector<std::pair<std::string, int32_t>> pushes;
    std::vector<std::string> slots;
  };
  const std::vector<Case> cases = {
      {{{"a", 5}}, {"a:5"}},
      {{{"a", 5}, {"b", 5}, {"c", 4}}, {"a:5", "b:5", "c:4"}},
      {{{"a", 5}, {"b", 5}, {"c", 4}, {"d", 6}}, {"d:6", "a:5", "b:5", "c:4"}},
      {{{"a", 5}, {"b", 5}, {"c", 4}, {"d", 4}}, {"a:5", "b:5", "c:4", "d:4"}},
      {{{"a", 1}, {"b", 3}, {"c", 2}, {"d", 3}, {"e", 9}}, {"e:9", "b:3", "d:3", "c:2", "a:1"}},
      {{{"a", 5}, {"b", 0}, {"c", -3}}, {"a:5"}},
  };
  for (const auto& c : cases) {
    QueueProbe p;
    PushAll(p, c.pushes);
    EXPECT_EQ(p.Slots(), c.slots);
    EXPECT_EQ(p.Bound(), static_cast<int32_t>(c.slots.size()) - 1);
    EXPECT_TRUE(p.TailIsClear());
  }
}

TEST(SoundPlayerQueue, RejectsMissingSoundAndPriorityBelowOne) {
  QueueProbe p;
  p.PushQueue(nullptr, 5);
  p.PushQueue(NamedSound("zero"), 0);
  p.PushQueue(NamedSound("neg"), -1);
  EXPECT_EQ(p.Bound(), -1);
  EXPECT_TRUE(p.TailIsClear());
}

TEST(SoundPlayerQueue, KeepsSixteenAndDropsTheSeventeenthWhateverItsPriority) {
  QueueProbe p;
  for (int i = 0; i < 16; ++i) p.PushQueue(NamedSound("s" + std::to_string(i)), 2);
  EXPECT_EQ(p.Bound(), 15);
  p.PushQueue(NamedSound("urgent"), 100);
  ASSERT_EQ(p.Bound(), 15);
  const auto slots = p.Slots();
  EXPECT_EQ(slots.front(), "s0:2");
  EXPECT_EQ(slots.back(), "s15:2");

  fixtures::SoundRecorder rec;
  p.PlayQueue();
  EXPECT_EQ(rec.entries().size(), 16u);
  EXPECT_EQ(p.Bound(), -1);
  EXPECT_TRUE(p.TailIsClear());
}

TEST(SoundPlayerPlayQueue, PlainModeStartsTheWholeQueueInSlotOrder) {
  fixtures::SoundRecorder rec;
  QueueProbe p;
  p.SetVolume(2);
  PushAll(p, {{"low", 1}, {"a", 5}, {"b", 5}, {"top", 8}, {"mid", 3}});
  p.PlayQueue();
  EXPECT_EQ(rec.Names(), (std::vector<std::string>{"top", "a", "b", "mid", "low"}));
  for (const auto& e : rec.entries()) EXPECT_EQ(e.volume, 50);
  EXPECT_EQ(p.Bound(), -1);
  EXPECT_TRUE(p.TailIsClear());

  // A single queued sound: played, and the queue is empty again.
  rec.Clear();
  p.PushQueue(NamedSound("one"), 5);
  EXPECT_EQ(p.Bound(), 0);
  p.PlayQueue();
  EXPECT_EQ(rec.Names(), std::vector<std::string>{"one"});
  EXPECT_EQ(p.Bound(), -1);
}

TEST(SoundPlayerPlayQueue, PriorityModePlaysUrgentDropsMinorAndCarriesTheMiddle) {
  fixtures::SoundRecorder rec;
  QueueProbe p;
  p.SetPriorityMode(true);
  PushAll(p, {{"p8", 8}, {"p7", 7}, {"p5a", 5}, {"p5b", 5}, {"p3", 3}});

  p.PlayQueue();
  EXPECT_EQ(rec.Names(), (std::vector<std::string>{"p8", "p7"}));
  EXPECT_EQ(p.Slots(), (std::vector<std::string>{"p5a:5", "p5b:5"}));
  EXPECT_EQ(p.Bound(), 1);
  EXPECT_TRUE(p.TailIsClear());

  rec.Clear();
  p.PlayQueue();
  EXPECT_EQ(rec.Names(), std::vector<std::string>{"p5a"});
  EXPECT_EQ(p.Slots(), std::vector<std::string>{"p5b:5"});

  rec.Clear();
  p.PlayQueue();
  EXPECT_EQ(rec.Names(), std::vector<std::string>{"p5b"});
  EXPECT_EQ(p.Bound(), -1);

  // The head plays whatever its priority; what follows and is minor is dropped.
  rec.Clear();
  PushAll(p, {{"p2", 2}, {"p1", 1}});
  p.PlayQueue();
  EXPECT_EQ(rec.Names(), std::vector<std::string>{"p2"});
  EXPECT_EQ(p.Bound(), -1);
  EXPECT_TRUE(p.TailIsClear());

  // Kept sounds close up behind each other around played and dropped ones.
  rec.Clear();
  PushAll(p, {{"h", 9}, {"x6", 6}, {"y4", 4}, {"z1", 1}});
  PushAll(p, {{"u8", 8}});  // goes second, before the 6
  p.PlayQueue();
  EXPECT_EQ(rec.Names(), (std::vector<std::string>{"h", "u8"}));
  EXPECT_EQ(p.Slots(), (std::vector<std::string>{"x6:6", "y4:4"}));
  EXPECT_TRUE(p.TailIsClear());
}

TEST(SoundPlayerVolume, LevelsCodesAndMute) {
  struct Case {
    int32_t index;
    bool enabled;
    int32_t volume;
    int32_t refVolume;
    std::string code;
  };
  const std::vector<Case> cases = {
      {0, true, 100, 0, "A"}, {1, true, 70, 1, "B"}, {2, true, 50, 2, "C"},  {3, true, 35, 3, "D"},
      {4, true, 25, 4, "E"},  {5, true, 17, 5, "F"}, {6, true, 12, 6, "G"},  {7, true, 8, 7, "H"},
      {8, true, 6, 8, "I"},   {9, false, 0, 9, "0"}, {12, false, 0, 9, "0"}, {-1, false, 0, 9, "0"},
  };
  fixtures::SoundRecorder rec;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    QueueProbe p;
    p.SetVolume(c.index);
    EXPECT_EQ(p.RefEnable(), c.enabled);
    EXPECT_EQ(p.Volume(), c.volume);
    EXPECT_EQ(p.RefVolume(), c.refVolume);
    EXPECT_EQ(p.SaveData(), c.code);

    // The code restores the same level in a fresh player.
    QueueProbe q;
    q.RestoreData(p.SaveData());
    EXPECT_EQ(q.RefVolume(), c.refVolume);

    rec.Clear();
    p.Play(NamedSound("s"));
    if (c.enabled) {
      ASSERT_EQ(rec.entries().size(), 1u);
      EXPECT_EQ(rec.entries()[0].volume, c.volume);
    } else {
      EXPECT_TRUE(rec.entries().empty());
    }
  }
}

TEST(SoundPlayerVolume, RestoreDataTakesOnlyTheTenCodes) {
  const std::vector<std::pair<std::string, int32_t>> cases = {
      {"A", 0}, {"E", 4}, {"I", 8}, {"0", 9}, {"1", 0}, {"", 0}, {"AB", 0}, {"J", 0}, {"00", 0}, {"a", 0},
  };
  for (const auto& [code, index] : cases) {
    SCOPED_TRACE(code);
    QueueProbe p;
    p.SetVolume(5);  // a level that none of the cases gives
    p.RestoreData(code);
    EXPECT_EQ(p.RefVolume(), index);
    EXPECT_EQ(p.RefEnable(), index != 9);
  }
}

TEST(SoundPlayerVolume, SetEnableFalseGivesIndex99AndSavesAsMute) {
  QueueProbe p;
  p.SetEnable(false);
  EXPECT_FALSE(p.RefEnable());
  EXPECT_EQ(p.RefVolume(), 99);
  EXPECT_EQ(p.SaveData(), "0");
  p.SetEnable(true);
  EXPECT_EQ(p.RefVolume(), 0);
  EXPECT_EQ(p.Volume(), 100);
}

TEST(SoundPlayerPlay, MutedQueueEmptiesSilentlyAndRecordsNoTime) {
  fixtures::FakeClock clock;
  fixtures::SoundRecorder rec;
  QueueProbe p;
  clock.now = 5000;
  p.Play(NamedSound("before"));
  EXPECT_EQ(p.LastPlay(), 5000);

  p.SetVolume(9);
  clock.now = 9000;
  p.PushQueue(NamedSound("q"), 5);
  p.PlayQueue();
  p.Play(NamedSound("direct"));
  p.Play(nullptr);
  EXPECT_EQ(rec.Names(), std::vector<std::string>{"before"});
  EXPECT_EQ(p.Bound(), -1);
  EXPECT_EQ(p.LastPlay(), 5000);
}

TEST(SoundPlayerIdle, PlaysIdleSoundStrictlyAfterTheQuietInterval) {
  fixtures::FakeClock clock;
  fixtures::SoundRecorder rec;
  QueueProbe p;
  p.SetSacrifice(NamedSound("idle"), 10);

  // LastPlayTime starts at 0: the first empty tick past one second plays it.
  struct Tick {
    double at;
    bool idle;
  };
  const std::vector<Tick> ticks = {
      {80'000, false},    {1'000'000, false}, {1'000'001, true},  // played: quiet restarts at 1'000'001
      {1'080'000, false}, {2'000'001, false}, {2'000'002, true},
  };
  for (const auto& t : ticks) {
    SCOPED_TRACE(t.at);
    rec.Clear();
    clock.now = t.at;
    p.PlayQueue();
    EXPECT_EQ(rec.Names(), t.idle ? std::vector<std::string>{"idle"} : std::vector<std::string>{});
  }

  // A queued sound counts as sound: the quiet starts again from it.
  clock.now = 2'500'000;
  p.PushQueue(NamedSound("push"), 5);
  p.PlayQueue();
  rec.Clear();
  clock.now = 3'400'000;
  p.PlayQueue();
  EXPECT_TRUE(rec.entries().empty());
  clock.now = 3'500'001;
  p.PlayQueue();
  EXPECT_EQ(rec.Names(), std::vector<std::string>{"idle"});
}

TEST(SoundPlayerIdle, NoIdleSoundNeverReadsTheClockAndIntervalZeroPlaysEveryTick) {
  fixtures::FakeClock clock;
  fixtures::SoundRecorder rec;
  QueueProbe p;
  clock.now = 50'000'000;
  for (int i = 0; i < 5; ++i) p.PlayQueue();
  EXPECT_EQ(clock.reads, 0);
  EXPECT_TRUE(rec.entries().empty());

  p.SetSacrifice(NamedSound("idle"), 0);
  for (int i = 0; i < 3; ++i) {
    clock.now += 1;
    p.PlayQueue();
  }
  EXPECT_EQ(rec.entries().size(), 3u);

  // Turning idle play off again.
  rec.Clear();
  p.SetSacrifice(nullptr, 0);
  clock.now += 10'000'000;
  p.PlayQueue();
  EXPECT_TRUE(rec.entries().empty());
}

TEST(SoundPlayerIdle, WhileMutedTheIdleTestPassesButNothingSounds) {
  fixtures::FakeClock clock;
  fixtures::SoundRecorder rec;
  QueueProbe p;
  p.SetSacrifice(NamedSound("idle"), 10);
  p.SetVolume(9);
  for (int i = 1; i <= 3; ++i) {
    clock.now = 2'000'000.0 * i;
    p.PlayQueue();
  }
  EXPECT_TRUE(rec.entries().empty());
  EXPECT_EQ(p.LastPlay(), 0);
}

TEST(SoundPlayer, VersionInfo) { EXPECT_EQ(SoundPlayer().VersionInfo(), "2012-05-19,1"); }
