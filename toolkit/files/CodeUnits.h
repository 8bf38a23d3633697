#pragma once

#include <QtGlobal>
#include <cstring>

namespace ostrel {

// The small steps every decoder of Unicode bytes takes: reading a unit in
// either byte order, telling valid code points, writing one as UTF-16.
class CodeUnits {
 public:
  static char16_t load16(const char* p, bool bigEndian) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return bigEndian ? char16_t((u[0] << 8) | u[1]) : char16_t((u[1] << 8) | u[0]);
  }

  static quint32 load32(const char* p, bool bigEndian) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return bigEndian ? (quint32(u[0]) << 24) | (quint32(u[1]) << 16) | (quint32(u[2]) << 8) | u[3]
                     : (quint32(u[3]) << 24) | (quint32(u[2]) << 16) | (quint32(u[1]) << 8) | u[0];
  }

  // A character, not a surrogate and not past U+10FFFF.
  static bool isCodePoint(quint32 code) {
    return code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
  }

  // Writes a valid code point as one or two units; returns how many.
  static int store(quint32 code, char16_t* out) {
    if (code < 0x10000) {
      out[0] = static_cast<char16_t>(code);
      return 1;
    }
    out[0] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    return 2;
  }

  // True when the eight bytes at p are all ASCII.
  static bool isAsciiWord(const char* p) {
    quint64 word = 0;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
  }
};

}  // namespace ostrel
