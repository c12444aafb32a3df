// The reader of the application's resource file: entries by type and number,
// cursors, and damaged files that must give nothing rather than a crash.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/FolderItem.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string Be16(uint16_t v) { return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }
std::string Be32(uint32_t v) { return Be16(static_cast<uint16_t>(v >> 16)) + Be16(static_cast<uint16_t>(v)); }

struct Entry {
  std::string type;
  int16_t id;
  std::string data;
};

std::string Entries(const std::vector<Entry>& entries) {
  std::string out;
  for (const Entry& e : entries) out += e.type + Be16(static_cast<uint16_t>(e.id)) + Be32(e.data.size()) + e.data;
  return out;
}

std::string File(const std::vector<Entry>& entries) {
  return "RSRC" + Be16(1) + Be16(static_cast<uint16_t>(entries.size())) + Entries(entries);
}

// A 16 x 16 cursor: a black square with a white middle in the top-left
// quarter, transparent elsewhere; hot spot at row 3, column 5.
std::string SquareCursor(int16_t row = 3, int16_t column = 5) {
  std::string out;
  for (int y = 0; y < 16; ++y) out += Be16(y < 8 ? (y == 0 || y == 7 ? 0xFF00 : 0x8100) : 0);
  for (int y = 0; y < 16; ++y) out += Be16(y < 8 ? 0xFF00 : 0);
  return out + Be16(static_cast<uint16_t>(row)) + Be16(static_cast<uint16_t>(column));
}

TEST(ResourceFork, FindsEachEntryByTypeAndNumber) {
  const fw::ResourceFork fork(File({{"CURS", 168, SquareCursor()},
                                    {"TEXT", 168, "hello"},
                                    {"TEXT", -2, ""},
                                    {"TEXT", 7, std::string("a\0b", 3)}}));
  ASSERT_TRUE(fork.Valid());
  EXPECT_EQ(fork.Resource("TEXT", 168), "hello");
  EXPECT_EQ(fork.Resource("TEXT", 7), std::string("a\0b", 3));
  EXPECT_EQ(fork.Resource("CURS", 168), SquareCursor());
  EXPECT_EQ(fork.Resource("TEXT", -2), "");
  EXPECT_EQ(fork.Resource("TEXT", 169), "");
  EXPECT_EQ(fork.Resource("CURS", 7), "");
  EXPECT_EQ(fork.Resource("curs", 168), "");
  EXPECT_EQ(fork.Resource("CUR", 168), "");
}

TEST(ResourceFork, AFileWithoutEntriesIsValidAndEmpty) {
  const fw::ResourceFork fork(File({}));
  EXPECT_TRUE(fork.Valid());
  EXPECT_EQ(fork.Resource("CURS", 168), "");
  EXPECT_FALSE(fork.GetCursor(168));
}

TEST(ResourceFork, GetCursorBuildsACursorFromA68ByteResource) {
  const fw::ResourceFork fork(File({{"CURS", 168, SquareCursor()},
                                    {"CURS", 1, SquareCursor().substr(0, 67)},
                                    {"CURS", 2, SquareCursor() + "x"},
                                    {"CURS", 3, ""},
                                    {"TEXT", 4, SquareCursor()},
                                    {"CURS", 5, SquareCursor(-1, 40)}}));
  ASSERT_TRUE(fork.Valid());
  EXPECT_TRUE(fork.GetCursor(168));
  EXPECT_FALSE(fork.GetCursor(1)) << "67 bytes";
  EXPECT_FALSE(fork.GetCursor(2)) << "69 bytes";
  EXPECT_FALSE(fork.GetCursor(3)) << "empty";
  EXPECT_FALSE(fork.GetCursor(4)) << "another type";
  EXPECT_FALSE(fork.GetCursor(6)) << "missing";
  // A hot spot outside the square is brought inside it, not refused.
  EXPECT_TRUE(fork.GetCursor(5));
}

TEST(ResourceFork, DamagedFilesAreInvalidAndGiveNothing) {
  const std::string good = File({{"CURS", 168, SquareCursor()}});
  const std::string header = "RSRC" + Be16(1);
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"empty", ""},
      {"another signature", "RSRX" + good.substr(4)},
      {"another version", "RSRC" + Be16(2) + good.substr(6)},
      {"version 0", "RSRC" + Be16(0) + good.substr(6)},
      {"header cut short", header + std::string(1, '\0')},
      {"count without its entry", header + Be16(1)},
      {"more entries counted than present", header + Be16(2) + Entries({{"CURS", 168, SquareCursor()}})},
      {"count far beyond the file", header + Be16(0xFFFF) + Entries({{"CURS", 168, SquareCursor()}})},
      {"length beyond the end", header + Be16(1) + "CURS" + Be16(168) + Be32(69) + SquareCursor()},
      {"length near 4 GiB", header + Be16(1) + "CURS" + Be16(168) + Be32(0xFFFFFFFF) + SquareCursor()},
      {"bytes after the last entry", good + "junk"},
      {"fewer entries counted than present",
       header + Be16(1) + Entries({{"CURS", 168, SquareCursor()}, {"TEXT", 1, "x"}})},
      {"the same type and number twice", File({{"CURS", 168, SquareCursor()}, {"CURS", 168, SquareCursor()}})},
  };
  for (const Case& c : cases) {
    const fw::ResourceFork fork(c.bytes);
    EXPECT_FALSE(fork.Valid()) << c.what;
    EXPECT_EQ(fork.Resource("CURS", 168), "") << c.what;
    EXPECT_FALSE(fork.GetCursor(168)) << c.what;
  }
}

TEST(ResourceFork, EveryTruncationOfAGoodFileIsInvalid) {
  const std::string good = File({{"TEXT", 1, "abc"}, {"CURS", 168, SquareCursor()}});
  ASSERT_TRUE(fw::ResourceFork(good).Valid());
  for (size_t n = 0; n < good.size(); ++n) {
    const fw::ResourceFork fork(good.substr(0, n));
    EXPECT_FALSE(fork.Valid()) << n << " bytes";
    EXPECT_FALSE(fork.GetCursor(168)) << n << " bytes";
  }
}

TEST(ResourceFork, TheApplicationReadsItsFileFromTheResourcesFolderOnceItIsSound) {
  testsupport::TempDir dir;
  fw::SetResourcesFolder(dir.path());
  auto app = fw::New<fw::Application>();
  EXPECT_FALSE(app->ResourceFork()) << "no file";

  const std::string good = File({{"CURS", 168, SquareCursor()}});
  testsupport::WriteFile(dir.File("Application.rsrc"), good.substr(0, 20));
  EXPECT_FALSE(app->ResourceFork()) << "damaged file";

  testsupport::WriteFile(dir.File("Application.rsrc"), good);
  auto fork = app->ResourceFork();
  ASSERT_TRUE(fork);
  EXPECT_TRUE(fork->GetCursor(168));
  EXPECT_EQ(app->ResourceFork(), fork) << "read once and kept";
  fw::SetResourcesFolder("");
}

TEST(ResourceFork, TheApplicationTakesOnlyARegularFileOfBoundedSize) {
  testsupport::TempDir dir;
  fw::SetResourcesFolder(dir.path());
  const std::string path = dir.File("Application.rsrc");
  const std::string good = File({{"CURS", 168, SquareCursor()}});
  // Each would block the open, read without end or read far too much.
  const std::vector<std::pair<const char*, std::function<void()>>> cases = {
      {"a FIFO", [&] { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); }},
      {"a link to /dev/zero", [&] { fs::create_symlink("/dev/zero", path); }},
      {"a folder", [&] { fs::create_directory(path); }},
      {"a well-formed file above 16 MiB",
       [&] {
         testsupport::WriteFile(path, File({{"TEXT", 1, std::string((16 << 20) + 1, 'x')}}));
       }},
  };
  for (const auto& [what, make] : cases) {
    fs::remove_all(path);
    make();
    auto app = fw::New<fw::Application>();
    EXPECT_FALSE(app->ResourceFork()) << what;
  }
  fs::remove_all(path);
  fs::create_symlink(dir.File("real.rsrc"), path);
  testsupport::WriteFile(dir.File("real.rsrc"), good);
  auto app = fw::New<fw::Application>();
  ASSERT_TRUE(app->ResourceFork()) << "a link to a regular file";
  EXPECT_TRUE(app->ResourceFork()->GetCursor(168));
  fw::SetResourcesFolder("");
}

}  // namespace
