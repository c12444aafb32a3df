#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "framework/Graphics.h"
#include "tests/support/TestSupport.h"

using namespace fw;

TEST(Picture, NewGivesWhitePictureOrNil) {
  auto p = Picture::New(20, 10, 32);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Width(), 20);
  EXPECT_EQ(p->Height(), 10);
  EXPECT_EQ(p->Graphics()->Pixel(5, 5), RGB(255, 255, 255));
  EXPECT_FALSE(Picture::New(0, 10, 32));
  EXPECT_FALSE(Picture::New(10, 10, 12));
  EXPECT_FALSE(Picture::New(100000, 10, 32));
}

namespace {
// What `code` writes to the standard error stream (file descriptor 2, where
// the image decoder writes its complaints).
std::string StandardErrorOf(const std::function<void()>& code) {
  testsupport::TempDir dir;
  const std::string path = dir.File("stderr");
  std::fflush(stderr);
  const int saved = dup(2);
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(file, 2);
  close(file);
  code();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  return testsupport::ReadFile(path);
}
}  // namespace

TEST(Picture, LoadsThroughAPathThatIsNotUtf8) {
  testsupport::TempDir dir;
  const std::string folder = dir.File("caf\xE9");  // Latin-1
  std::filesystem::create_directory(folder);
  std::filesystem::copy_file(testsupport::SourceResourcesDir() + "/IconPict.png", folder + "/IconPict.png");
  auto p = LoadPicture(folder + "/IconPict.png");
  ASSERT_TRUE(p);
  EXPECT_GT(p->Width(), 0);
}

TEST(Picture, ABrokenFileIsDecodedOnceUntilItChanges) {
  testsupport::TempDir dir;
  const std::string good = testsupport::ReadFile(testsupport::SourceResourcesDir() + "/BackPict.png");
  const std::string path = dir.File("BackPict.png");
  testsupport::WriteFile(path, good.substr(0, good.size() / 2));
  const std::string first = StandardErrorOf([&] { EXPECT_FALSE(LoadPicture(path)); });
  EXPECT_NE(first, "") << "the decoder says nothing of a cut file: the test shows nothing";
  const std::string later = StandardErrorOf([&] {
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(LoadPicture(path));
  });
  EXPECT_EQ(later, "");
  // Other broken bytes are decoded (and reported) again; mended ones load.
  testsupport::WriteFile(path, good.substr(0, good.size() / 3));
  EXPECT_NE(StandardErrorOf([&] { EXPECT_FALSE(LoadPicture(path)); }), "");
  testsupport::WriteFile(path, good);
  EXPECT_TRUE(LoadPicture(path));
}
