#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framework/FolderItem.h"
#include "framework/Sound.h"
#include "framework/SoundMixer.h"
#include "framework/Time.h"
#include "tests/support/TestSupport.h"

using namespace fw;

namespace {

// ---------------------------------------------------------------------------
// Building WAVE files piece by piece, so that each piece can be spoilt.

std::string Le(uint32_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return s;
}

std::string Chunk(const std::string& id, const std::string& body, uint32_t size) {
  std::string c = id + Le(size, 4) + body;
  if (body.size() % 2 == 1) c.push_back('\0');
  return c;
}
std::string Chunk(const std::string& id, const std::string& body) {
  return Chunk(id, body, static_cast<uint32_t>(body.size()));
}

std::string FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int align = -1) {
  const uint16_t a = align >= 0 ? static_cast<uint16_t>(align) : static_cast<uint16_t>(channels * bits / 8);
  return Le(tag, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * a, 4) + Le(a, 2) + Le(bits, 2);
}
std::string Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int align = -1) {
  return Chunk("fmt ", FmtBody(tag, channels, rate, bits, align));
}

// The extensible header with the given sub-format (1 is PCM, 3 float).
std::string FmtExtensible(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t subFormat) {
  const std::string guidTail("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
  return Chunk("fmt ", FmtBody(0xFFFE, channels, rate, bits) + Le(22, 2) + Le(bits, 2) + Le(3, 4) +
                           Le(subFormat, 2) + guidTail);
}

std::string Riff(const std::string& chunks) {
  return "RIFF" + Le(static_cast<uint32_t>(4 + chunks.size()), 4) + "WAVE" + chunks;
}

std::string Pcm16(const std::vector<int16_t>& samples) {
  std::string s;
  for (int16_t v : samples) s += Le(static_cast<uint16_t>(v), 2);
  return s;
}

std::shared_ptr<const SoundData> Data(int32_t rate, int32_t channels, std::vector<int16_t> samples,
                                      const std::string& name = "test.wav") {
  return std::make_shared<SoundData>(SoundData{name, rate, channels, std::move(samples)});
}

// Mixes `frames` frames in pieces of `piece` frames.
std::vector<int16_t> MixAll(SoundMixer& mixer, size_t frames, size_t piece = 7) {
  std::vector<int16_t> out(frames * 2);
  for (size_t at = 0; at < frames; at += piece) mixer.Mix(out.data() + 2 * at, std::min(piece, frames - at));
  return out;
}

// ---------------------------------------------------------------------------
// Decoding

TEST(DecodeWave, ReadsPcmOfEveryAcceptedLayout) {
  const std::string pcm16 = Pcm16({0, 1000, -1000, 32767, -32768, 7});
  struct Case {
    const char* label;
    std::string bytes;
    int32_t rate;
    int32_t channels;
    std::vector<int16_t> samples;
  };
  const Case cases[] = {
      {"16-bit mono",
       Riff(Fmt(1, 1, 44100, 16) + Chunk("data", pcm16)),
       44100,
       1,
       {0, 1000, -1000, 32767, -32768, 7}},
      {"16-bit stereo at 22050 Hz",
       Riff(Fmt(1, 2, 22050, 16) + Chunk("data", pcm16)),
       22050,
       2,
       {0, 1000, -1000, 32767, -32768, 7}},
      {"8-bit mono, unsigned samples",
       Riff(Fmt(1, 1, 11025, 8) + Chunk("data", std::string("\x00\x80\xFF\x40", 4))),
       11025,
       1,
       {-32768, 0, 32512, -16384}},
      {"8-bit stereo", Riff(Fmt(1, 2, 8000, 8) + Chunk("data", std::string("\x80\x00", 2))), 8000, 2, {0, -32768}},
      {"extensible header of 16-bit PCM",
       Riff(FmtExtensible(2, 48000, 16, 1) + Chunk("data", pcm16)),
       48000,
       2,
       {0, 1000, -1000, 32767, -32768, 7}},
      {"data before fmt, and an odd-sized chunk with its pad byte",
       Riff(Chunk("LIST", "abc") + Chunk("data", pcm16) + Fmt(1, 1, 44100, 16)),
       44100,
       1,
       {0, 1000, -1000, 32767, -32768, 7}},
      {"wrong RIFF size and bytes after the last chunk",
       "RIFF" + Le(0xFFFFFFFF, 4) + "WAVE" + Fmt(1, 1, 44100, 16) + Chunk("data", Pcm16({5, 6})) + "junk!",
       44100,
       1,
       {5, 6}},
      {"a partial frame at the end is left out",
       Riff(Fmt(1, 2, 44100, 16) + Chunk("data", Pcm16({1, 2, 3}))),
       44100,
       2,
       {1, 2}},
      {"an empty data chunk is a silent sound", Riff(Fmt(1, 1, 44100, 16) + Chunk("data", "")), 44100, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    auto d = DecodeWave(c.bytes, "Snd.wav");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->name, "Snd.wav");
    EXPECT_EQ(d->sampleRate, c.rate);
    EXPECT_EQ(d->channels, c.channels);
    EXPECT_EQ(d->samples, c.samples);
  }
}

TEST(DecodeWave, DurationCountsFrames) {
  auto d = DecodeWave(Riff(Fmt(1, 2, 22050, 16) + Chunk("data", Pcm16(std::vector<int16_t>(2 * 11025, 3)))), "x");
  ASSERT_TRUE(d);
  EXPECT_DOUBLE_EQ(d->DurationSeconds(), 0.5);
}

TEST(DecodeWave, RefusesWhatItCannotPlayOrTrust) {
  const std::string data = Chunk("data", Pcm16({1, 2, 3, 4}));
  const std::string fmt = Fmt(1, 1, 44100, 16);
  struct Case {
    const char* label;
    std::string bytes;
  };
  const Case cases[] = {
      {"zero bytes", ""},
      {"only the RIFF tag", "RIFF"},
      {"a header without chunks cut short", Riff("").substr(0, 11)},
      {"not RIFF at all", "\x89PNG\r\n\x1a\n" + std::string(40, '\0')},
      {"big-endian RIFX", "RIFX" + Riff(fmt + data).substr(4)},
      {"RIFF of another kind", "RIFF" + Le(100, 4) + "AVI " + fmt + data},
      {"no fmt chunk", Riff(data)},
      {"no data chunk", Riff(fmt)},
      {"fmt chunk too small", Riff(Chunk("fmt ", FmtBody(1, 1, 44100, 16).substr(0, 14)) + data)},
      {"float samples", Riff(Fmt(3, 1, 44100, 32) + data)},
      {"ADPCM", Riff(Fmt(2, 1, 44100, 4) + data)},
      {"24-bit PCM", Riff(Fmt(1, 1, 44100, 24) + data)},
      {"32-bit PCM", Riff(Fmt(1, 1, 44100, 32) + data)},
      {"extensible float", Riff(FmtExtensible(1, 44100, 16, 3) + data)},
      {"extensible header cut short", Riff(Chunk("fmt ", FmtBody(0xFFFE, 1, 44100, 16) + Le(0, 2)) + data)},
      {"no channels", Riff(Fmt(1, 0, 44100, 16, 2) + data)},
      {"three channels", Riff(Fmt(1, 3, 44100, 16) + data)},
      {"block size that does not match", Riff(Fmt(1, 2, 44100, 16, 2) + data)},
      {"rate 0", Riff(Fmt(1, 1, 0, 16) + data)},
      {"rate below 1000 Hz", Riff(Fmt(1, 1, 999, 16) + data)},
      {"rate above 384000 Hz", Riff(Fmt(1, 1, 384001, 16) + data)},
      {"absurd rate", Riff(Fmt(1, 1, 0xFFFFFFFF, 16) + data)},
      {"data chunk longer than the file", Riff(fmt + Chunk("data", Pcm16({1, 2}), 400))},
      {"absurd data size", Riff(fmt + Chunk("data", Pcm16({1, 2}), 0xFFFFFFFF))},
      {"absurd fmt size", Riff(Chunk("fmt ", FmtBody(1, 1, 44100, 16), 0xFFFFFFF0) + data)},
      {"absurd size of a chunk before the data", Riff(fmt + Chunk("LIST", "ab", 0xFFFFFFFE) + data)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_FALSE(DecodeWave(c.bytes, "x"));
  }
}

TEST(DecodeWave, EveryTruncationOfAFileIsRefused) {
  const std::string whole = Riff(Chunk("LIST", "info") + Fmt(1, 2, 44100, 16) +
                                 Chunk("data", Pcm16({1, 2, 3, 4, 5, 6})));
  ASSERT_TRUE(DecodeWave(whole, "x"));
  for (size_t n = 0; n < whole.size(); ++n) EXPECT_FALSE(DecodeWave(whole.substr(0, n), "x")) << n << " bytes";
}

// ---------------------------------------------------------------------------
// Loading from files

TEST(LoadSound, LoadsRegularWaveFilesOnlyAndNamesThemAfterTheFile) {
  testsupport::TempDir dir;
  const std::string wave = Riff(Fmt(1, 1, 22050, 16) + Chunk("data", Pcm16({1, -1})));
  testsupport::WriteFile(dir.File("PushSnd.wav"), wave);
  Ref<Sound> s = LoadSound(dir.File("PushSnd.wav"));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Data()->name, "PushSnd.wav");
  EXPECT_EQ(s->Data()->samples, (std::vector<int16_t>{1, -1}));
  EXPECT_EQ(s->Volume(), 100);
  // The game's way in.
  Ref<Sound> viaItem = New<FolderItem>(dir.File("PushSnd.wav"))->OpenAsSound();
  ASSERT_TRUE(viaItem);
  EXPECT_EQ(viaItem->Data()->samples, s->Data()->samples);

  testsupport::WriteFile(dir.File("empty.wav"), "");
  testsupport::WriteFile(dir.File("cut.wav"), wave.substr(0, wave.size() - 1));
  std::filesystem::create_directory(dir.File("folder.wav"));
  ASSERT_EQ(mkfifo(dir.File("pipe.wav").c_str(), 0600), 0);  // opening it would block
  // A file too large to be a sound effect is refused without reading it.
  testsupport::WriteFile(dir.File("huge.wav"), wave);
  std::filesystem::resize_file(dir.File("huge.wav"), (uintmax_t{64} << 20) + 1);
  for (const char* name : {"missing.wav", "empty.wav", "cut.wav", "folder.wav", "pipe.wav", "huge.wav"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(LoadSound(dir.File(name)));
  }
}

// ---------------------------------------------------------------------------
// Sound and the output seam

TEST(Sound, VolumeIsClampedToZeroToHundred) {
  Sound s(Data(44100, 1, {1}));
  EXPECT_EQ(s.Volume(), 100);
  const std::pair<int32_t, int32_t> cases[] = {{35, 35}, {0, 0}, {100, 100}, {-5, 0}, {101, 100}, {INT32_MIN, 0}};
  for (auto [given, kept] : cases) {
    s.Volume(given);
    EXPECT_EQ(s.Volume(), kept) << given;
  }
}

TEST(Sound, PlayHandsTheSoundToTheCurrentOutputAtItsVolume) {
  auto recorder = std::make_shared<RecordingSoundOutput>();
  SetSoundOutput(recorder);
  double now = 1500.0;
  SetMicrosecondsSource([&] { return now; });
  auto push = New<Sound>(Data(44100, 1, {1, 2}, "PushSnd.wav"));
  auto block = New<Sound>(Data(44100, 1, {}, "BlockSnd.wav"));  // silent, still played
  push->Volume(35);
  push->Play();
  now = 2500.0;
  block->Play();
  push->Volume(6);
  push->Play();  // again while the first may still sound: both are kept

  ASSERT_EQ(recorder->entries.size(), 3u);
  EXPECT_EQ(recorder->entries[0].name, "PushSnd.wav");
  EXPECT_EQ(recorder->entries[0].volume, 35);
  EXPECT_EQ(recorder->entries[0].time, 1500.0);
  EXPECT_EQ(recorder->entries[0].sound, push->Data());
  EXPECT_EQ(recorder->entries[1].name, "BlockSnd.wav");
  EXPECT_EQ(recorder->entries[1].volume, 100);
  EXPECT_EQ(recorder->entries[1].time, 2500.0);
  EXPECT_EQ(recorder->entries[2].volume, 6);

  SetSoundOutput(nullptr);
  EXPECT_NE(CurrentSoundOutput(), recorder);
  EXPECT_TRUE(CurrentSoundOutput());
  SetMicrosecondsSource(nullptr);
}

// ---------------------------------------------------------------------------
// Mixing

TEST(SoundMixer, CopiesASoundAtItsRateSampleForSampleThenSilence) {
  SoundMixer mixer;
  const std::vector<int16_t> samples = {100, -100, 32767, -32768, 5, 6, -7, 8, 9, 10};
  mixer.Start(Data(SoundMixer::kRate, 2, samples), 100);
  EXPECT_EQ(mixer.Playing(), 1u);
  const auto out = MixAll(mixer, 8, 3);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 10), samples);
  EXPECT_EQ(std::vector<int16_t>(out.begin() + 10, out.end()), std::vector<int16_t>(6, 0));
  EXPECT_EQ(mixer.Playing(), 0u);
}

TEST(SoundMixer, EndsAVoiceExactlyAfterItsLastFrame) {
  SoundMixer mixer;
  mixer.Start(Data(SoundMixer::kRate, 1, std::vector<int16_t>(10, 1)), 100);
  std::vector<int16_t> out(2 * 10);
  mixer.Mix(out.data(), 9);
  EXPECT_EQ(mixer.Playing(), 1u);
  mixer.Mix(out.data(), 1);
  EXPECT_EQ(mixer.Playing(), 0u);
}

TEST(SoundMixer, MonoSoundsOnBothChannels) {
  SoundMixer mixer;
  mixer.Start(Data(SoundMixer::kRate, 1, {300, -400}), 100);
  EXPECT_EQ(MixAll(mixer, 3), (std::vector<int16_t>{300, 300, -400, -400, 0, 0}));
}

TEST(SoundMixer, VolumeScalesTheAmplitudeLinearly) {
  for (int32_t volume : {100, 70, 50, 35, 25, 17, 12, 8, 6, 1}) {
    SoundMixer mixer;
    mixer.Start(Data(SoundMixer::kRate, 1, {20000, -20000}), volume);
    const auto out = MixAll(mixer, 2);
    EXPECT_EQ(out[0], 200 * volume) << volume;
    EXPECT_EQ(out[2], -200 * volume) << volume;
  }
  SoundMixer mixer;
  mixer.Start(Data(SoundMixer::kRate, 1, {20000}), 0);
  mixer.Start(Data(SoundMixer::kRate, 1, {20000}), -3);
  EXPECT_EQ(mixer.Playing(), 0u);
  mixer.Start(Data(SoundMixer::kRate, 1, {20000}), 250);  // treated as 100
  EXPECT_EQ(MixAll(mixer, 1)[0], 20000);
}

TEST(SoundMixer, OverlappingVoicesAddAndSaturateInsteadOfWrapping) {
  SoundMixer mixer;
  mixer.Start(Data(SoundMixer::kRate, 2, {30000, -30000, 1000, -1000}), 100);
  mixer.Start(Data(SoundMixer::kRate, 2, {30000, -30000, 2000, -2000, 3, 4}), 100);
  EXPECT_EQ(MixAll(mixer, 3), (std::vector<int16_t>{32767, -32768, 3000, -3000, 3, 4}));
}

TEST(SoundMixer, AVoiceStartedLaterBeginsAtTheNextFrame) {
  SoundMixer mixer;
  mixer.Start(Data(SoundMixer::kRate, 1, {1, 1, 1, 1}), 100);
  std::vector<int16_t> out(4);
  mixer.Mix(out.data(), 2);
  mixer.Start(Data(SoundMixer::kRate, 1, {10, 20}), 100);
  EXPECT_EQ(MixAll(mixer, 3), (std::vector<int16_t>{11, 11, 21, 21, 0, 0}));
}

TEST(SoundMixer, ADelayedVoiceBeginsAfterItsDelayAcrossMixes) {
  // Mixed a frame, two frames and a frame at a time: the delay runs on
  // across the pieces, and the voice counts as playing while it waits.
  SoundMixer mixer;
  mixer.Start(Data(SoundMixer::kRate, 1, {5, 6}), 100, 3);
  mixer.Start(Data(SoundMixer::kRate, 1, {1}), 100);
  EXPECT_EQ(mixer.Playing(), 2u);
  std::vector<int16_t> out;
  for (size_t piece : {1, 2, 1, 2}) {
    std::vector<int16_t> part(2 * piece);
    mixer.Mix(part.data(), piece);
    for (size_t i = 0; i < part.size(); i += 2) out.push_back(part[i]);
  }
  EXPECT_EQ(out, (std::vector<int16_t>{1, 0, 0, 5, 6, 0}));
  EXPECT_EQ(mixer.Playing(), 0u);
}

TEST(SoundMixer, ResamplesOtherRatesLinearlyToTheFullLength) {
  struct Case {
    int32_t rate;
    std::vector<int16_t> samples;
    std::vector<int16_t> left;  // the left channel of the result
  };
  const Case cases[] = {
      {22050, {0, 1000, 2000}, {0, 500, 1000, 1500, 2000, 2000}},
      {11025, {0, -4000}, {0, -1000, -2000, -3000, -4000, -4000, -4000, -4000}},
      {88200, {0, 1, 2, 3, 4, 5}, {0, 2, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    SoundMixer mixer;
    mixer.Start(Data(c.rate, 1, c.samples), 100);
    const auto out = MixAll(mixer, c.left.size() + 2, 3);
    std::vector<int16_t> left;
    for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
    std::vector<int16_t> expected = c.left;
    expected.insert(expected.end(), {0, 0});
    EXPECT_EQ(left, expected);
  }
  // A rate that does not divide evenly keeps the length to a frame.
  SoundMixer mixer;
  mixer.Start(Data(48000, 2, std::vector<int16_t>(2 * 4800, 9)), 100);
  const auto out = MixAll(mixer, 4500, 64);
  size_t heard = 0;
  for (size_t i = 0; i < out.size(); i += 2) heard += out[i] == 9;
  EXPECT_NEAR(static_cast<double>(heard), 4410.0, 1.0);
}

TEST(SoundMixer, KeepsTheNewestVoicesWhenFull) {
  SoundMixer mixer;
  mixer.Start(Data(SoundMixer::kRate, 1, {1000}), 100);
  for (size_t i = 0; i < SoundMixer::kMaxVoices; ++i) mixer.Start(Data(SoundMixer::kRate, 1, {1}), 100);
  EXPECT_EQ(mixer.Playing(), SoundMixer::kMaxVoices);
  EXPECT_EQ(MixAll(mixer, 1)[0], static_cast<int16_t>(SoundMixer::kMaxVoices));  // the 1000 went
}

TEST(SoundMixer, IgnoresSoundsItCannotPlay) {
  SoundMixer mixer;
  mixer.Start(nullptr, 100);
  mixer.Start(Data(SoundMixer::kRate, 1, {}), 100);
  mixer.Start(Data(SoundMixer::kRate, 2, {1}), 100);  // not one whole frame
  mixer.Start(Data(SoundMixer::kRate, 0, {1, 2}), 100);
  mixer.Start(Data(SoundMixer::kRate, 3, {1, 2, 3}), 100);
  mixer.Start(Data(0, 1, {1}), 100);
  mixer.Start(Data(-44100, 1, {1}), 100);
  EXPECT_EQ(mixer.Playing(), 0u);
  EXPECT_EQ(MixAll(mixer, 2), std::vector<int16_t>(4, 0));
}

}  // namespace
