// The real binary, headless: the settings across runs and the orderly quit
// on a signal.
#include <gtest/gtest.h>
#include <link.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/PrefsFile.h"
#include "tests/e2e/Harness.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kPrefsName = kPrefsFileName;

std::string Attr(const std::string& path, const char* name) {
  char buf[64];
  const ssize_t n = getxattr(path.c_str(), name, buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// A preferences file in the home's config folder, with these bytes, type
// and creator; its path.
std::string StoredFile(const testsupport::TempDir& home, const std::string& bytes, const std::string& type,
                       const std::string& creator) {
  fs::create_directories(home.File("config"));
  const std::string path = home.File("config/" + kPrefsName);
  testsupport::WriteFile(path, bytes);
  setxattr(path.c_str(), "user.mac.type", type.data(), type.size(), 0);
  setxattr(path.c_str(), "user.mac.creator", creator.data(), creator.size(), 0);
  return path;
}

// Starts the game, lets it settle, ends it with `sig` and returns its status.
int RunOnce(const testsupport::TempDir& home, int sig = SIGTERM, const std::string& binary = e2e::GameBinary(),
            std::string* log = nullptr) {
  e2e::GameRun run(home.File("config"), {{"TMPDIR", home.path()}}, binary);
  // Long enough to settle, and never before the game can quit in order,
  // however loaded the machine is.
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(run.process->WaitUntilCatching(sig, 60000)) << run.process->Log();
  EXPECT_TRUE(run.process->Running()) << run.process->Log();
  run.process->Signal(sig);
  const int status = run.process->Wait(15000);
  if (log) *log = run.process->Log();
  return status;
}

struct FileState {
  std::string bytes;
  ino_t inode = 0;
  struct timespec mtime {};
};

FileState StateOf(const std::string& path) {
  FileState s;
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    s.inode = st.st_ino;
    s.mtime = st.st_mtim;
  }
  s.bytes = testsupport::ReadFile(path);
  return s;
}

// LD_PRELOAD for the game with these fixture libraries. A game built with
// AddressSanitizer must find the sanitizer's run time first among its
// libraries, so in such a build that run time (the one this test program
// has loaded too) leads the list.
std::string Preload(std::vector<std::string> libraries) {
#if defined(__SANITIZE_ADDRESS__)
  std::string runtime;
  dl_iterate_phdr(
      [](struct dl_phdr_info* info, size_t, void* found) {
        const std::string name = info->dlpi_name != nullptr ? info->dlpi_name : "";
        if (fs::path(name).filename().string().rfind("libasan.so", 0) != 0) return 0;
        *static_cast<std::string*>(found) = name;
        return 1;
      },
      &runtime);
  if (!runtime.empty()) libraries.insert(libraries.begin(), runtime);
#endif
  std::string list;
  for (const std::string& library : libraries) list += (list.empty() ? "" : ":") + library;
  return list;
}

// The entries of a folder whose names hold the settings file's name.
std::vector<std::string> SettingsNamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string().find(kPrefsName) != std::string::npos)
      names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(Settings, AFirstRunWritesTheDefaultRecordWithTypeAndCreator) {
  testsupport::TempDir home;
  EXPECT_EQ(RunOnce(home), 0);
  const std::string file = home.File("config/" + kPrefsName);
  EXPECT_EQ(testsupport::ReadFile(file), "0010");
  EXPECT_EQ(Attr(file, "user.mac.type"), kPrefsFileType);
  EXPECT_EQ(Attr(file, "user.mac.creator"), kAppCreator);
}

TEST(Settings, ARunThatChangesNothingWritesNothing) {
  testsupport::TempDir home;
  ASSERT_EQ(RunOnce(home), 0);
  const std::string file = home.File("config/" + kPrefsName);
  const FileState before = StateOf(file);
  std::this_thread::sleep_for(20ms);
  ASSERT_EQ(RunOnce(home), 0);
  const FileState after = StateOf(file);
  EXPECT_EQ(after.bytes, before.bytes);
  EXPECT_EQ(after.inode, before.inode);  // not replaced
  EXPECT_EQ(after.mtime.tv_nsec, before.mtime.tv_nsec);
  EXPECT_EQ(after.mtime.tv_sec, before.mtime.tv_sec);
}

TEST(Settings, AnotherProgramsFileIsLeftAloneAndTheNextNameIsUsed) {
  testsupport::TempDir home;
  const std::string foreign = StoredFile(home, "00C3 another program", "TEXT", "ABCD");
  ASSERT_EQ(RunOnce(home), 0);
  EXPECT_EQ(testsupport::ReadFile(foreign), "00C3 another program");
  EXPECT_EQ(testsupport::ReadFile(foreign + "_1"), "0010");
  // The next run finds its own file under that name and writes no "_2".
  ASSERT_EQ(RunOnce(home), 0);
  EXPECT_FALSE(fs::exists(foreign + "_2"));
}

TEST(Settings, StoredSettingsSurviveARun) {
  testsupport::TempDir home;
  const std::string file = StoredFile(home, "00C2", kPrefsFileType, kAppCreator);
  ASSERT_EQ(RunOnce(home), 0);
  EXPECT_EQ(testsupport::ReadFile(file), "00C2");
}

class QuitSignal : public ::testing::TestWithParam<int> {};

TEST_P(QuitSignal, QuitsInOrderSavesAndExitsWithZero) {
  testsupport::TempDir home;
  std::string log;
  EXPECT_EQ(RunOnce(home, GetParam(), e2e::GameBinary(), &log), 0) << log;
  EXPECT_EQ(testsupport::ReadFile(home.File("config/" + kPrefsName)), "0010");
}

INSTANTIATE_TEST_SUITE_P(Signals, QuitSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

// Games on one config folder that quit at the same moment, as a desktop
// logout ends them: each save replaces the file whole, so the file always
// holds one of their records, never the old one. So it is where the file
// system gives no locks.
class QuitTogether : public ::testing::TestWithParam<std::tuple<int, int, int, bool>> {};

TEST_P(QuitTogether, TheFileHoldsTheRecordOfOneOfThemNeverTheOld) {
  const auto [instances, sig, rounds, locks] = GetParam();
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    testsupport::TempDir home;
    // Every game reads the one-byte record Z and quits with 10, its
    // defaults filled in. Every other round the system's temporary folder
    // is missing, so the shadows lie in the hidden folder beside the file.
    const std::string file = StoredFile(home, "00Z", "PREF", "VEZA");
    const std::string tmp = round % 2 == 0 ? home.path() : home.File("none");
    std::vector<std::unique_ptr<e2e::GameRun>> games;
    const std::string preload = locks ? "" : Preload({NO_FLOCK_LIBRARY});
    for (int i = 0; i < instances; ++i)
      games.push_back(std::make_unique<e2e::GameRun>(
          home.File("config"), std::map<std::string, std::string>{{"TMPDIR", tmp}, {"LD_PRELOAD", preload}}));
    for (const auto& g : games) g->process->WaitUntilCatching(sig, 60000);
    for (const auto& g : games) g->process->Signal(sig);
    for (const auto& g : games) EXPECT_EQ(g->process->Wait(30000), 0) << g->process->Log();

    EXPECT_EQ(testsupport::ReadFile(file), "0010");
    EXPECT_EQ(Attr(file, "user.mac.type"), "PREF");
    EXPECT_EQ(Attr(file, "user.mac.creator"), "VEZA");
    EXPECT_FALSE(fs::exists(file + "_1"));
    // Nothing left of the shadows.
    for (const auto& e : fs::directory_iterator(home.path()))
      EXPECT_EQ(e.path().filename().string().find(kPrefsName), std::string::npos) << e.path();
    EXPECT_FALSE(fs::exists(home.File("config/.TemporaryItems")));
    if (HasFailure()) break;
  }
}

// 50 rounds in all: 2 games and 6, ended by SIGTERM and by SIGHUP; and 25
// without locks. Under the sanitizers, which look for memory faults rather
// than races and make each game many times slower, a fifth of them.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kRoundsPart = 5;
#else
constexpr int kRoundsPart = 1;
#endif
INSTANTIATE_TEST_SUITE_P(Games, QuitTogether,
                         ::testing::Values(std::make_tuple(2, SIGTERM, 13 / kRoundsPart, true),
                                           std::make_tuple(2, SIGHUP, 13 / kRoundsPart, true),
                                           std::make_tuple(6, SIGTERM, 12 / kRoundsPart, true),
                                           std::make_tuple(6, SIGHUP, 12 / kRoundsPart, true),
                                           std::make_tuple(2, SIGTERM, 13 / kRoundsPart, false),
                                           std::make_tuple(6, SIGTERM, 12 / kRoundsPart, false)),
                         [](const auto& info) {
                           return std::to_string(std::get<0>(info.param)) + "Games" +
                                  sigabbrev_np(std::get<1>(info.param)) +
                                  (std::get<3>(info.param) ? "" : "NoLocks");
                         });

// Homes where the file system lacks what the safe replacement prefers: no
// locks at all (a network home without a lock manager), no exchange of two
// names (FUSE mounts such as bindfs), the system's temporary folder on
// another mount than the settings. Every save goes through all the same and
// leaves nothing behind.
struct UnusualHome {
  const char* name;
  bool locks, exchange, otherMount;
};

void PrintTo(const UnusualHome& home, std::ostream* os) { *os << home.name; }

class OnUnusualHomes : public ::testing::TestWithParam<UnusualHome> {};

TEST_P(OnUnusualHomes, TheQuitSavesTheRecordAndLeavesNoStray) {
  const UnusualHome& c = GetParam();
  testsupport::TempDir home;
  testsupport::Mounts mounts;
  if (c.otherMount) {
    const std::string why = mounts.Mount(home.File("config"), "tmpfs", "size=256k,mode=0700");
    if (!why.empty()) GTEST_SKIP() << "no other mount for the settings: " << why;
  }
  const std::string file = StoredFile(home, "00Z", kPrefsFileType, kAppCreator);
  std::vector<std::string> libraries;
  if (!c.locks) libraries.push_back(NO_FLOCK_LIBRARY);
  if (!c.exchange) libraries.push_back(NO_EXCHANGE_LIBRARY);
  e2e::GameRun run(home.File("config"), {{"TMPDIR", home.path()}, {"LD_PRELOAD", Preload(libraries)}});
  ASSERT_TRUE(run.process->WaitUntilCatching(SIGTERM, 60000)) << run.process->Log();
  run.process->Signal(SIGTERM);
  EXPECT_EQ(run.process->Wait(15000), 0) << run.process->Log();

  EXPECT_EQ(testsupport::ReadFile(file), "0010");
  // Neither a shadow in the temporary folder nor the hidden folder beside
  // the settings is left.
  EXPECT_EQ(SettingsNamesIn(home.path()), std::vector<std::string>{});
  std::vector<std::string> config;
  for (const auto& e : fs::directory_iterator(home.File("config"))) config.push_back(e.path().filename());
  EXPECT_EQ(config, std::vector<std::string>{kPrefsName});
}

INSTANTIATE_TEST_SUITE_P(Homes, OnUnusualHomes,
                         ::testing::Values(UnusualHome{"NoLocks", false, true, false},
                                           UnusualHome{"NoLocksNoExchange", false, false, false},
                                           UnusualHome{"NoLocksOtherMount", false, true, true},
                                           UnusualHome{"NoLocksNoExchangeOtherMount", false, false, true},
                                           UnusualHome{"NoExchange", true, false, false},
                                           UnusualHome{"NoExchangeOtherMount", true, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Settings, WhatAKilledSaveLeftGoesWithTheNextSaveAndAUsersFileStays) {
  testsupport::TempDir home;
  const std::string file = StoredFile(home, "00Z", kPrefsFileType, kAppCreator);
  // The user's own file, under a name a shadow could have.
  const std::string notes = home.File(kPrefsName + "123456");
  testsupport::WriteFile(notes, "my notes");

  // The save is killed just before its new file would take the stored
  // one's place: the shadow, written whole, stays behind.
  {
    e2e::GameRun run(home.File("config"),
                     {{"TMPDIR", home.path()}, {"LD_PRELOAD", Preload({KILL_AT_EXCHANGE_LIBRARY})}});
    ASSERT_TRUE(run.process->WaitUntilCatching(SIGTERM, 60000)) << run.process->Log();
    run.process->Signal(SIGTERM);
    ASSERT_EQ(run.process->Wait(15000), 128 + SIGKILL) << run.process->Log();
  }
  EXPECT_EQ(testsupport::ReadFile(file), "00Z");
  ASSERT_EQ(SettingsNamesIn(home.path()),
            (std::vector<std::string>{kPrefsName + "000001", kPrefsName + "123456"}));
  EXPECT_EQ(testsupport::ReadFile(home.File(kPrefsName + "000001")), "0010");

  EXPECT_EQ(RunOnce(home), 0);
  EXPECT_EQ(testsupport::ReadFile(file), "0010");
  EXPECT_EQ(SettingsNamesIn(home.path()), std::vector<std::string>{kPrefsName + "123456"});
  EXPECT_EQ(testsupport::ReadFile(notes), "my notes");
}

TEST(Settings, AConfigPathTooLongForTheSystemMakesNoFolder) {
  testsupport::TempDir home;
  fs::create_directory(home.File("tmp"));
  // Some 5,000 bytes: more than any path the system takes.
  std::string config = home.path();
  while (config.size() < 5000) config += "/a";
  e2e::GameRun run(home.File("config"), {{"XDG_CONFIG_HOME", config}, {"TMPDIR", home.File("tmp")}});
  ASSERT_TRUE(run.process->WaitUntilCatching(SIGTERM, 60000)) << run.process->Log();
  run.process->Signal(SIGTERM);
  EXPECT_EQ(run.process->Wait(15000), 0) << run.process->Log();

  // The game's output and its temporary folder are there, nothing else.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(home.path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"config.log", "tmp"}));
  EXPECT_EQ(SettingsNamesIn(home.File("tmp")), std::vector<std::string>{});
}
