// Safe file replacement: the shadow file's name and place, the commit by
// exchange or by one rename, Abort, and a base file that stays as it was
// whenever its replacement cannot be done whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <string>
#include <vector>

#include "app/PrefsFile.h"
#include "app/ShadowFiler.h"
#include "framework/Files.h"
#include "framework/FolderItem.h"
#include "framework/Strings.h"
#include "tests/framework/FileFixtures.h"
#include "tests/support/TestSupport.h"

using namespace fw;
using filefixtures::Mode;
using filefixtures::Names;
using testsupport::ReadFile;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

const std::string kPrefsName = kPrefsFileName;

Ref<FolderItem> Item(const std::string& path) { return New<FolderItem>(path); }

// Opens the filer's protected state to the tests.
class OpenFiler : public ShadowFiler {
 public:
  using ShadowFiler::IsFsspAvail;
  using ShadowFiler::ItsStatus;
  using ShadowFiler::ShadowFiler;
  using ShadowFiler::TheFSSP1;
  using ShadowFiler::TheFSSP2;
};

// What the caller does between the constructor and CleanUp.
void WriteShadow(ShadowFiler& filer, const std::string& bytes) {
  auto out = TextOutputStream::Create(filer.RefShadowFile());
  ASSERT_TRUE(out);
  out->Write(bytes);
  out->Close();
  ASSERT_EQ(out->LastErrorCode(), 0);
}

class ShadowFilerTest : public ::testing::Test {
 protected:
  std::string Base() const { return folders.Prefs(kPrefsName); }
  std::string Shadow(const std::string& digits = "000001") const { return folders.Tmp(kPrefsName + digits); }

  // Records every step on disk from now on.
  std::vector<FileStep>& Watch() {
    SetFileStepHook([this](FileStep s, const std::string&) {
      steps.push_back(s);
      return 0;
    });
    return steps;
  }

  filefixtures::Folders folders;
  std::vector<FileStep> steps;
};

TEST_F(ShadowFilerTest, ShadowIsTheNameWithSixDigitsInTheTemporaryFolder) {
  ShadowFiler filer(Item(Base()));
  EXPECT_EQ(filer.RefStatus(), ShadowFiler::kReady);
  EXPECT_TRUE(filer.RefShadowAvail());
  ASSERT_TRUE(filer.RefShadowFile());
  EXPECT_EQ(filer.RefShadowFile()->NativePath(), Shadow("000001"));
  EXPECT_EQ(filer.VersionInfo(), "2011-11-25,1");
  // The constructor makes no file.
  EXPECT_TRUE(Names(folders.Tmp()).empty());

  WriteFile(Shadow("000001"), "");
  WriteFile(Shadow("000002"), "");
  EXPECT_EQ(ShadowFiler(Item(Base())).RefShadowFile()->NativePath(), Shadow("000003"));
}

TEST_F(ShadowFilerTest, LongNamesAreCutTo25BytesBetweenCharacters) {
  const std::string no = "\xE3\x81\xAE";  // three bytes
  struct Case {
    std::string base, kept;
  } cases[] = {
      {std::string(30, 'a'), std::string(25, 'a')},
      {std::string(25, 'b'), std::string(25, 'b')},
      {[&] {
         std::string s;
         for (int i = 0; i < 9; ++i) s += no;
         return s;
       }(),  // 27 bytes
       [&] {
         std::string s;
         for (int i = 0; i < 8; ++i) s += no;
         return s;
       }()},  // 24 bytes
      {std::string(24, 'c') + no, std::string(24, 'c')},
      {std::string(22, 'd') + no + "e", std::string(22, 'd') + no},
  };
  for (const Case& c : cases) {
    ShadowFiler filer(Item(folders.Prefs(c.base)));
    ASSERT_TRUE(filer.RefShadowFile()) << c.base;
    EXPECT_EQ(filer.RefShadowFile()->Name(), c.kept + "000001") << c.base;
  }
}

TEST_F(ShadowFilerTest, EveryNumberTakenHandsOutTheBaseFile) {
  WriteFile(Base(), "old");
  std::vector<std::string> asked;
  const std::string prefix = Shadow("");
  SetFileStepHook([&](FileStep s, const std::string& path) {
    if (s == FileStep::Exists && path.rfind(prefix, 0) == 0) {
      asked.push_back(path.substr(prefix.size()));
      return 1;  // taken
    }
    return 0;
  });
  ShadowFiler filer(Item(Base()));
  SetFileStepHook(nullptr);

  EXPECT_EQ(filer.RefStatus(), ShadowFiler::kNoShadowName);
  EXPECT_FALSE(filer.RefShadowAvail());
  EXPECT_EQ(filer.RefShadowFile()->NativePath(), Base());
  // Every number from 1 to one past the bound, once each, in six digits.
  ASSERT_EQ(asked.size(), 900001u);
  EXPECT_EQ(asked.front(), "000001");
  EXPECT_EQ(asked[899999], "900000");
  EXPECT_EQ(asked.back(), "900001");

  Watch();
  filer.CleanUp();
  EXPECT_TRUE(steps.empty());
  EXPECT_EQ(filer.RefStatus(), ShadowFiler::kCommitted);
  EXPECT_EQ(ReadFile(Base()), "old");
}

TEST_F(ShadowFilerTest, RefusedAndDirectCases) {
  // A folder is refused: nothing is handed out.
  fs::create_directory(folders.Prefs("folder"));
  ShadowFiler folder(Item(folders.Prefs("folder")));
  EXPECT_EQ(folder.RefStatus(), ShadowFiler::kRefused);
  EXPECT_FALSE(folder.RefShadowFile());
  folder.CleanUp();
  EXPECT_EQ(folder.RefStatus(), ShadowFiler::kCommitted);
  EXPECT_TRUE(fs::is_directory(folders.Prefs("folder")));

  // So is a loop of links, which names no file.
  symlink("loop2", folders.Prefs("loop1").c_str());
  symlink("loop1", folders.Prefs("loop2").c_str());
  EXPECT_EQ(ShadowFiler(Item(folders.Prefs("loop1"))).RefStatus(), ShadowFiler::kRefused);
  EXPECT_EQ(ShadowFiler(nullptr).RefStatus(), ShadowFiler::kRefused);

  // No temporary folder: the caller writes the base file itself.
  setenv("TMPDIR", folders.dir.File("none").c_str(), 1);
  WriteFile(folders.Prefs(".TemporaryItems"), "");
  ShadowFiler direct(Item(Base()));
  EXPECT_EQ(direct.RefStatus(), ShadowFiler::kNoTemporary);
  EXPECT_FALSE(direct.RefShadowAvail());
  EXPECT_EQ(direct.RefShadowFile()->NativePath(), Base());
  direct.Abort();
  EXPECT_EQ(direct.RefStatus(), ShadowFiler::kAborted);
  EXPECT_FALSE(direct.RefShadowFile());

  // Before its constructor a filer refers to no file.
  ShadowFiler fresh;
  EXPECT_EQ(fresh.RefStatus(), ShadowFiler::kRefused);
  EXPECT_FALSE(fresh.RefShadowFile());
}

TEST_F(ShadowFilerTest, FirstSaveMovesTheShadowIntoPlace) {
  ShadowFiler filer(Item(Base()));
  WriteShadow(filer, "0010");
  filer.CleanUp();
  EXPECT_EQ(filer.RefStatus(), ShadowFiler::kCommitted);
  EXPECT_FALSE(filer.RefShadowFile());
  EXPECT_FALSE(filer.RefShadowAvail());
  EXPECT_EQ(ReadFile(Base()), "0010");
  EXPECT_TRUE(Names(folders.Tmp()).empty());
}

TEST_F(ShadowFilerTest, ExchangeReplacesTheContentsAndKeepsTheFilesAccess) {
  WriteFile(Base(), "00A2");
  chmod(Base().c_str(), 0604);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(Base().c_str(), 12345, 23456), 0);
  }
  OpenFiler filer(Item(Base()));
  WriteShadow(filer, "0010");
  Item(Shadow())->MacType(kPrefsFileType);

  Watch();
  filer.CleanUp();
  EXPECT_EQ(ReadFile(Base()), "0010");
  EXPECT_EQ(Item(Base())->MacType(), kPrefsFileType);
  EXPECT_TRUE(Names(folders.Tmp()).empty());
  EXPECT_EQ(Mode(Base()), 0604u);
  if (geteuid() == 0) {
    struct stat st {};
    stat(Base().c_str(), &st);
    EXPECT_EQ(st.st_uid, 12345u);
    EXPECT_EQ(st.st_gid, 23456u);
  }
  // Exchanged, not renamed; the records name the base file first.
  EXPECT_NE(std::find(steps.begin(), steps.end(), FileStep::Exchange), steps.end());
  EXPECT_EQ(std::find(steps.begin(), steps.end(), FileStep::Rename), steps.end());
  EXPECT_EQ(filer.TheFSSP1->Int16Value(0), Item(Base())->MacVRefNum());
  EXPECT_EQ(filer.TheFSSP1->Int32Value(2), Item(Base())->MacDirID());
  EXPECT_EQ(filer.TheFSSP1->PString(6), ConvertEncoding(kPrefsName, TextEncoding::MacJapanese));
  EXPECT_EQ(filer.TheFSSP2->Int32Value(2), Item(Shadow())->MacDirID());
  EXPECT_EQ(filer.TheFSSP2->PString(6), ConvertEncoding(kPrefsName + "000001", TextEncoding::MacJapanese));
}

TEST_F(ShadowFilerTest, WithoutTheExchangeOneRenameCommits) {
  // The exchange fails, or there are no buffers for it.
  for (bool buffers : {true, false}) {
    WriteFile(Base(), "00A2");
    OpenFiler filer(Item(Base()));
    WriteShadow(filer, "0010");
    if (!buffers) {
      filer.IsFsspAvail = false;
      filer.ItsStatus = -1;
    }
    SetFileStepHook([&](FileStep s, const std::string&) {
      steps.push_back(s);
      return s == FileStep::Exchange ? EIO : 0;
    });
    steps.clear();
    filer.CleanUp();
    EXPECT_EQ(ReadFile(Base()), "0010") << buffers;
    EXPECT_TRUE(Names(folders.Tmp()).empty()) << buffers;
    // No delete of the base file comes first: one rename replaces it.
    EXPECT_EQ(std::count(steps.begin(), steps.end(), FileStep::Delete), 0) << buffers;
    EXPECT_EQ(std::count(steps.begin(), steps.end(), FileStep::Rename), 1) << buffers;
  }
}

TEST_F(ShadowFilerTest, WhenEveryCommitFailsTheBaseStaysAndTheShadowGoes) {
  WriteFile(Base(), "00A2");
  ShadowFiler filer(Item(Base()));
  WriteShadow(filer, "0010");
  SetFileStepHook(
      [](FileStep s, const std::string&) { return s == FileStep::Exchange || s == FileStep::Rename ? EIO : 0; });
  filer.CleanUp();
  EXPECT_EQ(filer.RefStatus(), ShadowFiler::kCommitted);
  EXPECT_EQ(ReadFile(Base()), "00A2");
  EXPECT_TRUE(Names(folders.Tmp()).empty());
}

TEST_F(ShadowFilerTest, ABaseFileThatMayNotBeWrittenOrKeepItsOwnerStays) {
  // The owner of the stored file cannot be given to the new one.
  WriteFile(Base(), "00A2");
  {
    ShadowFiler filer(Item(Base()));
    WriteShadow(filer, "0010");
    SetFileStepHook([](FileStep s, const std::string&) { return s == FileStep::ChangeAccess ? EPERM : 0; });
    filer.CleanUp();
    SetFileStepHook(nullptr);
    EXPECT_EQ(ReadFile(Base()), "00A2");
    EXPECT_TRUE(Names(folders.Tmp()).empty());
  }
  // A file that may not be written. Root may write any file, except an
  // immutable one.
  const std::string lock = geteuid() == 0 ? "chattr +i '" + Base() + "' 2>/dev/null"
                                          : "chmod 0444 '" + Base() + "'";
  if (std::system(lock.c_str()) != 0) GTEST_SKIP() << "cannot make the file unwritable here: " << lock;
  ShadowFiler filer(Item(Base()));
  WriteShadow(filer, "0010");
  filer.CleanUp();
  std::system(("chattr -i '" + Base() + "' 2>/dev/null").c_str());
  EXPECT_EQ(ReadFile(Base()), "00A2");
  EXPECT_TRUE(Names(folders.Tmp()).empty());
}

TEST_F(ShadowFilerTest, ALinkStaysALinkAndItsTargetIsReplaced) {
  fs::create_directory(folders.dir.File("dotfiles"));
  const std::string target = folders.dir.File("dotfiles/settings");
  WriteFile(target, "00A2");
  chmod(target.c_str(), 0600);
  fs::create_symlink("../dotfiles/settings", Base());
  ShadowFiler filer(Item(Base()));
  WriteShadow(filer, "0010");
  filer.CleanUp();
  EXPECT_TRUE(fs::is_symlink(Base()));
  EXPECT_EQ(fs::read_symlink(Base()), "../dotfiles/settings");
  EXPECT_EQ(ReadFile(target), "0010");
  EXPECT_EQ(Mode(target), 0600u);

  // A link to a file not there yet: the target is made.
  fs::remove(target);
  ShadowFiler first(Item(Base()));
  WriteShadow(first, "0011");
  first.CleanUp();
  EXPECT_TRUE(fs::is_symlink(Base()));
  EXPECT_EQ(ReadFile(target), "0011");
}

TEST_F(ShadowFilerTest, AbortGivesTheNewContentsUp) {
  WriteFile(Base(), "00A2");
  ShadowFiler filer(Item(Base()));
  WriteShadow(filer, "0010");
  filer.Abort();
  EXPECT_EQ(filer.RefStatus(), ShadowFiler::kAborted);
  EXPECT_FALSE(filer.RefShadowFile());
  EXPECT_EQ(ReadFile(Base()), "00A2");
  EXPECT_TRUE(Names(folders.Tmp()).empty());
  // Then nothing touches the disk any more.
  Watch();
  filer.CleanUp();
  filer.Abort();
  EXPECT_TRUE(steps.empty());
}

TEST_F(ShadowFilerTest, CleanUpTwiceAndWithoutAShadowTouchesNothing) {
  WriteFile(Base(), "00A2");
  ShadowFiler filer(Item(Base()));
  WriteShadow(filer, "0010");
  filer.CleanUp();
  Watch();
  filer.CleanUp();
  EXPECT_EQ(filer.RefStatus(), ShadowFiler::kCommitted);
  EXPECT_TRUE(steps.empty());
  EXPECT_EQ(ReadFile(Base()), "0010");

  // The caller never created the shadow file.
  ShadowFiler unused(Item(Base()));
  steps.clear();
  unused.CleanUp();
  EXPECT_EQ(unused.RefStatus(), ShadowFiler::kCommitted);
  ShadowFiler unused2(Item(Base()));
  unused2.Abort();
  EXPECT_EQ(unused2.RefStatus(), ShadowFiler::kAborted);
  // Only looks: the shadow name search and the test for the shadow file.
  EXPECT_FALSE(steps.empty());
  EXPECT_EQ(std::count(steps.begin(), steps.end(), FileStep::Exists), static_cast<long>(steps.size()));
  EXPECT_EQ(ReadFile(Base()), "0010");
}

// The caller's part, through the filer's own creation of the file.
void WriteCreated(ShadowFiler& filer, const std::string& bytes) {
  auto out = filer.CreateShadowFile(kPrefsHeader, kPrefsMaxFileBytes);
  ASSERT_TRUE(out);
  out->Write(bytes);
  out->Close();
  ASSERT_EQ(out->LastErrorCode(), 0);
}

// Without locks too, two saves at once stay apart by their shadows' names.
TEST_F(ShadowFilerTest, TwoSavesAtOnceEachWriteTheirOwnShadow) {
  for (int32_t locks : filefixtures::kLockAnswers) {
    SCOPED_TRACE(locks);
    filefixtures::LocksAnswer(locks);
    WriteFile(Base(), "00A2");
    ShadowFiler a(Item(Base()));
    ShadowFiler b(Item(Base()));
    // Both found the same free name; only one of them can make it.
    ASSERT_EQ(a.RefShadowFile()->NativePath(), b.RefShadowFile()->NativePath());
    WriteCreated(a, "00A1");
    WriteCreated(b, "00B2");
    EXPECT_EQ(a.RefShadowFile()->NativePath(), Shadow("000001"));
    EXPECT_EQ(b.RefShadowFile()->NativePath(), Shadow("000002"));
    EXPECT_EQ(ReadFile(Shadow("000001")), "00A1");
    a.CleanUp();
    EXPECT_EQ(ReadFile(Base()), "00A1");
    b.CleanUp();
    EXPECT_EQ(ReadFile(Base()), "00B2");
    EXPECT_TRUE(Names(folders.Tmp()).empty());
  }
}

TEST_F(ShadowFilerTest, ASaveBetweenAnotherOnesExchangeAndItsDeleteIsKept) {
  for (int32_t locks : filefixtures::kLockAnswers) {
    SCOPED_TRACE(locks);
    filefixtures::LocksAnswer(locks);
    WriteFile(Base(), "00A2");
    ShadowFiler a(Item(Base()));
    ShadowFiler b(Item(Base()));
    WriteCreated(a, "00A1");
    // Just after a's exchange the former file lies under a's shadow name;
    // b makes its shadow then, and a deletes its own afterwards.
    bool done = false;
    SetFileStepHook([&](FileStep s, const std::string&) {
      if (s == FileStep::SyncFolder && !done) {
        done = true;
        WriteCreated(b, "00B2");
      }
      return s == FileStep::Lock ? locks : 0;
    });
    a.CleanUp();
    SetFileStepHook(nullptr);
    ASSERT_TRUE(done);
    EXPECT_EQ(ReadFile(Base()), "00A1");
    b.CleanUp();
    EXPECT_EQ(ReadFile(Base()), "00B2");
    EXPECT_TRUE(Names(folders.Tmp()).empty());
  }
}

TEST_F(ShadowFilerTest, AnyEntryTakesAShadowNameAndNoLinkIsFollowed) {
  const std::string outside = folders.dir.File("outside");
  struct Case {
    std::string name;
    std::function<void(const std::string&)> make;
  } cases[] = {
      {"a dangling link", [&](const std::string& at) { fs::create_symlink(outside, at); }},
      {"a link to a file",
       [&](const std::string& at) {
         WriteFile(outside, "theirs");
         fs::create_symlink(outside, at);
       }},
      {"a loop of links", [&](const std::string& at) { fs::create_symlink(fs::path(at).filename(), at); }},
      {"a pipe", [&](const std::string& at) { mkfifo(at.c_str(), 0600); }},
      {"a folder", [&](const std::string& at) { fs::create_directory(at); }},
  };
  // The entry is there when the name is chosen, or appears between the
  // choice and the making of the file.
  for (bool before : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name + (before ? ", there before" : ", made in between"));
      fs::remove_all(folders.Tmp());
      fs::create_directory(folders.Tmp());
      fs::remove(outside);
      WriteFile(Base(), "00A2");
      if (before) c.make(Shadow("000001"));
      ShadowFiler filer(Item(Base()));
      if (!before) c.make(Shadow("000001"));
      const fs::file_type type = fs::symlink_status(Shadow("000001")).type();
      WriteCreated(filer, "0010");
      EXPECT_EQ(filer.RefShadowFile()->NativePath(), Shadow("000002"));
      filer.CleanUp();
      EXPECT_EQ(ReadFile(Base()), "0010");
      EXPECT_EQ(fs::symlink_status(Shadow("000001")).type(), type);
      EXPECT_EQ(Names(folders.Tmp()), std::vector<std::string>{kPrefsName + "000001"});
      EXPECT_EQ(ReadFile(outside), c.name == "a link to a file" ? "theirs" : "");
    }
  }
}

TEST_F(ShadowFilerTest, ShadowsOfEndedSavesGoAndThoseOfLiveSavesStay) {
  WriteFile(Base(), "00A2");
  // Left by saves that were killed: nobody holds them locked.
  WriteFile(Shadow("000001"), "0010");
  WriteFile(Shadow("000003"), "");
  // One that a live save is writing.
  int32_t error = 0;
  const Ref<LockedFile> live = LockedFile::Create(Item(Shadow("000002")), error);
  ASSERT_TRUE(live) << error;
  // Names of other files.
  WriteFile(Shadow("00001"), "");
  WriteFile(folders.Tmp("other000001"), "");
  fs::create_symlink(Shadow("000001"), Shadow("000005"));

  ShadowFiler filer(Item(Base()));
  EXPECT_EQ(filer.RefShadowFile()->NativePath(), Shadow("000004"));
  WriteCreated(filer, "00B1");
  // While it is written, this save's shadow is as safe as the other live one.
  ShadowFiler other(Item(Base()));
  WriteCreated(other, "00C1");
  EXPECT_EQ(ReadFile(Shadow("000004")), "00B1");
  EXPECT_EQ(ReadFile(Shadow("000002")), "");
  other.CleanUp();
  filer.CleanUp();
  EXPECT_EQ(ReadFile(Base()), "00B1");
  EXPECT_EQ(Names(folders.Tmp()), (std::vector<std::string>{kPrefsName + "000002", kPrefsName + "000005",
                                                            kPrefsName + "00001", "other000001"}));
}

TEST_F(ShadowFilerTest, OnlyWhatASaveWritesIsTakenForALeftover) {
  const std::string record = kPrefsHeader + std::string(kPrefsMaxFileBytes - 2, 'r');
  struct Case {
    std::string name, bytes;
    bool removed;
  } cases[] = {
      {"nothing, as a save made it", "", true}, {"a record", "0010", true},
      {"the header alone", "00", true},         {"a record of the most bytes", record, true},
      {"one byte more", record + "r", false},   {"a user's notes", "my notes", false},
      {"one byte of the header", "0", false},   {"the header further on", " 0010", false},
  };
  WriteFile(Base(), "00A2");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(Shadow("123456"), c.bytes);
    ShadowFiler filer(Item(Base()));
    WriteCreated(filer, "0010");
    filer.CleanUp();
    EXPECT_EQ(ReadFile(Base()), "0010");
    EXPECT_EQ(fs::exists(Shadow("123456")), !c.removed);
    if (!c.removed) {
      EXPECT_EQ(ReadFile(Shadow("123456")), c.bytes);
    }
    EXPECT_EQ(Names(folders.Tmp()).size(), c.removed ? 0u : 1u);
    fs::remove(Shadow("123456"));
  }
}

TEST_F(ShadowFilerTest, WithoutLocksNothingCanBeToldLeftOverAndNothingGoes) {
  for (int32_t answer : filefixtures::kLockAnswers) {
    SCOPED_TRACE(answer);
    filefixtures::LocksAnswer(answer);
    WriteFile(Base(), "00A2");
    // As a save killed midway leaves it, or as one still writes it: only a
    // lock tells the two apart.
    WriteFile(Shadow("000001"), "0010");
    ShadowFiler filer(Item(Base()));
    WriteCreated(filer, "00B1");
    EXPECT_EQ(filer.RefShadowFile()->NativePath(), Shadow("000002"));
    filer.CleanUp();
    EXPECT_EQ(ReadFile(Base()), "00B1");
    EXPECT_EQ(Names(folders.Tmp()),
              answer == 0 ? std::vector<std::string>{} : std::vector<std::string>{kPrefsName + "000001"});
    fs::remove(Shadow("000001"));
  }
}

TEST_F(ShadowFilerTest, TheHiddenTemporaryFolderGoesWhenASaveLeavesItEmpty) {
  setenv("TMPDIR", folders.dir.File("none").c_str(), 1);
  const std::string hidden = folders.Prefs(".TemporaryItems");
  WriteFile(Base(), "00A2");
  // Committed by the exchange, by the move where the exchange fails (as on
  // FUSE mounts) or where there is no base file yet, given up, and never
  // written.
  enum How { kExchanged, kMoved, kFirstSave, kAborted, kUnwritten };
  for (How how : {kExchanged, kMoved, kFirstSave, kAborted, kUnwritten}) {
    SCOPED_TRACE(how);
    if (how == kFirstSave) fs::remove(Base());
    {
      ShadowFiler filer(Item(Base()));
      ASSERT_EQ(filer.RefShadowFile()->NativePath(), hidden + "/" + kPrefsName + "000001");
      if (how != kUnwritten) WriteCreated(filer, "0010");
      if (how == kMoved)
        SetFileStepHook([](FileStep s, const std::string&) { return s == FileStep::Exchange ? EINVAL : 0; });
      if (how == kAborted)
        filer.Abort();
      else if (how != kUnwritten)
        filer.CleanUp();
      SetFileStepHook(nullptr);
    }
    EXPECT_FALSE(fs::exists(hidden));
    EXPECT_EQ(ReadFile(Base()), how == kAborted || how == kUnwritten ? "00A2" : "0010");
    WriteFile(Base(), "00A2");
  }
  // Something else in it keeps it.
  fs::create_directory(hidden);
  WriteFile(hidden + "/note", "");
  ShadowFiler filer(Item(Base()));
  WriteCreated(filer, "00C2");
  filer.CleanUp();
  EXPECT_EQ(ReadFile(Base()), "00C2");
  EXPECT_EQ(Names(hidden), std::vector<std::string>{"note"});
}

TEST_F(ShadowFilerTest, OnAnotherMountTheShadowLiesInAHiddenFolderBesideTheBase) {
  const std::string why = folders.Mount(folders.Prefs(), "tmpfs", "size=256k");
  if (!why.empty()) GTEST_SKIP() << why;
  WriteFile(Base(), "00A2");
  ShadowFiler filer(Item(Base()));
  ASSERT_EQ(filer.RefStatus(), ShadowFiler::kReady);
  EXPECT_EQ(filer.RefShadowFile()->NativePath(), folders.Prefs(".TemporaryItems/" + kPrefsName + "000001"));
  WriteShadow(filer, "0010");
  filer.CleanUp();
  EXPECT_EQ(ReadFile(Base()), "0010");
  EXPECT_TRUE(Names(folders.Prefs(".TemporaryItems")).empty());
}

}  // namespace
