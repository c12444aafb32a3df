// The data files in the source tree's resources folder: each loads through
// the framework and has the size and layout that the drawing code relies on;
// the sounds are sound 16-bit PCM; the cursor reads back from the resource
// file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Graphics.h"
#include "tests/support/TestSupport.h"

namespace {

std::string ResourcePath(const std::string& name) { return testsupport::SourceResourcesDir() + "/" + name; }

fw::Ref<fw::Picture> Load(const std::string& name) { return fw::LoadPicture(ResourcePath(name + ".png")); }

// Sum of the channel differences of two colours, 0..765.
int Distance(fw::Color a, fw::Color b) {
  return std::abs(a.Red() - b.Red()) + std::abs(a.Green() - b.Green()) + std::abs(a.Blue() - b.Blue());
}

// How many pixels of the w x h areas at (ax, ay) of a and (bx, by) of b
// differ visibly.
int DifferingPixels(const fw::Ref<fw::Picture>& a, int ax, int ay, const fw::Ref<fw::Picture>& b, int bx, int by,
                    int w, int h) {
  int n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (Distance(a->Graphics()->Pixel(ax + x, ay + y), b->Graphics()->Pixel(bx + x, by + y)) > 24) ++n;
  return n;
}

// ---------------------------------------------------------------------------
// Pictures

struct PictureSize {
  const char* name;
  int width, height;
};

// Every picture the game reads, at the size of the place that shows it.
const PictureSize kPictures[] = {
    {"IconPict", 32, 32},      {"DrevakonPict", 32, 32},  {"TargetSystemPict", 16, 40}, {"BackPict", 236, 216},
    {"ButtonPictN", 32, 64},   {"ButtonPictR", 32, 64},   {"ButtonPictD", 32, 64},      {"ButtonPictM", 32, 64},
    {"PushPict", 16, 64},      {"StartBtnPictN", 40, 15}, {"StartBtnPictR", 40, 15},    {"ResetBtnPictN", 40, 15},
    {"ResetBtnPictR", 40, 15}, {"Tile0Pict", 192, 192},   {"Tile1Pict", 192, 192},      {"Tile2Pict", 192, 192},
    {"CompletePict", 30, 15},  {"Tile3Pict", 192, 192},
};

TEST(ResourcePictures, EachLoadsAtTheSizeTheWindowNeeds) {
  for (const PictureSize& p : kPictures) {
    auto pic = Load(p.name);
    ASSERT_TRUE(pic) << p.name << ".png does not load";
    EXPECT_EQ(pic->Width(), p.width) << p.name;
    EXPECT_EQ(pic->Height(), p.height) << p.name;
  }
}

TEST(ResourcePictures, NineTilesOfEverySheetDifferFromEachOther) {
  for (const char* name : {"Tile0Pict", "Tile1Pict", "Tile2Pict", "Tile3Pict"}) {
    auto sheet = Load(name);
    ASSERT_TRUE(sheet) << name;
    for (int a = 0; a < 9; ++a) {
      for (int b = a + 1; b < 9; ++b) {
        const int n = DifferingPixels(sheet, 64 * (a % 3), 64 * (a / 3), sheet, 64 * (b % 3), 64 * (b / 3), 64,
                                      64);
        // At least a twentieth of a tile must tell the two apart.
        EXPECT_GT(n, 64 * 64 / 20) << name << ": tiles " << a << " and " << b << " look alike";
      }
    }
  }
}

// Mean difference along a line of 64 pixels: column or row `at` of cell
// `a` against column or row `bt` of cell `b`.
double LineDistance(const fw::Ref<fw::Picture>& sheet, int a, int b, bool columns, int at, int bt) {
  double sum = 0;
  for (int i = 0; i < 64; ++i) {
    const int ax = 64 * (a % 3) + (columns ? at : i), ay = 64 * (a / 3) + (columns ? i : at);
    const int bx = 64 * (b % 3) + (columns ? bt : i), by = 64 * (b / 3) + (columns ? i : bt);
    sum += Distance(sheet->Graphics()->Pixel(ax, ay), sheet->Graphics()->Pixel(bx, by));
  }
  return sum / 64;
}

TEST(ResourcePictures, TheSheetsJoinUpAcrossNeighbouringTiles) {
  // Just inside the light and dark edge of each tile, the picture on both
  // sides of a joint matches far better than it does against other tiles.
  for (const char* name : {"Tile0Pict", "Tile1Pict", "Tile2Pict", "Tile3Pict"}) {
    auto sheet = Load(name);
    ASSERT_TRUE(sheet) << name;
    double joints = 0, others = 0;
    int nJoints = 0, nOthers = 0;
    for (int a = 0; a < 9; ++a) {
      for (int b = 0; b < 9; ++b) {
        if (a == b) continue;
        const bool right = (b == a + 1 && a % 3 != 2), below = (b == a + 3);
        for (bool columns : {true, false}) {
          const double d = LineDistance(sheet, a, b, columns, 62, 1);
          if ((columns && right) || (!columns && below)) {
            joints += d;
            ++nJoints;
          } else {
            others += d;
            ++nOthers;
          }
        }
      }
    }
    ASSERT_EQ(nJoints, 12);
    EXPECT_LT(joints / nJoints, 0.5 * (others / nOthers)) << name;
  }
}

TEST(ResourcePictures, RowButtonMaskIsTwoLevelledWithALiveKeyAndMatchesTheButtons) {
  auto mask = Load("ButtonPictM");
  auto back = Load("BackPict");
  ASSERT_TRUE(mask && back);
  int black = 0, white = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 32; ++x) {
      const fw::Color c = mask->Graphics()->Pixel(x, y);
      ASSERT_TRUE(c == fw::RGB(0, 0, 0) || c == fw::RGB(255, 255, 255)) << "grey mask pixel at " << x << "," << y;
      (c == fw::RGB(0, 0, 0) ? black : white)++;
    }
  }
  EXPECT_GT(black, 32 * 64 * 3 / 4) << "the live area covers the key";
  EXPECT_GT(white, 0) << "the corners round the key are dead";
  EXPECT_EQ(mask->Graphics()->Pixel(16, 32), fw::RGB(0, 0, 0)) << "the key's middle is live";

  // Outside the live area every row button shows the window behind it, so
  // the one set of pictures fits all three rows.
  for (const char* name : {"ButtonPictN", "ButtonPictR", "ButtonPictD"}) {
    auto button = Load(name);
    ASSERT_TRUE(button) << name;
    for (int top : {4, 68, 132}) {
      for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 32; ++x) {
          if (mask->Graphics()->Pixel(x, y) == fw::RGB(0, 0, 0)) continue;
          ASSERT_LE(Distance(button->Graphics()->Pixel(x, y), back->Graphics()->Pixel(200 + x, top + y)), 24)
              << name << " at " << x << "," << y << " over the row at y " << top;
        }
      }
    }
  }
}

TEST(ResourcePictures, EveryButtonStateAndTheMarkerCanBeToldApart) {
  struct Pair {
    const char* a;
    const char* b;
  };
  const Pair pairs[] = {{"ButtonPictN", "ButtonPictR"},     {"ButtonPictN", "ButtonPictD"},
                        {"ButtonPictR", "ButtonPictD"},     {"StartBtnPictN", "StartBtnPictR"},
                        {"ResetBtnPictN", "ResetBtnPictR"}, {"StartBtnPictN", "ResetBtnPictN"},
                        {"IconPict", "DrevakonPict"}};
  for (const Pair& p : pairs) {
    auto a = Load(p.a), b = Load(p.b);
    ASSERT_TRUE(a && b) << p.a << " " << p.b;
    const int area = a->Width() * a->Height();
    EXPECT_GT(DifferingPixels(a, 0, 0, b, 0, 0, a->Width(), a->Height()), area / 10) << p.a << " vs " << p.b;
  }
  // Shown, the completion marker stands out from the empty slot that the
  // window shows while it is hidden.
  auto marker = Load("CompletePict");
  auto back = Load("BackPict");
  ASSERT_TRUE(marker && back);
  EXPECT_GT(DifferingPixels(marker, 0, 0, back, 201, 199, 30, 15), 30 * 15 / 2);
}

TEST(ResourcePictures, PushMarkerAndBadgeHaveSomethingToShow) {
  // The push marker is drawn over the board; on white it must leave a mark.
  auto push = Load("PushPict");
  ASSERT_TRUE(push);
  auto canvas = fw::Picture::New(16, 64, 32);
  canvas->Graphics()->DrawPicture(push, 0, 0);
  int marked = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 16; ++x)
      if (canvas->Graphics()->Pixel(x, y) != fw::RGB(255, 255, 255)) ++marked;
  EXPECT_GT(marked, 64);

  // The About window shows the 16 x 8 area at (0, 32) of the badge picture.
  auto badge = Load("TargetSystemPict");
  ASSERT_TRUE(badge);
  std::set<uint32_t> colours;
  for (int y = 32; y < 40; ++y)
    for (int x = 0; x < 16; ++x) colours.insert(badge->Graphics()->Pixel(x, y).value);
  EXPECT_GE(colours.size(), 2u) << "the badge area is blank";
}

// ---------------------------------------------------------------------------
// Sounds

struct Wave {
  std::string error;  // empty when the file is sound
  uint16_t format = 0, channels = 0, bits = 0;
  uint32_t rate = 0;
  std::vector<int16_t> samples;
};

uint32_t Le(const std::string& s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

Wave ParseWave(const std::string& bytes) {
  Wave w;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
    w.error = "not a RIFF WAVE file";
    return w;
  }
  if (Le(bytes, 4, 4) != bytes.size() - 8) {
    w.error = "RIFF size disagrees with the file";
    return w;
  }
  bool haveFormat = false, haveData = false;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const uint32_t size = Le(bytes, at + 4, 4);
    if (size > bytes.size() - at - 8) {
      w.error = "chunk '" + id + "' runs past the end";
      return w;
    }
    if (id == "fmt " && size >= 16) {
      w.format = static_cast<uint16_t>(Le(bytes, at + 8, 2));
      w.channels = static_cast<uint16_t>(Le(bytes, at + 10, 2));
      w.rate = Le(bytes, at + 12, 4);
      const uint32_t byteRate = Le(bytes, at + 16, 4);
      const uint32_t blockAlign = Le(bytes, at + 20, 2);
      w.bits = static_cast<uint16_t>(Le(bytes, at + 22, 2));
      if (blockAlign != w.channels * w.bits / 8u || byteRate != w.rate * blockAlign) {
        w.error = "inconsistent format chunk";
        return w;
      }
      haveFormat = true;
    } else if (id == "data") {
      if (!haveFormat) {
        w.error = "data before format";
        return w;
      }
      if (size % 2 != 0) {
        w.error = "odd data size";
        return w;
      }
      for (uint32_t i = 0; i < size; i += 2)
        w.samples.push_back(static_cast<int16_t>(static_cast<uint16_t>(Le(bytes, at + 8 + i, 2))));
      haveData = true;
    }
    at += 8 + size + (size & 1);
  }
  if (!haveFormat || !haveData) w.error = "no format or no data chunk";
  return w;
}

// RMS of the loudest 50 ms, as a fraction of full scale.
double Loudness(const std::vector<int16_t>& s) {
  const size_t w = std::min<size_t>(s.size(), 44100 / 20);
  double sum = 0, best = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    sum += double(s[i]) * s[i];
    if (i >= w) sum -= double(s[i - w]) * s[i - w];
    best = std::max(best, sum);
  }
  return w == 0 ? 0 : std::sqrt(best / w) / 32768.0;
}

const char* const kSounds[] = {"SilenceSnd", "SoundVolSnd", "PushSnd", "BlockSnd", "CompleteSnd"};

TEST(ResourceSounds, EachIsMono16BitPcmAt44100AndShort) {
  for (const char* name : kSounds) {
    const std::string bytes = testsupport::ReadFile(ResourcePath(std::string(name) + ".wav"));
    ASSERT_FALSE(bytes.empty()) << name << ".wav is missing";
    const Wave w = ParseWave(bytes);
    ASSERT_EQ(w.error, "") << name;
    EXPECT_EQ(w.format, 1) << name << ": PCM";
    EXPECT_EQ(w.channels, 1) << name;
    EXPECT_EQ(w.rate, 44100u) << name;
    EXPECT_EQ(w.bits, 16) << name;
    EXPECT_GT(w.samples.size(), 0u) << name;
    // A push lasts 1.28 s; every effect ends well within it.
    EXPECT_LE(w.samples.size(), 44100u) << name;
  }
}

TEST(ResourceSounds, TheIdleSoundIsTrueSilence) {
  const Wave w = ParseWave(testsupport::ReadFile(ResourcePath("SilenceSnd.wav")));
  ASSERT_EQ(w.error, "");
  EXPECT_LE(w.samples.size(), 44100u / 5) << "short: it plays about once a second";
  EXPECT_TRUE(std::all_of(w.samples.begin(), w.samples.end(), [](int16_t v) { return v == 0; }));
}

TEST(ResourceSounds, EffectsAreAudibleUnclippedClickFreeAndEquallyLoud) {
  std::vector<double> loudness;
  for (const char* name : {"SoundVolSnd", "PushSnd", "BlockSnd", "CompleteSnd"}) {
    const Wave w = ParseWave(testsupport::ReadFile(ResourcePath(std::string(name) + ".wav")));
    ASSERT_EQ(w.error, "") << name;
    ASSERT_GE(w.samples.size(), 100u) << name;
    int peak = 0;
    for (int16_t v : w.samples) peak = std::max(peak, std::abs(int(v)));
    EXPECT_LT(peak, 32768 * 95 / 100) << name << ": peak must stay below full scale";
    const double loud = Loudness(w.samples);
    EXPECT_GT(20 * std::log10(loud), -30.0) << name << " is too quiet";
    loudness.push_back(loud);
    // Faded in and out: the first and last samples are next to nothing.
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_LT(std::abs(int(w.samples[i])), 328) << name << " starts with a click";
      EXPECT_LT(std::abs(int(w.samples[w.samples.size() - 1 - i])), 328) << name << " ends with a click";
    }
  }
  ASSERT_EQ(loudness.size(), 4u);
  const auto [lo, hi] = std::minmax_element(loudness.begin(), loudness.end());
  EXPECT_LT(20 * std::log10(*hi / *lo), 3.0) << "the effects differ in loudness by more than 3 dB";
}

// ---------------------------------------------------------------------------
// The resource file and cursor 168

TEST(ResourceFile, Cursor168ReadsBackWithItsHotSpotAtTheFingertip) {
  const std::string bytes = testsupport::ReadFile(ResourcePath("Application.rsrc"));
  const fw::ResourceFork fork(bytes);
  ASSERT_TRUE(fork.Valid());
  EXPECT_TRUE(fork.GetCursor(168));

  const std::string curs = fork.Resource("CURS", 168);
  ASSERT_EQ(curs.size(), 68u);
  auto row = [&](int i) {
    return static_cast<uint16_t>((static_cast<unsigned char>(curs[2 * i]) << 8) |
                                 static_cast<unsigned char>(curs[2 * i + 1]));
  };
  const int hotRow = static_cast<int16_t>(row(32)), hotColumn = static_cast<int16_t>(row(33));
  ASSERT_GE(hotRow, 0);
  ASSERT_LT(hotRow, 16);
  ASSERT_GE(hotColumn, 0);
  ASSERT_LT(hotColumn, 16);
  const uint16_t bit = static_cast<uint16_t>(0x8000u >> hotColumn);
  EXPECT_TRUE(row(hotRow) & bit) << "the hot spot is on the black outline";
  EXPECT_TRUE(row(16 + hotRow) & bit) << "the hot spot is opaque";
  for (int y = 0; y < hotRow; ++y) {
    EXPECT_FALSE(row(16 + y) & bit) << "nothing of the hand lies above the fingertip";
  }
  int opaque = 0, black = 0;
  for (int y = 0; y < 16; ++y) {
    opaque += __builtin_popcount(row(16 + y));
    black += __builtin_popcount(row(y) & row(16 + y));
    EXPECT_EQ(row(y) & ~row(16 + y), 0) << "image bits outside the mask in row " << y;
  }
  EXPECT_GT(black, 0);
  EXPECT_GT(opaque - black, 0) << "the hand has a white inside";
  EXPECT_LT(opaque, 256) << "the hand does not fill its square";
}

}  // namespace
