// The file layer: the preferences folder, streams of bytes, memory blocks,
// type and creator codes with declared file types, temporary folders on
// the item's mount, links, moves and the exchange of two files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "framework/Files.h"
#include "framework/FolderItem.h"
#include "framework/Strings.h"
#include "tests/framework/FileFixtures.h"
#include "tests/support/TestSupport.h"

using namespace fw;
using filefixtures::Attribute;
using filefixtures::Mode;
using testsupport::ReadFile;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

Ref<FolderItem> Item(const std::string& path) { return New<FolderItem>(path); }

// The file record of an item, filled as the safe file replacement fills it.
Ref<MemoryBlock> Record(const Ref<FolderItem>& item) {
  auto r = MemoryBlock::New(70);
  r->Int16Value(0, item->MacVRefNum());
  r->Int32Value(2, item->MacDirID());
  r->PString(6, LeftB(ConvertEncoding(item->Name(), TextEncoding::MacJapanese), 63));
  return r;
}

int32_t Exchange(const Ref<FolderItem>& a, const Ref<FolderItem>& b) {
  return ExchangeFiles(Record(a)->Ptr(), Record(b)->Ptr());
}

class Files : public ::testing::Test {
 protected:
  filefixtures::Folders folders;
};

TEST_F(Files, PreferencesFolderFollowsXdgAndIsMadeWhenMissing) {
  SetPreferencesFolder("");
  const std::string config = folders.dir.File("home/config");
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  auto prefs = SpecialFolder::Preferences();
  ASSERT_TRUE(prefs);
  EXPECT_EQ(prefs->NativePath(), config);
  EXPECT_TRUE(prefs->Directory());
  EXPECT_EQ(Mode(config), 0700u);

  // A relative XDG_CONFIG_HOME is ignored, as the standard asks.
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  setenv("HOME", folders.dir.File("home").c_str(), 1);
  EXPECT_EQ(SpecialFolder::Preferences()->NativePath(), folders.dir.File("home/.config"));
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(SpecialFolder::Preferences()->NativePath(), folders.dir.File("home/.config"));

  // A file where the folder should be gives none.
  WriteFile(folders.dir.File("blocked"), "x");
  SetPreferencesFolder(folders.dir.File("blocked"));
  EXPECT_FALSE(SpecialFolder::Preferences());
  SetPreferencesFolder(folders.Prefs());
  EXPECT_EQ(SpecialFolder::Preferences()->NativePath(), folders.Prefs());
}

// A path of exactly `length` bytes below `base`, in parts of at most 255.
std::string PathOfLength(std::string base, size_t length) {
  while (length - base.size() > 256) base += "/" + std::string(200, 'p');
  return base + "/" + std::string(length - base.size() - 1, 'q');
}

TEST_F(Files, APreferencesFolderThatCannotExistWholeIsNeverBegun) {
  const std::string top = folders.dir.File("home");
  struct Case {
    std::string name, path;
    bool made;
  } cases[] = {
      {"a path of the most bytes", PathOfLength(top, PATH_MAX - 1), true},
      {"one byte more", PathOfLength(top, PATH_MAX), false},
      {"some 5,000 bytes", PathOfLength(top, 5000), false},
      {"a name of the most bytes", top + "/x/" + std::string(NAME_MAX, 'n') + "/config", true},
      {"a name of one byte more", top + "/x/" + std::string(NAME_MAX + 1, 'n') + "/config", false},
  };
  SetPreferencesFolder("");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(top);
    setenv("XDG_CONFIG_HOME", c.path.c_str(), 1);
    const auto prefs = SpecialFolder::Preferences();
    EXPECT_EQ(static_cast<bool>(prefs), c.made);
    if (c.made) {
      EXPECT_EQ(prefs->NativePath(), c.path);
      EXPECT_TRUE(prefs->Directory());
    } else {
      // Not even the first of its folders.
      EXPECT_FALSE(fs::exists(top));
    }
  }
  unsetenv("XDG_CONFIG_HOME");
}

TEST_F(Files, StreamsCarryBytesUnconverted) {
  const std::string bytes = std::string("00\0\xFF\xE3\x81\r\n", 8) + std::string(100000, 'x');
  auto item = Item(folders.Prefs("f"));
  auto out = TextOutputStream::Create(item);
  ASSERT_TRUE(out);
  out->Write(bytes.substr(0, 3));
  out->Write(bytes.substr(3));
  out->Close();
  EXPECT_EQ(out->LastErrorCode(), 0);
  EXPECT_EQ(ReadFile(item->NativePath()), bytes);

  auto in = TextInputStream::Open(item);
  ASSERT_TRUE(in);
  EXPECT_EQ(in->ReadAll(), bytes);
  EXPECT_EQ(in->ReadAll(), "");
  EXPECT_EQ(in->LastErrorCode(), 0);
  in->Close();
  EXPECT_EQ(in->ReadAll(), "");

  // Create empties an existing file, which keeps its permissions.
  chmod(item->NativePath().c_str(), 0640);
  out = TextOutputStream::Create(item);
  ASSERT_TRUE(out);
  out->Close();
  EXPECT_EQ(ReadFile(item->NativePath()), "");
  EXPECT_EQ(Mode(item->NativePath()), 0640u);
}

TEST_F(Files, StreamsGiveNilForWhatIsNoRegularFile) {
  fs::create_directory(folders.Prefs("folder"));
  ASSERT_EQ(mkfifo(folders.Prefs("fifo").c_str(), 0600), 0);
  symlink("missing", folders.Prefs("dangling").c_str());
  for (const std::string name : {"missing", "folder", "fifo", "dangling"}) {
    // A pipe must neither block the open nor be read without end.
    EXPECT_FALSE(TextInputStream::Open(Item(folders.Prefs(name)))) << name;
  }
  EXPECT_FALSE(TextOutputStream::Create(Item(folders.Prefs("folder"))));
  EXPECT_FALSE(TextOutputStream::Create(Item(folders.Prefs("fifo"))));
  EXPECT_FALSE(TextOutputStream::Create(Item(folders.Prefs("no/such/folder"))));
  EXPECT_FALSE(TextInputStream::Open(nullptr));
  EXPECT_FALSE(TextOutputStream::Create(nullptr));
  EXPECT_FALSE(Item(folders.Prefs("fifo"))->OpenAsPicture());
}

TEST_F(Files, CreateInASharedFolderFollowsNoLinkAndOpensNoStrangersFile) {
  const std::string shared = folders.dir.File("shared");
  fs::create_directory(shared);
  chmod(shared.c_str(), 01777);
  symlink(folders.Prefs("victim").c_str(), (shared + "/planted").c_str());
  EXPECT_FALSE(TextOutputStream::Create(Item(shared + "/planted")));
  EXPECT_FALSE(fs::exists(folders.Prefs("victim")));
  EXPECT_TRUE(TextOutputStream::Create(Item(shared + "/mine")));
  if (geteuid() == 0) {
    WriteFile(shared + "/theirs", "theirs");
    ASSERT_EQ(chown((shared + "/theirs").c_str(), 12345, 12345), 0);
    EXPECT_FALSE(TextOutputStream::Create(Item(shared + "/theirs")));
    EXPECT_EQ(ReadFile(shared + "/theirs"), "theirs");
  }
  // Elsewhere a link is written through, as everywhere.
  symlink(folders.Prefs("target").c_str(), folders.Prefs("link").c_str());
  auto out = TextOutputStream::Create(Item(folders.Prefs("link")));
  ASSERT_TRUE(out);
  out->Write("x");
  out->Close();
  EXPECT_EQ(ReadFile(folders.Prefs("target")), "x");
}

TEST_F(Files, AFailedWriteFlushOrCloseIsReported) {
  for (FileStep failing : {FileStep::Write, FileStep::Sync, FileStep::Close}) {
    SetFileStepHook([failing](FileStep step, const std::string&) { return step == failing ? ENOSPC : 0; });
    auto out = TextOutputStream::Create(Item(folders.Prefs("f")));
    ASSERT_TRUE(out);
    out->Write("00");
    out->Write("10");
    out->Close();
    EXPECT_EQ(out->LastErrorCode(), ENOSPC) << static_cast<int>(failing);
  }
  // The first failure stays; later writes do nothing.
  int writes = 0;
  SetFileStepHook(
      [&](FileStep step, const std::string&) { return step == FileStep::Write && ++writes == 1 ? EIO : 0; });
  auto out = TextOutputStream::Create(Item(folders.Prefs("g")));
  out->Write("00");
  out->Write("10");
  out->Close();
  EXPECT_EQ(out->LastErrorCode(), EIO);
  EXPECT_EQ(ReadFile(folders.Prefs("g")), "");
}

TEST_F(Files, ALockedFileIsMadeOnlyUnderAFreeNameAndFollowsNoLink) {
  const std::string outside = folders.dir.File("outside");
  fs::create_symlink(outside, folders.Prefs("dangling"));
  fs::create_symlink("loop", folders.Prefs("loop"));
  mkfifo(folders.Prefs("fifo").c_str(), 0600);
  fs::create_directory(folders.Prefs("folder"));
  WriteFile(folders.Prefs("file"), "kept");
  for (const char* name : {"dangling", "loop", "fifo", "folder", "file"}) {
    int32_t error = 0;
    EXPECT_FALSE(LockedFile::Create(Item(folders.Prefs(name)), error)) << name;
    EXPECT_EQ(error, EEXIST) << name;
  }
  EXPECT_FALSE(fs::exists(outside));
  EXPECT_EQ(ReadFile(folders.Prefs("file")), "kept");

  int32_t error = 0;
  const Ref<LockedFile> made = LockedFile::Create(Item(folders.Prefs("new")), error);
  ASSERT_TRUE(made) << error;
  EXPECT_TRUE(fs::is_regular_file(folders.Prefs("new")));
  EXPECT_EQ(fs::file_size(folders.Prefs("new")), 0u);
  EXPECT_FALSE(LockedFile::Create(Item(folders.Prefs("no/such/folder")), error));
  EXPECT_EQ(error, ENOENT);
}

TEST_F(Files, ALockedFileIsLockedOrWhereNoLockCanBeHadMadeUnlocked) {
  // Where the file system gives no locks the file is made all the same,
  // and its name is still its own.
  for (int32_t answer : filefixtures::kLockAnswers) {
    SCOPED_TRACE(answer);
    filefixtures::LocksAnswer(answer);
    const std::string name = "file" + std::to_string(answer);
    int32_t error = 0;
    const Ref<LockedFile> made = LockedFile::Create(Item(folders.Prefs(name)), error);
    ASSERT_TRUE(made) << error;
    EXPECT_EQ(made->Locked(), answer == 0);
    EXPECT_TRUE(fs::is_regular_file(folders.Prefs(name)));
    EXPECT_FALSE(LockedFile::Create(Item(folders.Prefs(name)), error));
    EXPECT_EQ(error, EEXIST);
    if (answer == 0) {
      const int other = open(folders.Prefs(name).c_str(), O_RDONLY);
      EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
      EXPECT_EQ(errno, EWOULDBLOCK);
      close(other);
    }
  }
  // A lock that another process holds on the new file: its name counts as
  // taken.
  filefixtures::LocksAnswer(EWOULDBLOCK);
  int32_t error = 0;
  EXPECT_FALSE(LockedFile::Create(Item(folders.Prefs("held")), error));
  EXPECT_EQ(error, EEXIST);
}

TEST_F(Files, OverwriteKeepsTheOldBytesUntilTheNewOnesAreAllInPlace) {
  const auto item = Item(folders.Prefs("f"));
  WriteFile(item->NativePath(), "old bytes");
  auto out = TextOutputStream::Overwrite(item);
  ASSERT_TRUE(out);
  out->Write("new");
  EXPECT_EQ(ReadFile(item->NativePath()), "old bytes");  // nothing before Close
  out->Close();
  EXPECT_EQ(out->LastErrorCode(), 0);
  EXPECT_EQ(ReadFile(item->NativePath()), "new");

  // A failed write puts nothing in place.
  SetFileStepHook([](FileStep s, const std::string&) { return s == FileStep::Write ? EIO : 0; });
  out = TextOutputStream::Overwrite(item);
  ASSERT_TRUE(out);
  out->Write("longer than before");
  out->Close();
  SetFileStepHook(nullptr);
  EXPECT_EQ(out->LastErrorCode(), EIO);
  EXPECT_EQ(ReadFile(item->NativePath()), "new");
  // A missing file is made; a folder is refused.
  out = TextOutputStream::Overwrite(Item(folders.Prefs("g")));
  ASSERT_TRUE(out);
  out->Write("g");
  out->Close();
  EXPECT_EQ(ReadFile(folders.Prefs("g")), "g");
  fs::create_directory(folders.Prefs("folder"));
  EXPECT_FALSE(TextOutputStream::Overwrite(Item(folders.Prefs("folder"))));
}

TEST_F(Files, MemoryBlockHoldsNumbersInHostOrderAndChecksBounds) {
  auto m = MemoryBlock::New(70);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Size(), 70);
  EXPECT_EQ(m->Int32Value(66), 0);
  m->Int16Value(0, -100);
  m->Int32Value(2, 123456789);
  m->PString(6, std::string(63, 'n'));
  EXPECT_EQ(m->Int16Value(0), -100);
  EXPECT_EQ(m->Int32Value(2), 123456789);
  int32_t raw;
  std::memcpy(&raw, m->Ptr() + 2, 4);
  EXPECT_EQ(raw, 123456789);
  EXPECT_EQ(m->Byte(6), 63);
  EXPECT_EQ(m->PString(6), std::string(63, 'n'));

  EXPECT_THROW(m->Int32Value(67, 1), OutOfBoundsException);
  EXPECT_THROW(m->Int16Value(-1), OutOfBoundsException);
  EXPECT_THROW(m->PString(6, std::string(64, 'n')), OutOfBoundsException);
  EXPECT_THROW(m->StringValue(60, 11), OutOfBoundsException);
  auto big = MemoryBlock::New(300);
  big->PString(0, std::string(300, 'p'));
  EXPECT_EQ(big->PString(0), std::string(255, 'p'));
  EXPECT_FALSE(MemoryBlock::New(-1));
  EXPECT_EQ(MemoryBlock::New(0)->Size(), 0);
}

TEST_F(Files, CodesAreKeptAsAttributesWithTheFile) {
  const std::string path = folders.Prefs("f");
  if (!filefixtures::FilesystemKeepsAttributes(folders.Prefs()))
    GTEST_SKIP() << "this filesystem keeps no user attributes";
  WriteFile(path, "0010");
  auto item = Item(path);
  item->MacType("PREF");
  item->MacCreator("VEZA");
  EXPECT_EQ(item->LastErrorCode(), 0);
  EXPECT_EQ(Attribute(path, "user.mac.type"), "PREF");
  EXPECT_EQ(Attribute(path, "user.mac.creator"), "VEZA");
  EXPECT_EQ(Item(path)->MacType(), "PREF");
  EXPECT_EQ(Item(path)->MacCreator(), "VEZA");
  // The codes travel with the file through a rename.
  auto moved = Item(path);
  ASSERT_TRUE(moved->MoveFileTo(Item(folders.Prefs("g"))));
  EXPECT_EQ(moved->NativePath(), folders.Prefs("g"));
  EXPECT_EQ(moved->MacCreator(), "VEZA");
}

TEST_F(Files, AFileWithoutCodesTakesThoseOfTheDeclaredTypeItsNameMatches) {
  WriteFile(folders.Prefs("Settings"), "0010");
  WriteFile(folders.Prefs("Settings_1"), "0010");
  WriteFile(folders.Prefs("notes.txt"), "");
  fs::create_directory(folders.Prefs("Folder"));
  EXPECT_EQ(Item(folders.Prefs("Settings"))->MacType(), "");

  auto prefs = New<FileType>();
  prefs->Name("PrefsData");
  prefs->Extensions("");
  prefs->MacType("PREF");
  prefs->MacCreator("VEZA");
  auto text = New<FileType>();
  text->Extensions("md; .TXT");
  text->MacType("TEXT");
  text->MacCreator("ttxt");

  struct Case {
    std::string name, type, creator;
  } cases[] = {
      {"Settings", "PREF", "VEZA"},  {"Settings_1", "PREF", "VEZA"},
      {"notes.txt", "TEXT", "ttxt"}, {"Folder", "", ""},
      {"missing", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Item(folders.Prefs(c.name))->MacType(), c.type) << c.name;
    EXPECT_EQ(Item(folders.Prefs(c.name))->MacCreator(), c.creator) << c.name;
  }

  if (filefixtures::FilesystemKeepsAttributes(folders.Prefs())) {
    // Codes of its own, even one of the two, make a file someone else's.
    auto foreign = Item(folders.Prefs("Settings"));
    foreign->MacCreator("ttxt");
    EXPECT_EQ(foreign->MacCreator(), "ttxt");
    EXPECT_EQ(foreign->MacType(), "");
  }
  // A type that is no longer declared no longer claims files.
  prefs = nullptr;
  EXPECT_EQ(Item(folders.Prefs("Settings_1"))->MacType(), "");
}

TEST_F(Files, ExtensionsMatchByTheLastDot) {
  FileType t;
  struct Case {
    std::string extensions, name;
    bool match;
  } cases[] = {
      {"", "Prefs", true},      {"", "Prefs_2", true},         {"", "a.b", false},      {"", ".hidden", true},
      {"txt", "a.txt", true},   {"txt", "a.TXT", true},        {".txt", "a.txt", true}, {"txt", "a", false},
      {"txt;md", "a.md", true}, {"txt;md", "a.md.bak", false}, {"txt", "txt", false},   {" ; ", "a", true},
  };
  for (const Case& c : cases) {
    t.Extensions(c.extensions);
    EXPECT_EQ(t.MatchesName(c.name), c.match) << '"' << c.extensions << "\" " << c.name;
  }
}

TEST_F(Files, TemporaryFolderIsTheSystemOneOnTheSameMount) {
  auto tmp = Item(folders.Prefs("Settings"))->TemporaryFolder();
  ASSERT_TRUE(tmp);
  EXPECT_EQ(tmp->NativePath(), fs::temp_directory_path().string());
  EXPECT_EQ(tmp->NativePath(), folders.Tmp());
  // An item whose folder is missing has none.
  EXPECT_FALSE(Item(folders.Prefs("no/Settings"))->TemporaryFolder());
}

TEST_F(Files, TemporaryFolderIsAHiddenOneBesideTheItemOtherwise) {
  // No usable system folder: the hidden folder is made, 0700.
  setenv("TMPDIR", folders.dir.File("no-such-folder").c_str(), 1);
  auto tmp = Item(folders.Prefs("Settings"))->TemporaryFolder();
  ASSERT_TRUE(tmp);
  EXPECT_EQ(tmp->NativePath(), folders.Prefs(".TemporaryItems"));
  EXPECT_TRUE(tmp->Directory());
  EXPECT_EQ(Mode(tmp->NativePath()), 0700u);
  EXPECT_EQ(Item(folders.Prefs("Other"))->TemporaryFolder()->NativePath(), tmp->NativePath());

  // A system folder on another mount is passed over as well.
  const std::string why = folders.Mount(folders.Tmp(), "tmpfs", "size=64k");
  if (why.empty()) {
    setenv("TMPDIR", folders.Tmp().c_str(), 1);
    EXPECT_EQ(Item(folders.Prefs("Settings"))->TemporaryFolder()->NativePath(), tmp->NativePath());
  }

  // What lies there and is no folder of ours is not used: a link (which
  // could lead anywhere), a file, another user's folder.
  fs::remove(folders.Prefs(".TemporaryItems"));
  fs::create_directory(folders.Prefs("elsewhere"));
  fs::create_directory_symlink(folders.Prefs("elsewhere"), folders.Prefs(".TemporaryItems"));
  EXPECT_FALSE(Item(folders.Prefs("Settings"))->TemporaryFolder());
  fs::remove(folders.Prefs(".TemporaryItems"));
  WriteFile(folders.Prefs(".TemporaryItems"), "");
  EXPECT_FALSE(Item(folders.Prefs("Settings"))->TemporaryFolder());
  if (geteuid() == 0) {
    fs::remove(folders.Prefs(".TemporaryItems"));
    fs::create_directory(folders.Prefs(".TemporaryItems"));
    ASSERT_EQ(chown(folders.Prefs(".TemporaryItems").c_str(), 12345, 12345), 0);
    EXPECT_FALSE(Item(folders.Prefs("Settings"))->TemporaryFolder());
  }
  if (!why.empty()) GTEST_SKIP() << "another mount for the system folder: " << why;
}

TEST_F(Files, ResolvedFollowsLinksToTheEnd) {
  WriteFile(folders.Prefs("target"), "x");
  fs::create_directory(folders.Prefs("sub"));
  symlink("target", folders.Prefs("rel").c_str());
  symlink(folders.Prefs("rel").c_str(), folders.Prefs("abs").c_str());
  symlink("../abs", folders.Prefs("sub/up").c_str());
  symlink("nowhere", folders.Prefs("dangling").c_str());
  symlink("loop2", folders.Prefs("loop1").c_str());
  symlink("loop1", folders.Prefs("loop2").c_str());

  for (const std::string name : {"target", "rel", "abs", "sub/up"})
    EXPECT_TRUE(fs::equivalent(Item(folders.Prefs(name))->Resolved()->NativePath(), folders.Prefs("target")))
        << name;
  EXPECT_EQ(Item(folders.Prefs("dangling"))->Resolved()->NativePath(), folders.Prefs("nowhere"));
  EXPECT_EQ(Item(folders.Prefs("missing"))->Resolved()->NativePath(), folders.Prefs("missing"));
  EXPECT_FALSE(Item(folders.Prefs("loop1"))->Resolved());
}

TEST_F(Files, DeleteAndMoveFileTo) {
  WriteFile(folders.Prefs("a"), "new");
  WriteFile(folders.Prefs("b"), "old");
  symlink("b", folders.Prefs("link").c_str());
  fs::create_directories(folders.Prefs("full/x"));

  // Deleting a link leaves what it points to.
  EXPECT_TRUE(Item(folders.Prefs("link"))->Delete());
  EXPECT_EQ(ReadFile(folders.Prefs("b")), "old");
  auto full = Item(folders.Prefs("full"));
  EXPECT_FALSE(full->Delete());
  EXPECT_EQ(full->LastErrorCode(), ENOTEMPTY);
  EXPECT_TRUE(Item(folders.Prefs("full/x"))->Delete());
  EXPECT_TRUE(full->Delete());
  auto missing = Item(folders.Prefs("missing"));
  EXPECT_FALSE(missing->Delete());
  EXPECT_EQ(missing->LastErrorCode(), ENOENT);

  // Moving over an existing file replaces it.
  auto a = Item(folders.Prefs("a"));
  EXPECT_TRUE(a->MoveFileTo(Item(folders.Prefs("b"))));
  EXPECT_EQ(a->LastErrorCode(), 0);
  EXPECT_EQ(ReadFile(folders.Prefs("b")), "new");
  EXPECT_FALSE(fs::exists(folders.Prefs("a")));
  EXPECT_FALSE(a->MoveFileTo(Item(folders.Prefs("no/b"))));
  EXPECT_EQ(a->LastErrorCode(), ENOENT);
  EXPECT_EQ(a->NativePath(), folders.Prefs("b"));
  EXPECT_FALSE(a->MoveFileTo(nullptr));

  // The file reaches the disk before its new name, the folder after.
  std::vector<std::pair<FileStep, std::string>> steps;
  SetFileStepHook([&](FileStep s, const std::string& p) {
    steps.emplace_back(s, p);
    return 0;
  });
  EXPECT_TRUE(a->MoveFileTo(Item(folders.Prefs("c"))));
  const std::vector<std::pair<FileStep, std::string>> expected = {{FileStep::Sync, folders.Prefs("b")},
                                                                  {FileStep::Rename, folders.Prefs("b")},
                                                                  {FileStep::SyncFolder, folders.Prefs()}};
  EXPECT_EQ(steps, expected);
}

TEST_F(Files, CopyAccessFromGivesModeOwnerAndGroup) {
  WriteFile(folders.Prefs("stored"), "old");
  WriteFile(folders.Prefs("new"), "new");
  chmod(folders.Prefs("stored").c_str(), 0604);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(folders.Prefs("stored").c_str(), 12345, 23456), 0);
  }
  auto shadow = Item(folders.Prefs("new"));
  EXPECT_TRUE(shadow->CopyAccessFrom(Item(folders.Prefs("stored"))));
  EXPECT_EQ(Mode(folders.Prefs("new")), 0604u);
  struct stat st {};
  stat(folders.Prefs("new").c_str(), &st);
  if (geteuid() == 0) {
    EXPECT_EQ(st.st_uid, 12345u);
    EXPECT_EQ(st.st_gid, 23456u);
  } else {
    EXPECT_EQ(st.st_uid, geteuid());
  }
  EXPECT_FALSE(shadow->CopyAccessFrom(Item(folders.Prefs("missing"))));
  EXPECT_FALSE(Item(folders.Prefs("missing"))->CopyAccessFrom(Item(folders.Prefs("stored"))));
}

TEST_F(Files, VolumeAndFolderNumbersAreStableForTheRun) {
  fs::create_directory(folders.Prefs("sub"));
  auto a = Item(folders.Prefs("a"));
  auto b = Item(folders.Prefs("b"));
  auto c = Item(folders.Prefs("sub/c"));
  EXPECT_LT(a->MacVRefNum(), 0);
  EXPECT_EQ(a->MacVRefNum(), c->MacVRefNum());
  EXPECT_GT(a->MacDirID(), 0);
  EXPECT_EQ(a->MacDirID(), b->MacDirID());
  EXPECT_NE(a->MacDirID(), c->MacDirID());
  EXPECT_EQ(c->MacDirID(), Item(folders.Prefs("sub/d"))->MacDirID());
  EXPECT_EQ(a->MacDirID(), a->MacDirID());
  EXPECT_EQ(Item(folders.Prefs("no/such"))->MacDirID(), 0);
  EXPECT_EQ(Item(folders.Prefs("no/such"))->MacVRefNum(), 0);
  // Another filesystem is another volume.
  const std::string why = folders.Mount(folders.dir.File("other"), "tmpfs", "size=64k");
  if (why.empty()) {
    EXPECT_NE(Item(folders.dir.File("other/x"))->MacVRefNum(), a->MacVRefNum());
  }
}

TEST_F(Files, ExchangeSwapsContentsAndAttributes) {
  WriteFile(folders.Prefs("base"), "old");
  WriteFile(folders.Tmp("shadow"), "new");
  const bool attributes = filefixtures::FilesystemKeepsAttributes(folders.Prefs());
  if (attributes) Item(folders.Tmp("shadow"))->MacType("PREF");
  auto base = Item(folders.Prefs("base"));
  auto shadow = Item(folders.Tmp("shadow"));

  std::vector<FileStep> steps;
  SetFileStepHook([&](FileStep s, const std::string&) {
    steps.push_back(s);
    return 0;
  });
  ASSERT_EQ(Exchange(base, shadow), 0);
  EXPECT_EQ(ReadFile(folders.Prefs("base")), "new");
  EXPECT_EQ(ReadFile(folders.Tmp("shadow")), "old");
  if (attributes) {
    EXPECT_EQ(Attribute(folders.Prefs("base"), "user.mac.type"), "PREF");
    EXPECT_EQ(Attribute(folders.Tmp("shadow"), "user.mac.type"), std::nullopt);
  }
  // Both files reach the disk before the exchange, both folders after.
  const std::vector<FileStep> expected = {FileStep::Exchange, FileStep::Sync, FileStep::Sync, FileStep::SyncFolder,
                                          FileStep::SyncFolder};
  EXPECT_EQ(steps, expected);
}

TEST_F(Files, ExchangeResolvesJapaneseAndLongNames) {
  const std::string japanese = "Pandrisk\xE3\x81\xAE\xE8\xA8\xAD\xE5\xAE\x9A";
  // 70 bytes of UTF-8, whose record keeps 63 bytes of MacJapanese.
  const std::string longName = std::string(40, 'L') + "\xE3\x81\xAE\xE3\x81\xAE\xE3\x81\xAE" +
                               std::string(21, 'T');
  WriteFile(folders.Prefs(japanese), "old");
  WriteFile(folders.Prefs(longName), "long");
  WriteFile(folders.Tmp(japanese + "000001"), "new");
  EXPECT_EQ(Exchange(Item(folders.Prefs(japanese)), Item(folders.Tmp(japanese + "000001"))), 0);
  EXPECT_EQ(ReadFile(folders.Prefs(japanese)), "new");
  EXPECT_EQ(Exchange(Item(folders.Prefs(longName)), Item(folders.Prefs(japanese))), 0);
  EXPECT_EQ(ReadFile(folders.Prefs(longName)), "new");
}

TEST_F(Files, ExchangeRefusesRecordsThatNameNoSingleFile) {
  WriteFile(folders.Prefs("base"), "old");
  WriteFile(folders.Tmp("shadow"), "new");
  fs::create_directory(folders.Prefs("folder"));
  // Two names that give one record: the cut and the "?" leave it open
  // which file is meant.
  const std::string cut(63, 'c');
  WriteFile(folders.Prefs(cut), "1");
  WriteFile(folders.Prefs(cut + "x"), "2");
  WriteFile(folders.Prefs("a?"), "3");
  WriteFile(folders.Prefs("a\xF0\x9F\x98\x80"), "4");
  auto base = Item(folders.Prefs("base"));
  auto shadow = Item(folders.Tmp("shadow"));

  EXPECT_EQ(Exchange(base, Item(folders.Tmp("missing"))), ENOENT);
  EXPECT_EQ(Exchange(Item(folders.Prefs(cut)), shadow), ENOENT);
  EXPECT_EQ(Exchange(Item(folders.Prefs("a?")), shadow), ENOENT);
  EXPECT_EQ(Exchange(base, Item(folders.Prefs("folder"))), EINVAL);
  EXPECT_EQ(Exchange(base, base), EINVAL);

  auto unknown = Record(base);
  unknown->Int32Value(2, 999999);
  EXPECT_EQ(ExchangeFiles(unknown->Ptr(), Record(shadow)->Ptr()), ENOENT);
  auto unnamed = Record(base);
  unnamed->Byte(6, 0);
  EXPECT_EQ(ExchangeFiles(unnamed->Ptr(), Record(shadow)->Ptr()), EINVAL);
  auto tooLong = Record(base);
  tooLong->Byte(6, 64);
  EXPECT_EQ(ExchangeFiles(tooLong->Ptr(), Record(shadow)->Ptr()), EINVAL);
  EXPECT_EQ(ExchangeFiles(nullptr, Record(shadow)->Ptr()), EINVAL);

  // A folder that was replaced since its number was handed out is no
  // longer the folder of that number.
  auto stale = Record(shadow);
  fs::rename(folders.Tmp(), folders.dir.File("tmp-old"));
  fs::create_directory(folders.Tmp());
  WriteFile(folders.Tmp("shadow"), "other");
  EXPECT_EQ(ExchangeFiles(Record(base)->Ptr(), stale->Ptr()), ENOENT);

  SetFileStepHook([](FileStep s, const std::string&) { return s == FileStep::Exchange ? EIO : 0; });
  EXPECT_EQ(Exchange(base, shadow), EIO);
  EXPECT_EQ(ReadFile(folders.Prefs("base")), "old");
  EXPECT_EQ(ReadFile(folders.Tmp("shadow")), "other");
}

TEST_F(Files, ExchangeRefusesFilesOnDifferentMounts) {
  const std::string why = folders.Mount(folders.dir.File("other"), "tmpfs", "size=64k");
  if (!why.empty()) GTEST_SKIP() << why;
  WriteFile(folders.Prefs("base"), "old");
  WriteFile(folders.dir.File("other/shadow"), "new");
  EXPECT_EQ(Exchange(Item(folders.Prefs("base")), Item(folders.dir.File("other/shadow"))), EXDEV);
  EXPECT_EQ(ReadFile(folders.Prefs("base")), "old");
}

}  // namespace
