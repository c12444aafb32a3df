#include "framework/Strings.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace fw {

namespace {

int32_t Clamp32(size_t n) {
  return n > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                      : static_cast<int32_t>(n);
}

// The byte length of the UTF-8 sequence at `i`, or 0 when the bytes there
// are no well-formed sequence (a stray continuation byte, an overlong or
// surrogate form, a sequence cut short).
size_t Utf8SequenceLength(const std::string& s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  size_t n;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  if (b(i + 1) < lo || b(i + 1) > hi) return 0;
  for (size_t k = 2; k < n; ++k)
    if ((b(i + k) & 0xC0) != 0x80) return 0;
  return n;
}

// The length of the character at `i`: a well-formed sequence, or one byte
// for a byte that starts none, so that every byte belongs to a character.
size_t CharLength(const std::string& s, size_t i) {
  const size_t n = Utf8SequenceLength(s, i);
  return n == 0 ? 1 : n;
}

// One conversion descriptor per direction, opened on first use and kept.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts the whole input, or returns false (out unchanged) when any of
  // it cannot be converted.
  bool Convert(const char* in, size_t len, std::string& out) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char buf[16];
    char* src = const_cast<char*>(in);
    size_t left = len;
    char* dst = buf;
    size_t room = sizeof buf;
    if (iconv(cd_, &src, &left, &dst, &room) == static_cast<size_t>(-1) || left != 0) return false;
    if (iconv(cd_, nullptr, nullptr, &dst, &room) == static_cast<size_t>(-1)) return false;
    out.append(buf, static_cast<size_t>(dst - buf));
    return true;
  }

 private:
  iconv_t cd_;
};

Converter& ToShiftJis() {
  static thread_local Converter c("SHIFT_JIS", "UTF-8");
  return c;
}
Converter& FromShiftJis() {
  static thread_local Converter c("UTF-8", "SHIFT_JIS");
  return c;
}

// The single bytes where the system's Japanese text encoding differs from the
// Shift_JIS base: the yen sign takes 0x5C and the backslash moves to 0x80;
// 0xA0, 0xFD..0xFF carry a no-break space, the copyright and trade mark
// signs and the ellipsis.
struct MacByte {
  unsigned char byte;
  const char* utf8;
};
constexpr MacByte kMacBytes[] = {
    {0x5C, "\xC2\xA5"}, {0x80, "\\"},           {0xA0, "\xC2\xA0"},
    {0xFD, "\xC2\xA9"}, {0xFE, "\xE2\x84\xA2"}, {0xFF, "\xE2\x80\xA6"},
};

std::string ToMacJapanese(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out.push_back(c == '\\' ? static_cast<char>(0x80) : static_cast<char>(c));
      ++i;
      continue;
    }
    const size_t n = Utf8SequenceLength(utf8, i);
    if (n == 0) {
      out.push_back('?');
      ++i;
      continue;
    }
    const std::string ch = utf8.substr(i, n);
    i += n;
    bool done = false;
    // The ellipsis has a double-byte form too, which the Shift_JIS base gives.
    for (const MacByte& m : kMacBytes) {
      if (ch == m.utf8 && m.byte != 0xFF) {
        out.push_back(static_cast<char>(m.byte));
        done = true;
        break;
      }
    }
    if (done) continue;
    std::string sjis;
    // A character that the base maps onto an ASCII byte (the overline onto
    // 0x7E) would collide with that ASCII character here.
    if (ToShiftJis().Convert(ch.data(), ch.size(), sjis) &&
        !(sjis.size() == 1 && static_cast<unsigned char>(sjis[0]) < 0x80)) {
      out += sjis;
    } else {
      out.push_back('?');
    }
  }
  return out;
}

std::string FromMacJapanese(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    const MacByte* special = nullptr;
    for (const MacByte& m : kMacBytes)
      if (m.byte == c) special = &m;
    if (special != nullptr) {
      out += special->utf8;
      ++i;
    } else if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (c >= 0xA1 && c <= 0xDF) {
      if (!FromShiftJis().Convert(&bytes[i], 1, out)) return {};
      ++i;
    } else if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      if (i + 1 >= bytes.size() || !FromShiftJis().Convert(&bytes[i], 2, out)) return {};
      i += 2;
    } else {
      return {};
    }
  }
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

int32_t LenB(const std::string& s) { return Clamp32(s.size()); }

std::string MidB(const std::string& s, int32_t start) {
  return MidB(s, start, std::numeric_limits<int32_t>::max());
}

std::string MidB(const std::string& s, int32_t start, int32_t length) {
  if (length <= 0) return {};
  const int64_t from = std::max<int64_t>(start, 1) - 1;
  if (from >= static_cast<int64_t>(s.size())) return {};
  return s.substr(static_cast<size_t>(from), static_cast<size_t>(length));
}

std::string LeftB(const std::string& s, int32_t count) {
  if (count <= 0) return {};
  return s.substr(0, static_cast<size_t>(count));
}

std::string RightB(const std::string& s, int32_t count) {
  if (count <= 0) return {};
  const size_t n = std::min(s.size(), static_cast<size_t>(count));
  return s.substr(s.size() - n);
}

int32_t Len(const std::string& s) {
  int32_t count = 0;
  for (size_t i = 0; i < s.size(); i += CharLength(s, i)) ++count;
  return count;
}

std::string Left(const std::string& s, int32_t count) {
  size_t i = 0;
  for (int32_t k = 0; k < count && i < s.size(); ++k) i += CharLength(s, i);
  return s.substr(0, i);
}

int32_t StrComp(const std::string& a, const std::string& b, int32_t mode) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (mode != 0) {
      if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
      if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
    }
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string Format(double value, const std::string& pattern) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";

  const size_t point = pattern.find('.');
  const std::string intPattern = pattern.substr(0, point);
  const std::string fracPattern = point == std::string::npos ? std::string() : pattern.substr(point + 1);
  const auto isPlace = [](char c) { return c == '0' || c == '#'; };
  const int fracPlaces = static_cast<int>(std::count_if(fracPattern.begin(), fracPattern.end(), isPlace));

  // The digits of the magnitude, rounded to the fraction's places.
  char buf[400];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed, fracPlaces);
  std::string digits(buf, res.ptr);
  std::string intDigits = digits.substr(0, digits.find('.'));
  std::string fracDigits = fracPlaces > 0 ? digits.substr(digits.find('.') + 1) : std::string();
  if (intDigits == "0") intDigits.clear();
  const bool negative = value < 0 && (intDigits.find_first_not_of('0') != std::string::npos ||
                                      fracDigits.find_first_not_of('0') != std::string::npos);

  // The integer places are filled from the right; digits beyond them go in
  // front of the leftmost place; other pattern characters stay as they are.
  std::string intOut;
  size_t next = intDigits.size();
  for (size_t k = intPattern.size(); k-- > 0;) {
    const char p = intPattern[k];
    if (!isPlace(p)) {
      // A separator stands only between digits that are written.
      if (next > 0 || intPattern.find('0') < k) intOut.insert(intOut.begin(), p);
    } else if (next > 0) {
      intOut.insert(intOut.begin(), intDigits[--next]);
    } else if (p == '0') {
      intOut.insert(intOut.begin(), '0');
    }
  }
  intOut.insert(0, intDigits.substr(0, next));

  // Fraction places: "0" always written, "#" only up to the last
  // significant digit.
  std::string fracOut;
  size_t lastSignificant = 0;
  for (size_t k = 0; k < fracDigits.size(); ++k)
    if (fracDigits[k] != '0') lastSignificant = k + 1;
  size_t d = 0;
  for (const char p : fracPattern) {
    if (!isPlace(p)) {
      fracOut.push_back(p);
      continue;
    }
    if (p == '0' || d < lastSignificant) fracOut.push_back(fracDigits[d]);
    ++d;
  }

  std::string out = negative ? "-" : "";
  out += intOut;
  if (!fracOut.empty()) out += "." + fracOut;
  return out;
}

double Val(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  if (i + 1 < s.size() && s[i] == '&') {
    const char kind = static_cast<char>(s[i + 1] & ~0x20);
    int base = kind == 'H' ? 16 : kind == 'O' ? 8 : kind == 'B' ? 2 : 0;
    if (base == 0) return 0;
    double v = 0;
    for (i += 2; i < s.size(); ++i) {
      const int digit = HexDigit(s[i]);
      if (digit < 0 || digit >= base) break;
      v = v * base + digit;
    }
    return v;
  }
  // A decimal number: sign, digits, point, digits, exponent. Parsed by hand
  // so that neither the locale nor words such as "inf" play a part.
  std::string text;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) text.push_back(s[i++]);
  size_t mantissa = 0;
  while (i < s.size() && IsDigit(s[i])) text.push_back(s[i++]), ++mantissa;
  if (i < s.size() && s[i] == '.') {
    text.push_back(s[i++]);
    while (i < s.size() && IsDigit(s[i])) text.push_back(s[i++]), ++mantissa;
  }
  if (mantissa == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent.push_back(s[j++]);
    size_t expDigits = 0;
    while (j < s.size() && IsDigit(s[j])) exponent.push_back(s[j++]), ++expDigits;
    if (expDigits > 0) text += exponent;
  }
  const char* first = text.data();
  if (*first == '+') ++first;
  double v = 0;
  const auto res = std::from_chars(first, text.data() + text.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    // Too large gives infinity, too small zero, with the number's sign.
    const bool neg = text[0] == '-';
    const bool tiny = text.find("e-") != std::string::npos;
    return tiny ? (neg ? -0.0 : 0.0) : (neg ? -HUGE_VAL : HUGE_VAL);
  }
  return res.ec == std::errc() ? v : 0;
}

std::string Hex(int64_t value) {
  uint64_t v = value < 0 ? static_cast<uint32_t>(value) : static_cast<uint64_t>(value);
  char buf[17];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, 16);
  std::string out(buf, res.ptr);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string Str(double value) {
  if (value == 0) return "0";
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char buf[64];
  // Whole numbers in plain decimal ("100000", never "1e+05"): names built
  // from counters depend on it.
  const bool whole = std::trunc(value) == value && std::fabs(value) < 1e19;
  const auto res = whole ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed)
                         : std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

std::string ConvertEncoding(const std::string& utf8, TextEncoding to) {
  return to == TextEncoding::MacJapanese ? ToMacJapanese(utf8) : utf8;
}

std::string DefineEncoding(const std::string& bytes, TextEncoding from) {
  if (from == TextEncoding::MacJapanese) return FromMacJapanese(bytes);
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = Utf8SequenceLength(bytes, i);
    if (n == 0) return {};
    i += n;
  }
  return bytes;
}

}  // namespace fw
