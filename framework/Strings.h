// Byte-string functions. Strings are UTF-8 byte strings; positions and
// lengths count bytes from 1 unless a function says it counts characters.
#pragma once

#include <cstdint>
#include <string>

namespace fw {

int32_t LenB(const std::string& s);
// Bytes start .. start + length - 1 (fewer where the string ends sooner);
// empty when start lies beyond the end. A start below 1 counts from 1.
std::string MidB(const std::string& s, int32_t start);
std::string MidB(const std::string& s, int32_t start, int32_t length);
std::string LeftB(const std::string& s, int32_t count);
std::string RightB(const std::string& s, int32_t count);

// Characters (UTF-8 sequences) rather than bytes.
int32_t Len(const std::string& s);
std::string Left(const std::string& s, int32_t count);

// -1, 0 or 1. Mode 0 compares bytes; mode 1 ignores the case of ASCII letters.
int32_t StrComp(const std::string& a, const std::string& b, int32_t mode);

// Formats a number by a pattern of digit places: "0" a digit that is always
// written (zero-filled), "#" a digit written only when significant,
// optionally a "." and further places. "000000" writes 7 as 000007.
std::string Format(double value, const std::string& pattern);

// The number at the start of the text: decimal (sign, point, exponent), or
// "&H" hexadecimal, "&O" octal, "&B" binary. Leading blanks are skipped;
// text that is no number gives 0.
double Val(const std::string& s);

// Upper-case hexadecimal digits of the value, without leading zeros (a
// negative value gives its 32-bit two's complement).
std::string Hex(int64_t value);

// The decimal text of the number: whole numbers with all their digits
// ("12", "-3", "100000"), others in the shortest form ("0.5", "1e-07").
std::string Str(double value);

enum class TextEncoding { UTF8, MacJapanese };
// Converts UTF-8 text to the given encoding; a character the encoding lacks
// becomes "?".
std::string ConvertEncoding(const std::string& utf8, TextEncoding to);
// Converts text in the given encoding back to UTF-8; empty when the bytes
// are not valid in that encoding.
std::string DefineEncoding(const std::string& bytes, TextEncoding from);

}  // namespace fw
