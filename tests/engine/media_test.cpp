#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/App.h"
#include "engine/Media.h"
#include "framework/Application.h"
#include "tests/engine/Fixtures.h"

using fixtures::ResourcesFolder;

namespace {

struct PictureAccessor {
  const char* file;
  std::function<fw::Ref<fw::Picture>()> get;
};
struct SoundAccessor {
  const char* file;
  std::function<fw::Ref<fw::Sound>()> get;
};

const std::vector<PictureAccessor>& Pictures() {
  static const std::vector<PictureAccessor> all = {
      {"IconPict.png", IconPict},
      {"DrevakonPict.png", DrevakonPict},
      {"TargetSystemPict.png", TargetSystemPict},
      {"BackPict.png", BackPict},
      {"ButtonPictN.png", ButtonPictN},
      {"ButtonPictR.png", ButtonPictR},
      {"ButtonPictD.png", ButtonPictD},
      {"ButtonPictM.png", ButtonPictM},
      {"PushPict.png", PushPict},
      {"StartBtnPictN.png", StartBtnPictN},
      {"StartBtnPictR.png", StartBtnPictR},
      {"ResetBtnPictN.png", ResetBtnPictN},
      {"ResetBtnPictR.png", ResetBtnPictR},
      {"Tile0Pict.png", Tile0Pict},
      {"Tile1Pict.png", Tile1Pict},
      {"Tile2Pict.png", Tile2Pict},
      {"CompletePict.png", CompletePict},
      {"Tile3Pict.png", Tile3Pict},
  };
  return all;
}

const std::vector<SoundAccessor>& Sounds() {
  static const std::vector<SoundAccessor> all = {
      {"SilenceSnd.wav", SilenceSnd}, {"SoundVolSnd.wav", SoundVolSnd}, {"PushSnd.wav", PushSnd},
      {"BlockSnd.wav", BlockSnd},     {"CompleteSnd.wav", CompleteSnd},
  };
  return all;
}

size_t Frames(const fw::Ref<fw::Sound>& s) { return s->Data()->samples.size() / s->Data()->channels; }

}  // namespace

// Each accessor reads the file named after it, and keeps what it read.
TEST(Media, EveryAccessorLoadsItsOwnFileOnceAndSharesIt) {
  ResourcesFolder res;
  for (size_t i = 0; i < Pictures().size(); ++i)
    res.Write(Pictures()[i].file, fixtures::SolidPng(static_cast<int>(i) + 1, 3, fw::RGB(10, 20, 30)));
  for (size_t i = 0; i < Sounds().size(); ++i)
    res.Write(Sounds()[i].file, fixtures::MakeWav(100 * (static_cast<int>(i) + 1)));

  for (size_t i = 0; i < Pictures().size(); ++i) {
    SCOPED_TRACE(Pictures()[i].file);
    auto p = Pictures()[i].get();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Width(), static_cast<int32_t>(i) + 1);
    EXPECT_EQ(Pictures()[i].get().get(), p.get());
  }
  for (size_t i = 0; i < Sounds().size(); ++i) {
    SCOPED_TRACE(Sounds()[i].file);
    auto s = Sounds()[i].get();
    ASSERT_TRUE(s);
    EXPECT_EQ(Frames(s), 100 * (i + 1));
    EXPECT_EQ(Sounds()[i].get().get(), s.get());
  }

  // Once loaded, nothing is read again: the files may go.
  for (const auto& p : Pictures()) res.Remove(p.file);
  for (const auto& s : Sounds()) res.Remove(s.file);
  for (const auto& p : Pictures()) EXPECT_TRUE(p.get()) << p.file;
  for (const auto& s : Sounds()) EXPECT_TRUE(s.get()) << s.file;
}

TEST(Media, MissingSoundStaysMissingButMissingPictureLoadsOnceAdded) {
  ResourcesFolder res;
  EXPECT_FALSE(PushSnd());
  EXPECT_FALSE(BackPict());

  res.Write("PushSnd.wav", fixtures::MakeWav(200));
  res.Write("BackPict.png", fixtures::SolidPng(236, 216, fw::RGB(1, 2, 3)));
  EXPECT_FALSE(PushSnd());
  auto back = BackPict();
  ASSERT_TRUE(back);
  EXPECT_EQ(back->Width(), 236);
  EXPECT_EQ(back->Graphics()->Pixel(100, 100), fw::RGB(1, 2, 3));

  // A sound that loaded on its first call is unaffected by the other's fate.
  res.Write("BlockSnd.wav", fixtures::MakeWav(200));
  EXPECT_TRUE(BlockSnd());
}

TEST(Media, MissingResourcesFolderGivesNilAndAPictureIsFoundLater) {
  testsupport::TempDir dir;
  const std::string folder = dir.File("resources");
  fw::SetResourcesFolder(folder);  // does not exist yet
  EXPECT_FALSE(SilenceSnd());
  EXPECT_FALSE(IconPict());

  std::filesystem::create_directory(folder);
  testsupport::WriteFile(folder + "/IconPict.png", fixtures::SolidPng(32, 32, fw::RGB(0, 0, 255)));
  testsupport::WriteFile(folder + "/SilenceSnd.wav", fixtures::MakeWav(100));
  EXPECT_TRUE(IconPict());
  EXPECT_FALSE(SilenceSnd());
  fw::SetResourcesFolder("");
}

TEST(Media, DamagedFilesGiveNilWithoutHarm) {
  ResourcesFolder res;
  const std::string png = fixtures::SolidPng(64, 64, fw::RGB(9, 9, 9));
  const std::string wav = fixtures::MakeWav(1000);
  res.Write("BackPict.png", "");                                     // zero bytes
  res.Write("IconPict.png", "this is plain text, not a picture");    // not a PNG
  res.Write("PushPict.png", png.substr(0, 20));                      // cut inside the header
  res.Write("PushSnd.wav", "");                                      // zero bytes
  res.Write("BlockSnd.wav", wav.substr(0, 30));                      // cut inside the header
  res.Write("CompleteSnd.wav", png);                                 // a picture, not a sound
  std::filesystem::create_directory(res.path() + "/Tile0Pict.png");  // a folder of that name
  std::filesystem::create_directory(res.path() + "/SoundVolSnd.wav");

  EXPECT_FALSE(BackPict());
  EXPECT_FALSE(IconPict());
  EXPECT_FALSE(PushPict());
  EXPECT_FALSE(Tile0Pict());
  EXPECT_FALSE(PushSnd());
  EXPECT_FALSE(BlockSnd());
  EXPECT_FALSE(CompleteSnd());
  EXPECT_FALSE(SoundVolSnd());

  // Mended pictures load on the next call.
  res.Write("BackPict.png", png);
  EXPECT_TRUE(BackPict());
}

TEST(Media, ButtonCursorIsTriedUntilFoundAndThenKept) {
  ResourcesFolder res;
  auto appl = fw::New<Appl>();
  fw::RuntimeRegisterAppObject(appl);

  EXPECT_FALSE(ButtonCursor());  // no resource file
  EXPECT_FALSE(ButtonCursor());
  res.Write("Application.rsrc", fixtures::MakeResourceFile(168));
  auto cursor = ButtonCursor();
  ASSERT_TRUE(cursor);
  res.Remove("Application.rsrc");
  EXPECT_EQ(ButtonCursor().get(), cursor.get());

  ReleaseMediaCaches();
  fw::RuntimeRegisterAppObject(nullptr);
}

TEST(Media, ButtonCursorIsNilWhenTheResourceFileLacksCursor168) {
  ResourcesFolder res;
  auto appl = fw::New<Appl>();
  fw::RuntimeRegisterAppObject(appl);
  res.Write("Application.rsrc", fixtures::MakeResourceFile(200));
  EXPECT_FALSE(ButtonCursor());
  EXPECT_FALSE(ButtonCursor());
  fw::RuntimeRegisterAppObject(nullptr);
}

TEST(Media, ReleaseLetsGoOfSoundsAndCursorButKeepsPictures) {
  ResourcesFolder res;
  auto appl = fw::New<Appl>();
  fw::RuntimeRegisterAppObject(appl);
  for (const auto& s : Sounds()) res.Write(s.file, fixtures::MakeWav(100));
  res.Write("Application.rsrc", fixtures::MakeResourceFile(168));
  res.Write("Tile1Pict.png", fixtures::SolidPng(192, 192, fw::RGB(0, 255, 0)));

  std::vector<std::weak_ptr<fw::Sound>> sounds;
  for (const auto& s : Sounds()) sounds.push_back(s.get());
  std::weak_ptr<fw::MouseCursor> cursor = ButtonCursor();
  std::weak_ptr<fw::Picture> tile = Tile1Pict();
  ASSERT_FALSE(cursor.expired());
  ASSERT_FALSE(tile.expired());

  ReleaseMediaCaches();
  for (size_t i = 0; i < sounds.size(); ++i) EXPECT_TRUE(sounds[i].expired()) << Sounds()[i].file;
  EXPECT_TRUE(cursor.expired());
  EXPECT_FALSE(tile.expired());
  // A released sound is not read again.
  EXPECT_FALSE(PushSnd());
  fw::RuntimeRegisterAppObject(nullptr);
}
