// The byte-string functions: positions count bytes, characters are UTF-8
// sequences, numbers are read and written without the locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

#include "framework/Strings.h"
#include "tests/support/TestSupport.h"

using namespace fw;

namespace {

// "の" and "設" are three bytes each.
const std::string kNo = "\xE3\x81\xAE";
const std::string kSet = "\xE8\xA8\xAD";

TEST(Strings, BytePositionsCountFromOneAndStopAtTheEnds) {
  struct Case {
    std::string s;
    int32_t start, length;
    std::string mid;
  } cases[] = {
      {"ABCDE", 2, 3, "BCD"}, {"ABCDE", 4, 9, "DE"}, {"ABCDE", 6, 1, ""},
      {"ABCDE", 0, 2, "AB"},  {"ABCDE", -5, 1, "A"}, {"ABCDE", 1, 0, ""},
      {"ABCDE", 2, -1, ""},   {"", 1, 1, ""},        {"A" + kNo, 2, 2, kNo.substr(0, 2)},  // bytes, not characters
  };
  for (const Case& c : cases) EXPECT_EQ(MidB(c.s, c.start, c.length), c.mid) << c.s << " " << c.start;
  EXPECT_EQ(MidB("ABCDE", 3), "CDE");
  EXPECT_EQ(MidB("ABCDE", 2147483647), "");
  EXPECT_EQ(LenB(kNo + kSet), 6);
  EXPECT_EQ(LeftB("ABC", 2), "AB");
  EXPECT_EQ(LeftB("ABC", 9), "ABC");
  EXPECT_EQ(LeftB("ABC", -1), "");
  EXPECT_EQ(RightB("ABC", 2), "BC");
  EXPECT_EQ(RightB("ABC", 9), "ABC");
  EXPECT_EQ(RightB("ABC", 0), "");
}

TEST(Strings, CharactersAreUtf8SequencesAndStrayBytesCountOneEach) {
  EXPECT_EQ(Len("Pandrisk" + kNo + kSet), 10);
  EXPECT_EQ(Left("Pandrisk" + kNo + kSet, 9), "Pandrisk" + kNo);
  EXPECT_EQ(Left(kNo, 5), kNo);
  EXPECT_EQ(Left(kNo, 0), "");
  // A sequence cut short, a lone continuation byte and an overlong form are
  // one character per byte, so that nothing is lost or split.
  const std::string broken = std::string("\xE3\x81") + "A" + "\x80" + "\xC0\xAF";
  EXPECT_EQ(Len(broken), 6);
  EXPECT_EQ(Left(broken, 2), "\xE3\x81");
  EXPECT_EQ(Len(""), 0);
}

TEST(Strings, StrCompModeZeroIsByteExact) {
  EXPECT_EQ(StrComp("10", "10", 0), 0);
  EXPECT_EQ(StrComp("a2", "A2", 0), 1);
  EXPECT_EQ(StrComp("A2", "a2", 0), -1);
  EXPECT_EQ(StrComp("a2", "A2", 1), 0);
  EXPECT_EQ(StrComp("1", "10", 0), -1);
  EXPECT_EQ(StrComp("\xFF", "A", 0), 1);  // bytes compare unsigned
  EXPECT_EQ(StrComp(std::string("a\0b", 3), std::string("a\0c", 3), 0), -1);
}

TEST(Strings, FormatFillsDigitPlaces) {
  struct Case {
    double v;
    std::string pattern, out;
  } cases[] = {
      {7, "000000", "000007"},
      {900001, "000000", "900001"},
      {1234567, "000000", "1234567"},
      {12, "0000000000", "0000000012"},
      {-5, "0000000000", "-0000000005"},
      {0, "#", ""},
      {0, "0", "0"},
      {42, "##0", "42"},
      {3.14159, "0.00", "3.14"},
      {2.5, "0.##", "2.5"},
      {2, "0.##", "2"},
      {0.5, "#.00", ".50"},
      {1999.5, "0", "2000"},
      {-0.001, "0.00", "0.00"},
      {1234, "#,##0", "1,234"},
      {34, "#,##0", "34"},
  };
  for (const Case& c : cases) EXPECT_EQ(Format(c.v, c.pattern), c.out) << c.v << " " << c.pattern;
}

TEST(Strings, ValReadsDecimalAndPrefixedNumbers) {
  struct Case {
    std::string s;
    double v;
  } cases[] = {
      {"12", 12},  {"  -3.5x", -3.5}, {"+7", 7},    {"1e3", 1000}, {"1e", 1},     {".5", 0.5}, {"", 0},
      {"x1", 0},   {"-", 0},          {".", 0},     {"&HFF", 255}, {"&hff", 255}, {"&H", 0},   {"&HZZ", 0},
      {"&H1Z", 1}, {"&O17", 15},      {"&B101", 5}, {"&B102", 2},  {"&X1", 0},    {"inf", 0},  {"nan", 0},
      {"0x10", 0}, {"\t9", 9},        {"00A2", 0},  {"2", 2},      {"A", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Val(c.s), c.v) << '"' << c.s << '"';
  EXPECT_TRUE(std::isinf(Val("1e999")));
  EXPECT_EQ(Val("1e-999"), 0);
}

TEST(Strings, NumbersIgnoreTheLocale) {
  // The platform sets the user's locale at start; in one with a decimal
  // comma the C library's own reading of "2.5" would stop at the point.
  testsupport::TempDir dir;
  const std::string make = "localedef -i de_DE -f UTF-8 '" + dir.File("de_DE.UTF-8") + "' >/dev/null 2>&1";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
    if (std::system(make.c_str()) == 0) setenv("LOCPATH", dir.path().c_str(), 1);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
      GTEST_SKIP() << "no locale with a decimal comma, and localedef cannot make one";
  }
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  EXPECT_EQ(Val("2.5"), 2.5);
  EXPECT_EQ(Str(0.5), "0.5");
  EXPECT_EQ(Format(3.25, "0.00"), "3.25");
  std::setlocale(LC_NUMERIC, "C");
}

TEST(Strings, HexAndStr) {
  EXPECT_EQ(Hex(0), "0");
  EXPECT_EQ(Hex(255), "FF");
  EXPECT_EQ(Hex(0x102030), "102030");
  EXPECT_EQ(Hex(-1), "FFFFFFFF");
  EXPECT_EQ(Str(12), "12");
  EXPECT_EQ(Str(-3), "-3");
  EXPECT_EQ(Str(0.5), "0.5");
  EXPECT_EQ(Str(-0.0), "0");
  EXPECT_EQ(Str(900001), "900001");
  // Whole numbers never take the exponent form.
  EXPECT_EQ(Str(100000), "100000");
  EXPECT_EQ(Str(1e15), "1000000000000000");
  EXPECT_EQ(Str(-2000000), "-2000000");
  EXPECT_EQ(Str(1e-7), "1e-07");
}

TEST(Strings, MacJapaneseConversion) {
  // "Pandriskの設定": ASCII stays, the kana and kanji take two bytes each.
  EXPECT_EQ(ConvertEncoding("Pandrisk" + kNo + kSet + "\xE5\xAE\x9A", TextEncoding::MacJapanese),
            "Pandrisk\x82\xCC\x90\xDD\x92\xE8");
  // Half-width katakana are single bytes; the yen sign and the backslash
  // take their Macintosh places.
  EXPECT_EQ(ConvertEncoding("\xEF\xBD\xB1", TextEncoding::MacJapanese), "\xB1");
  EXPECT_EQ(ConvertEncoding("\xC2\xA5", TextEncoding::MacJapanese), "\x5C");
  EXPECT_EQ(ConvertEncoding("\\~", TextEncoding::MacJapanese), "\x80~");
  // What the encoding lacks, and bytes that are no UTF-8, become "?".
  EXPECT_EQ(ConvertEncoding("a\xF0\x9F\x98\x80"
                            "b",
                            TextEncoding::MacJapanese),
            "a?b");
  EXPECT_EQ(ConvertEncoding("\xE2\x80\xBE", TextEncoding::MacJapanese), "?");  // overline, not "~"
  EXPECT_EQ(ConvertEncoding("\xFF\xE3\x81", TextEncoding::MacJapanese), "???");
  EXPECT_EQ(ConvertEncoding("", TextEncoding::MacJapanese), "");
}

TEST(Strings, MacJapaneseReadsBackAndRefusesBrokenBytes) {
  const std::string name = "Pandrisk" + kNo + kSet + "\xE5\xAE\x9A" + "\\" + "\xC2\xA5";
  EXPECT_EQ(DefineEncoding(ConvertEncoding(name, TextEncoding::MacJapanese), TextEncoding::MacJapanese), name);
  EXPECT_EQ(DefineEncoding("\x82", TextEncoding::MacJapanese), "");  // a lead byte without its trail
  EXPECT_EQ(DefineEncoding("\xE3\x81", TextEncoding::UTF8), "");
  EXPECT_EQ(DefineEncoding("ok", TextEncoding::UTF8), "ok");
}

}  // namespace
