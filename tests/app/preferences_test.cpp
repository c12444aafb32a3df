// The preferences store: the record and its part accessors, the file with
// its header, type and creator, the name search past foreign files, and a
// stored file that survives every failure of a save.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/ApplPreferences.h"
#include "app/PrefsFile.h"
#include "framework/Files.h"
#include "framework/FolderItem.h"
#include "tests/framework/FileFixtures.h"
#include "tests/support/TestSupport.h"

using namespace fw;
using filefixtures::Attribute;
using filefixtures::Names;
using testsupport::ReadFile;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

const std::string kPrefsName = kPrefsFileName;

// The store with its protected parts opened to the tests.
class Prefs : public ApplPreferences {
 public:
  Prefs() : ApplPreferences(kPrefsName, kAppCreator) {}
  using ApplPreferences::MacFileMake;
  using ApplPreferences::WinFileMake;
};

class PreferencesTest : public ::testing::Test {
 protected:
  PreferencesTest() {
    // Declared at start-up, as the program does.
    prefsType->Name("PrefsData");
    prefsType->Extensions("");
    prefsType->MacType(kPrefsFileType);
    prefsType->MacCreator(kAppCreator);
  }

  std::string File(const std::string& suffix = "") const { return folders.Prefs(kPrefsName + suffix); }

  // A file of the application's own with these bytes.
  void Stored(const std::string& bytes, const std::string& suffix = "") {
    WriteFile(File(suffix), bytes);
    auto item = New<FolderItem>(File(suffix));
    item->MacCreator(kAppCreator);
    item->MacType(kPrefsFileType);
  }

  // A file that belongs to another program.
  void Foreign(const std::string& suffix, const std::string& creator = "ttxt") {
    WriteFile(File(suffix), "0099");
    New<FolderItem>(File(suffix))->MacCreator(creator);
    New<FolderItem>(File(suffix))->MacType("TEXT");
  }

  // The record a fresh store reads.
  static std::string Read() {
    Prefs p;
    p.Restore();
    return p.GetData();
  }

  // What the program does from start to quit with the record it read.
  static void StartAndQuit(ApplPreferences& p) {
    p.Restore();
    p.DefaultData("1");
    if (p.DefaultData("99")) p.SetPartData("10", 1);
    p.Save();
  }

  // Fills what is left of the preferences folder's filesystem; the path of
  // the file that fills it.
  std::string FillTheDisk() const {
    const std::string filler = folders.Prefs("filler");
    FILE* f = fopen(filler.c_str(), "wb");
    if (f == nullptr) {
      ADD_FAILURE() << "cannot make " << filler;
      return filler;
    }
    const std::string block(4096, 'f');
    while (fwrite(block.data(), 1, block.size(), f) == block.size() && fflush(f) == 0) {
    }
    EXPECT_EQ(errno, ENOSPC);
    fclose(f);
    return filler;
  }

  filefixtures::Folders folders;
  Ref<FileType> prefsType = New<FileType>();
};

TEST_F(PreferencesTest, FreshStartWritesTheFourBytes0010) {
  Prefs p;
  EXPECT_EQ(p.VersionInfo(), "2011-12-04,1");
  p.Restore();
  EXPECT_EQ(p.GetData(), "");
  EXPECT_TRUE(p.DefaultData("1"));
  EXPECT_EQ(p.GetData(), "1");
  EXPECT_TRUE(p.DefaultData("99"));
  EXPECT_EQ(p.GetData(), "19");
  p.SetPartData("10", 1);
  EXPECT_EQ(p.GetData(), "10");
  EXPECT_TRUE(Names(folders.Prefs()).empty());  // nothing before Save
  p.Save();

  EXPECT_EQ(ReadFile(File()), "0010");
  auto item = New<FolderItem>(File());
  EXPECT_EQ(item->MacType(), kPrefsFileType);
  EXPECT_EQ(item->MacCreator(), kAppCreator);
  if (filefixtures::FilesystemKeepsAttributes(folders.Prefs())) {
    EXPECT_EQ(Attribute(File(), "user.mac.type"), kPrefsFileType);
    EXPECT_EQ(Attribute(File(), "user.mac.creator"), kAppCreator);
  }
  EXPECT_EQ(Names(folders.Prefs()), std::vector<std::string>{kPrefsName});
  EXPECT_TRUE(Names(folders.Tmp()).empty());
  EXPECT_EQ(Read(), "10");
}

TEST_F(PreferencesTest, AStoredRecordIsKeptAndAnUnchangedOneNotWritten) {
  Stored("00A2");
  Prefs p;
  p.Restore();
  EXPECT_EQ(p.GetData(), "A2");
  EXPECT_FALSE(p.DefaultData("1"));
  EXPECT_FALSE(p.DefaultData("99"));
  EXPECT_EQ(p.GetPartData(1, 1), "A");
  EXPECT_EQ(p.GetPartInteger(2, 1), 2);

  std::vector<FileStep> writes;
  SetFileStepHook([&](FileStep s, const std::string&) {
    if (s != FileStep::Exists) writes.push_back(s);
    return 0;
  });
  p.Save();
  EXPECT_TRUE(writes.empty());

  // Save mode above 0 writes every time.
  p.SetSaveMode(1);
  p.Save();
  EXPECT_FALSE(writes.empty());
  EXPECT_EQ(ReadFile(File()), "00A2");
}

TEST_F(PreferencesTest, HeadersAndShortFilesGiveTheRecordOrNothing) {
  struct Case {
    std::string file, record;
  } cases[] = {
      {"00A2", "A2"},
      {"00", ""},
      {"0", ""},
      {"", ""},
      {"01A2", ""},
      {"00X", "X"},
      {"0010xyz", "10xyz"},
      {"000", "0"},
      {"O0A2", ""},
      {std::string("00\0\xFF", 4), std::string("\0\xFF", 2)},
      {" 00A2", ""},
  };
  for (const Case& c : cases) {
    Stored(c.file);
    EXPECT_EQ(Read(), c.record) << '"' << c.file << '"';
  }

  // One byte X: "1" leaves it, "99" lengthens it, and the window's "10"
  // then replaces it whole.
  Stored("00X");
  Prefs p;
  p.Restore();
  EXPECT_FALSE(p.DefaultData("1"));
  EXPECT_EQ(p.GetData(), "X");
  EXPECT_TRUE(p.DefaultData("99"));
  EXPECT_EQ(p.GetData(), "X9");
  p.SetPartData("10", 1);
  EXPECT_EQ(p.GetData(), "10");
}

TEST_F(PreferencesTest, PartAccessors) {
  Prefs p;
  struct Case {
    std::string before;
    std::function<void(ApplPreferences&)> change;
    std::string after;
  } cases[] = {
      {"1", [](auto& q) { q.SetPartData("10", 1); }, "1"},
      {"19", [](auto& q) { q.SetPartData("10", 1); }, "10"},
      {"10", [](auto& q) { q.SetPartData("x", 3); }, "10"},
      {"10", [](auto& q) { q.SetPartData("", 3); }, "10"},
      {"10", [](auto& q) { q.SetPartData("x", 0); }, "10"},
      {"ABC", [](auto& q) { q.SetPartData("x", 2); }, "AxC"},
      {"10", [](auto& q) { q.SetPartInteger(12, 2, 1); }, "12"},
      {"ABCDE", [](auto& q) { q.SetPartInteger(5, 1, 3); }, "005DE"},
      {"ABCDE", [](auto& q) { q.SetPartInteger(-5, 1, 2); }, "05CDE"},
      {"AB", [](auto& q) { q.SetPartInteger(123, 1, 3); }, "AB"},
      {"00", [](auto& q) { q.SetPartBoolean(true, 1); }, "10"},
      {"11", [](auto& q) { q.SetPartBoolean(false, 2); }, "10"},
      {"10", [](auto& q) { q.SetTailData("xyz", 3); }, "10xyz"},
      {"10", [](auto& q) { q.SetTailData("x", 4); }, "10"},
      {"10", [](auto& q) { q.SetTailData("", 1); }, ""},
      {"10xyz", [](auto& q) { q.SetTailData("Q", 2); }, "1Q"},
      {"10", [](auto& q) { q.SetTailData("x", 0); }, "10"},
      {"ABCDEFG", [](auto& q) { q.SetPartColor(Color{0x102030}, 1); }, "102030G"},
      {"ABCDE", [](auto& q) { q.SetPartColor(Color{0x102030}, 1); }, "ABCDE"},
      {"xABCDEF", [](auto& q) { q.SetPartColor(Color{0x0AFF0B}, 2); }, "x0AFF0B"},
  };
  for (const Case& c : cases) {
    p.SetData(c.before);
    c.change(p);
    EXPECT_EQ(p.GetData(), c.after) << "from " << c.before;
  }

  p.SetData("10");
  EXPECT_TRUE(p.GetPartBoolean(5));
  EXPECT_TRUE(p.GetPartBoolean(1));
  EXPECT_FALSE(p.GetPartBoolean(2));
  EXPECT_EQ(p.GetPartData(2, 5), "0");
  EXPECT_EQ(p.GetPartData(3, 1), "");
  EXPECT_EQ(p.GetTailData(2), "0");
  EXPECT_EQ(p.GetTailData(3), "");

  struct Number {
    std::string record;
    int32_t start, width, value;
  } numbers[] = {
      {"10", 2, 1, 0},
      {"12", 2, 1, 2},
      {"1x", 2, 1, 0},
      {"1", 2, 1, 0},
      {"&HF", 1, 3, 15},
      {"-42", 1, 3, -42},
      {"99999999999", 1, 11, 2147483647},
      {"-99999999999", 1, 12, -2147483647 - 1},
      {"2.9", 1, 3, 2},
  };
  for (const Number& n : numbers) {
    p.SetData(n.record);
    EXPECT_EQ(p.GetPartInteger(n.start, n.width), n.value) << n.record;
  }

  p.SetData("FF8000");
  EXPECT_EQ(p.GetPartColor(1), Color{0xFF8000});
  p.SetData("ff8000");
  EXPECT_EQ(p.GetPartColor(1), Color{0xFF8000});
  p.SetData("FF80");
  EXPECT_EQ(p.GetPartColor(1), Color{0});
  p.SetData("xxFF80zz");
  EXPECT_EQ(p.GetPartColor(3), Color{0xFF8000});
}

TEST_F(PreferencesTest, ARecordDifferingOnlyInCaseIsWritten) {
  Stored("00a2");
  Prefs p;
  p.Restore();
  p.SetData("A2");
  p.Save();
  EXPECT_EQ(ReadFile(File()), "00A2");
  // Save does not take the written record as read: the next Save writes again.
  Stored("00a2");
  p.Save();
  EXPECT_EQ(ReadFile(File()), "00A2");
}

TEST_F(PreferencesTest, ForeignItemsArePassedOverWithNumberedNames) {
  Foreign("");
  Prefs p;
  EXPECT_FALSE(p.MacFileMake(false));
  EXPECT_EQ(p.MacFileMake(true)->NativePath(), File("_1"));
  StartAndQuit(p);
  EXPECT_EQ(ReadFile(File()), "0099");  // the other program's file is untouched
  EXPECT_EQ(ReadFile(File("_1")), "0010");
  EXPECT_EQ(Read(), "10");

  // Another type with our creator is foreign too, and so is a folder.
  fs::remove(File("_1"));
  Foreign("_1", kAppCreator);
  fs::create_directory(File("_2"));
  EXPECT_EQ(p.MacFileMake(true)->NativePath(), File("_3"));
  Stored("0011", "_4");
  EXPECT_EQ(p.MacFileMake(true)->NativePath(), File("_3"));
  Stored("00A1", "_3");
  EXPECT_EQ(p.MacFileMake(false)->NativePath(), File("_3"));
  EXPECT_EQ(Read(), "A1");
  EXPECT_FALSE(p.WinFileMake(true));
}

TEST_F(PreferencesTest, WithoutAttributesTheFileIsStillRecognised) {
  // A filesystem that keeps no attributes, or a copy that dropped them: the
  // declared file type recognises the file by its name, so the settings
  // round-trip and no "_1" appears at every quit.
  const std::string why = folders.Mount(folders.Prefs(), "ramfs", "mode=0700");
  if (!why.empty()) {
    SetFileStepHook([](FileStep s, const std::string&) { return s == FileStep::SetAttribute ? ENOTSUP : 0; });
  } else {
    ASSERT_FALSE(filefixtures::FilesystemKeepsAttributes(folders.Prefs()));
  }
  for (int run = 0; run < 3; ++run) {
    Prefs p;
    StartAndQuit(p);
    p.SetPartInteger(run, 2, 1);
    p.Save();
    EXPECT_EQ(Read(), "1" + std::to_string(run));
  }
  std::vector<std::string> names = Names(folders.Prefs());
  names.erase(std::remove(names.begin(), names.end(), ".TemporaryItems"), names.end());
  EXPECT_EQ(names, std::vector<std::string>{kPrefsName});
  if (!why.empty()) GTEST_SKIP() << "ran with attributes refused by the seam; no ramfs here: " << why;
}

TEST_F(PreferencesTest, AFileWithoutCodesCountsAsOursOnlyWithTheHeader) {
  // No codes of its own: a copy, or a filesystem that keeps none. Only the
  // program's header tells its file from another one at that name.
  const std::string dotfile = folders.dir.File("bashrc");
  struct Case {
    std::string name;
    std::function<void()> make;
    bool ours;
  } cases[] = {
      {"00C2", [&] { WriteFile(File(), "00C2"); }, true},
      {"hello", [&] { WriteFile(File(), "hello"); }, false},
      {"empty", [&] { WriteFile(File(), ""); }, false},
      {"0 alone", [&] { WriteFile(File(), "0"); }, false},
      {"a link to a text file",
       [&] {
         WriteFile(dotfile, "export PATH\n");
         fs::create_symlink(dotfile, File());
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folders.Prefs());
    fs::create_directory(folders.Prefs());
    fs::remove(dotfile);
    c.make();
    const std::string before = ReadFile(File());
    Prefs p;
    StartAndQuit(p);
    EXPECT_EQ(ReadFile(File()), before);  // byte for byte, in every case
    if (c.ours) {
      EXPECT_EQ(p.GetData(), "C2");
      EXPECT_EQ(Names(folders.Prefs()), std::vector<std::string>{kPrefsName});
    } else {
      EXPECT_EQ(ReadFile(File("_1")), "0010");
      EXPECT_EQ(Read(), "10");
    }
  }
  EXPECT_TRUE(fs::is_symlink(File()));
  EXPECT_EQ(ReadFile(dotfile), "export PATH\n");
}

TEST_F(PreferencesTest, NamesThatCanNeverBeSavedArePassedOver) {
  // Entries that are not usable files of ours: the settings go to "_1",
  // and the entry stays as it was.
  struct Case {
    std::string name;
    std::function<bool()> make;  // false: cannot be made here
  } cases[] = {
      {"a loop of two links",
       [&] {
         fs::create_symlink(kPrefsName + "-other", File());
         fs::create_symlink(kPrefsName, File("-other"));
         return true;
       }},
      {"a link to itself",
       [&] {
         fs::create_symlink(kPrefsName, File());
         return true;
       }},
      {"a dangling link into a missing folder",
       [&] {
         fs::create_symlink("missing/settings", File());
         return true;
       }},
      {"a folder with our type and creator",
       [&] {
         fs::create_directory(File());
         return setxattr(File().c_str(), "user.mac.type", "PREF", 4, 0) == 0 &&
                setxattr(File().c_str(), "user.mac.creator", "VEZA", 4, 0) == 0;
       }},
      {"a pipe", [&] { return mkfifo(File().c_str(), 0600) == 0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folders.Prefs());
    fs::create_directory(folders.Prefs());
    if (!c.make()) {
      ADD_FAILURE() << "could not make the entry";
      continue;
    }
    const fs::file_status before = fs::symlink_status(File());
    const std::string target = fs::is_symlink(before) ? fs::read_symlink(File()).string() : "";
    for (int run = 0; run < 2; ++run) {
      Prefs p;
      StartAndQuit(p);
      EXPECT_EQ(p.GetData(), "10");
    }
    EXPECT_EQ(ReadFile(File("_1")), "0010");
    EXPECT_EQ(Read(), "10");
    EXPECT_EQ(fs::symlink_status(File()).type(), before.type());
    if (!target.empty()) {
      EXPECT_EQ(fs::read_symlink(File()).string(), target);
    }
    EXPECT_FALSE(fs::exists(folders.Prefs("missing")));
    EXPECT_FALSE(fs::exists(File("_2")));
    EXPECT_TRUE(Names(folders.Tmp()).empty());
  }
}

TEST_F(PreferencesTest, AGigabyteFileAtTheNameIsNotReadWhole) {
  Stored("00A2");
  ASSERT_EQ(truncate(File().c_str(), off_t{1} << 30), 0);  // sparse: no room taken
  struct rusage self {};
  getrusage(RUSAGE_SELF, &self);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Prefs p;
    p.Restore();
    _exit(p.GetData().empty() ? 0 : 1);
  }
  int status = 0;
  struct rusage used {};
  ASSERT_EQ(wait4(child, &status, 0, &used), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "read as a record";
  // What the child held beyond what it took over from this process: far
  // from the gigabyte a whole read would cost.
  EXPECT_LT(used.ru_maxrss - self.ru_maxrss, 64 * 1024) << "KiB";

  // It counts as unreadable: the defaults hold and replace it.
  Prefs p;
  StartAndQuit(p);
  EXPECT_EQ(p.GetData(), "10");
  EXPECT_EQ(fs::file_size(File()), 4u);
  EXPECT_EQ(Read(), "10");
}

// ---- A stored file survives every failure of a save.

TEST_F(PreferencesTest, ASaveKilledAtAnyStepLeavesTheOldOrTheNewFile) {
  for (bool firstSave : {false, true}) {
    int step = 0;
    bool sawOld = false, sawNew = false;
    for (int killAt = 1;; ++killAt) {
      fs::remove_all(folders.Tmp());
      fs::create_directory(folders.Tmp());
      fs::remove(File());
      if (!firstSave) Stored("00A2");
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        SetFileStepHook([&](FileStep s, const std::string&) {
          if (s != FileStep::Exists && ++step == killAt) raise(SIGKILL);
          return 0;
        });
        Prefs p;
        p.Restore();
        p.SetData("10");
        p.Save();
        _exit(0);
      }
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
      ASSERT_TRUE(killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0));

      const std::string old = firstSave ? "" : "A2";
      const std::string record = Read();
      EXPECT_TRUE(record == old || record == "10") << "killed before step " << killAt << ": " << record;
      if (fs::exists(File())) {
        const std::string bytes = ReadFile(File());
        EXPECT_TRUE(bytes == "00" + old || bytes == "0010") << "killed before step " << killAt << ": " << bytes;
      }
      (record == old ? sawOld : sawNew) = true;
      if (!killed) break;
      ASSERT_LT(killAt, 100);
    }
    // The kills fell both before and after the commit.
    EXPECT_TRUE(sawOld) << firstSave;
    EXPECT_TRUE(sawNew) << firstSave;
  }
}

TEST_F(PreferencesTest, AFailedWriteFlushOrCloseKeepsTheStoredFile) {
  for (FileStep failing : {FileStep::Write, FileStep::Sync, FileStep::Close}) {
    Stored("00A2");
    SetFileStepHook([failing](FileStep s, const std::string& path) {
      return s == failing && path.find("000001") != std::string::npos ? ENOSPC : 0;
    });
    Prefs p;
    StartAndQuit(p);
    p.SetData("10");
    p.Save();
    SetFileStepHook(nullptr);
    EXPECT_EQ(ReadFile(File()), "00A2") << static_cast<int>(failing);
    EXPECT_TRUE(Names(folders.Tmp()).empty()) << static_cast<int>(failing);
  }
}

TEST_F(PreferencesTest, AFullDiskKeepsTheStoredFile) {
  const std::string why = folders.Mount(folders.Prefs(), "tmpfs", "size=64k");
  if (!why.empty()) GTEST_SKIP() << "no small filesystem to fill (the injected ENOSPC covers it): " << why;
  Stored("00A2");
  const std::string filler = FillTheDisk();
  Prefs p;
  p.Restore();
  ASSERT_EQ(p.GetData(), "A2");
  p.SetData("10");
  p.Save();
  EXPECT_EQ(ReadFile(File()), "00A2");
  EXPECT_EQ(Read(), "A2");
  for (const std::string& name : Names(folders.Prefs(".TemporaryItems"))) ADD_FAILURE() << "left behind: " << name;

  // Once there is room again, the same save goes through.
  fs::remove(filler);
  p.Save();
  EXPECT_EQ(Read(), "10");
}

TEST_F(PreferencesTest, WrittenDirectlyTheFileKeepsItsOldBytesWhenTheDiskIsFull) {
  // No temporary folder anywhere: the store writes the stored file itself.
  setenv("TMPDIR", folders.dir.File("none").c_str(), 1);
  const auto direct = [&] {
    WriteFile(folders.Prefs(".TemporaryItems"), "");  // no hidden folder either
  };
  const std::string longRecord(6000, 'x');  // more than the free room
  for (FileStep failing : {FileStep::Write, FileStep::Sync}) {
    direct();
    Stored("00A2");
    SetFileStepHook([failing](FileStep s, const std::string&) { return s == failing ? ENOSPC : 0; });
    Prefs p;
    p.Restore();
    p.SetData(longRecord);
    p.Save();
    SetFileStepHook(nullptr);
    EXPECT_EQ(ReadFile(File()), "00A2") << static_cast<int>(failing);
  }
  // A shorter record is cut to its length, a longer one written whole.
  Stored("00A2xyz");
  for (const std::string& record : {std::string("10"), longRecord}) {
    Prefs p;
    p.Restore();
    p.SetData(record);
    p.Save();
    EXPECT_EQ(ReadFile(File()), "00" + record);
  }

  // A real full disk.
  const std::string why = folders.Mount(folders.Prefs(), "tmpfs", "size=64k");
  if (!why.empty()) GTEST_SKIP() << "no small filesystem to fill (the injected ENOSPC covers it): " << why;
  direct();
  Stored("00A2");
  const std::string filler = FillTheDisk();
  Prefs p;
  p.Restore();
  p.SetData(longRecord);
  p.Save();
  EXPECT_EQ(ReadFile(File()), "00A2");
  // The same record of the old length fits where the old one lies.
  p.SetData("10");
  p.Save();
  EXPECT_EQ(ReadFile(File()), "0010");
  fs::remove(filler);
  p.SetData(longRecord);
  p.Save();
  EXPECT_EQ(ReadFile(File()), "00" + longRecord);
}

TEST_F(PreferencesTest, SavesKilledAtRandomMomentsLeaveNothingThatOutlivesTheNextSave) {
  // The shadow in the system's temporary folder, then in the hidden folder
  // beside the file (where the system's is on another mount).
  const std::string hidden = folders.Prefs(".TemporaryItems");
  std::mt19937 random(20111125);
  int leftBehind = 0;
  for (bool system : {true, false}) {
    if (!system) setenv("TMPDIR", folders.dir.File("none").c_str(), 1);
    Stored("00A2");
    // How long one save takes here: the kills fall within about that long.
    const auto start = std::chrono::steady_clock::now();
    {
      Prefs p;
      p.Restore();
      p.SetData("C3");
      p.Save();
    }
    const auto save = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                            start);
    for (int round = 0; round < 50; ++round) {
      const std::string old = Read();
      const std::string next = old == "10" ? "C3" : "10";
      int ready[2];
      ASSERT_EQ(pipe(ready), 0);
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        Prefs p;
        p.Restore();
        p.SetData(next);
        [[maybe_unused]] ssize_t n = write(ready[1], "s", 1);
        p.Save();
        _exit(0);
      }
      close(ready[1]);
      char c;
      ASSERT_EQ(read(ready[0], &c, 1), 1);
      close(ready[0]);
      const auto delay = std::uniform_int_distribution<long>(0, save.count() * 3 / 2)(random);
      std::this_thread::sleep_for(std::chrono::microseconds(delay));
      kill(child, SIGKILL);
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      const std::string record = Read();
      EXPECT_TRUE(record == old || record == next) << "round " << round << ": " << record;
      const std::string shadows = system ? folders.Tmp() : hidden;
      leftBehind += static_cast<int>(Names(shadows).size());
    }
    // One clean run, with the shadow where the killed saves put theirs.
    Prefs p;
    p.Restore();
    p.SetData(p.GetData() == "10" ? "C3" : "10");
    p.Save();
    EXPECT_TRUE(Names(folders.Tmp()).empty()) << (system ? "system folder" : "hidden folder");
    EXPECT_FALSE(fs::exists(hidden)) << Names(hidden).size() << " left in it";
  }
  // Shown, to tell that the kills fell inside saves.
  std::cout << "shadow files found after the 100 kills: " << leftBehind << "\n";
}

TEST_F(PreferencesTest, AReadOnlyPreferencesFolderKeepsTheDefaults) {
  // A read-only mount holds even against root.
  std::string why = folders.Mount(folders.Prefs(), "tmpfs", "size=64k");
  if (why.empty()) {
    Stored("00A2");
    if (mount(nullptr, folders.Prefs().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) why = "remount ro";
  }
  if (why.empty()) {
    Prefs p;
    StartAndQuit(p);
    EXPECT_EQ(p.GetData(), "A2");
    p.SetData("10");
    p.Save();
    EXPECT_EQ(ReadFile(File()), "00A2");
    EXPECT_TRUE(Names(folders.Tmp()).empty());
  }
  // A filesystem that refuses every change, as a read-only one does.
  {
    SetPreferencesFolder(folders.dir.File("seam"));
    fs::create_directory(folders.dir.File("seam"));
    WriteFile(folders.dir.File("seam/" + kPrefsName), "00A2");
    SetFileStepHook([](FileStep s, const std::string&) { return s == FileStep::Exists ? 0 : EROFS; });
    Prefs p;
    StartAndQuit(p);
    EXPECT_EQ(p.GetData(), "A2");
    p.SetData("10");
    p.Save();
    SetFileStepHook(nullptr);
    EXPECT_EQ(ReadFile(folders.dir.File("seam/" + kPrefsName)), "00A2");
    EXPECT_TRUE(Names(folders.Tmp()).empty());
  }
  // A folder without write permission, where permissions hold.
  const std::string plain = folders.dir.File("plain");
  fs::create_directory(plain);
  SetPreferencesFolder(plain);
  setenv("TMPDIR", folders.dir.File("none").c_str(), 1);  // the shadow would go beside the file
  chmod(plain.c_str(), 0555);
  if (geteuid() != 0) {
    Prefs p;
    StartAndQuit(p);
    EXPECT_EQ(p.GetData(), "10");
    EXPECT_TRUE(Names(plain).empty());
  }
  // A preferences folder that cannot even be made.
  WriteFile(folders.dir.File("afile"), "");
  SetPreferencesFolder(folders.dir.File("afile/prefs"));
  Prefs q;
  StartAndQuit(q);
  EXPECT_EQ(q.GetData(), "10");
  if (!why.empty() && geteuid() == 0)
    GTEST_SKIP() << "no read-only mount here (" << why << ") and root writes a folder without write permission";
}

// ---- Bad input never crashes and is never written back broken.

TEST_F(PreferencesTest, HostileFilesGiveAnEmptyRecordAndStayOrAreReplacedWhole) {
  std::mt19937 random(20111204);
  std::string noise(1 << 20, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  noise[0] = 'x';  // no header
  std::string headed = noise;
  headed[0] = headed[1] = '0';

  struct Case {
    std::string name;
    std::function<void()> make;
    std::string record;    // what Restore gives
    std::string own;       // suffix of the file the save ends in
    std::string original;  // bytes of the file at the name, "" when it is no file
  } cases[] = {
      {"empty", [&] { Stored(""); }, "", "", ""},
      {"0", [&] { Stored("0"); }, "", "", ""},
      {"00", [&] { Stored("00"); }, "", "", ""},
      {"1 MB of random bytes", [&] { Stored(noise); }, "", "", ""},
      // A record is a few bytes; a file of more than 64 KiB is no settings
      // file and counts as unreadable.
      {"64 KiB after the header", [&] { Stored(headed.substr(0, 65536)); }, headed.substr(2, 65534), "", ""},
      {"1 MB after the header", [&] { Stored(headed); }, "", "", ""},
      {"one byte more than 64 KiB", [&] { Stored(headed.substr(0, 65537)); }, "", "", ""},
      {"a folder in its place", [&] { fs::create_directory(File()); }, "", "_1", ""},
      {"a pipe in its place", [&] { mkfifo(File().c_str(), 0600); }, "", "_1", ""},
      {"a dangling link", [&] { fs::create_symlink("gone", File()); }, "", "", ""},
      {"a foreign creator", [&] { Foreign(""); }, "", "_1", "0099"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folders.Prefs());
    fs::create_directory(folders.Prefs());
    c.make();
    Prefs p;
    p.Restore();
    EXPECT_EQ(p.GetData(), c.record);
    StartAndQuit(p);
    // Wherever the settings went, they read back whole.
    Prefs again;
    again.Restore();
    EXPECT_EQ(again.GetData(), c.record.size() >= 2 ? c.record : "10");
    EXPECT_EQ(ReadFile(fs::path(File(c.own)).string()), "00" + again.GetData());
    if (!c.original.empty()) {
      EXPECT_EQ(ReadFile(File()), c.original);
    }
    EXPECT_TRUE(Names(folders.Tmp()).empty());
  }
  // A dangling link stays a link; its target was made.
  fs::remove_all(folders.Prefs());
  fs::create_directory(folders.Prefs());
  fs::create_symlink("gone", File());
  Prefs dangling;
  StartAndQuit(dangling);
  EXPECT_TRUE(fs::is_symlink(File()));
  EXPECT_EQ(ReadFile(folders.Prefs("gone")), "0010");

  // A link that points to itself names no file: it is left alone, the
  // defaults hold and the settings go under the next name.
  fs::remove_all(folders.Prefs());
  fs::create_directory(folders.Prefs());
  fs::create_symlink(kPrefsName, File());
  Prefs p;
  StartAndQuit(p);
  EXPECT_EQ(p.GetData(), "10");
  EXPECT_EQ(fs::read_symlink(File()), kPrefsName);
  EXPECT_EQ(Names(folders.Prefs()), (std::vector<std::string>{kPrefsName, kPrefsName + "_1"}));
  EXPECT_TRUE(Names(folders.Tmp()).empty());
}

TEST_F(PreferencesTest, AnUnreadableFileCountsAsEmptyAndIsLeftAsItWas) {
  if (geteuid() == 0)
    GTEST_SKIP() << "running as root, which reads any file; a folder or a pipe in its place covers it";
  Stored("00A2");
  chmod(File().c_str(), 0);
  Prefs p;
  StartAndQuit(p);
  EXPECT_EQ(p.GetData(), "10");
  chmod(File().c_str(), 0600);
  EXPECT_EQ(ReadFile(File()), "00A2");
}

}  // namespace
