#include "toolkit/files/Utf8.h"

#include <cstring>

#include "toolkit/files/CodeUnits.h"

namespace ostrel {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// How many bytes of a word have bit 7 set, for a word with no other bits set.
int bytesFlagged(quint64 highBits) {
  return static_cast<int>((((highBits >> 7) * 0x0101010101010101ULL) >> 56) & 0xFF);
}

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the well-formed sequence at p (of n bytes left) and its code
// point, or 0 when it is not well formed.
int sequenceAt(const unsigned char* p, qsizetype n, char32_t* code) {
  const unsigned char lead = p[0];
  if (lead < 0x80) {
    *code = lead;
    return 1;
  }
  int length = 0;
  char32_t min = 0;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    min = 0x80;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    min = 0x800;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    min = 0x10000;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (n < length) return 0;
  for (int i = 1; i < length; ++i) {
    if (!isContinuation(p[i])) return 0;
    value = (value << 6) | (p[i] & 0x3F);
  }
  if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  return length;
}

}  // namespace

bool Utf8::isValid(QByteArrayView bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const qsizetype n = bytes.size();
  qsizetype i = 0;
  while (i < n) {
    if (i + 8 <= n && CodeUnits::isAsciiWord(reinterpret_cast<const char*>(p + i))) {
      i += 8;
      continue;
    }
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    char32_t code = 0;
    const int length = sequenceAt(p + i, n - i, &code);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

qsizetype Utf8::decodeInto(QByteArrayView bytes, char16_t* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const qsizetype n = bytes.size();
  char16_t* const first = out;
  qsizetype i = 0;
  while (i < n) {
    if (p[i] < 0x80) {
      *out++ = p[i++];
      continue;
    }
    char32_t code = 0;
    const int length = sequenceAt(p + i, n - i, &code);
    if (length == 0) {
      *out++ = kReplacement;
      ++i;
      continue;
    }
    i += length;
    out += CodeUnits::store(code, out);
  }
  return out - first;
}

qint64 Utf8::countUnits(const char* begin, const char* end) {
  // Every character starts with one non-continuation byte; those of four
  // bytes (leads 0xF0 and up) take two units. Eight bytes at a time: a
  // continuation byte has bit 7 set and bit 6 clear, a long lead bits 7 to 4.
  constexpr quint64 kHigh = 0x8080808080808080ULL;
  qint64 units = 0;
  const char* p = begin;
  for (; end - p >= 8; p += 8) {
    quint64 w = 0;
    std::memcpy(&w, p, sizeof w);
    const quint64 continuation = w & ~(w << 1) & kHigh;
    const quint64 longLead = w & (w << 1) & (w << 2) & (w << 3) & kHigh;
    units += 8 - bytesFlagged(continuation) + bytesFlagged(longLead);
  }
  for (; p < end; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    units += static_cast<qint64>(!isContinuation(byte)) + static_cast<qint64>(byte >= 0xF0);
  }
  return units;
}

bool Utf8::encodeInto(QStringView text, QByteArray& out) {
  const qsizetype n = text.size();
  const char16_t* s = text.utf16();
  out.reserve(out.size() + n);
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = s[i];
    if (c < 0x80) {
      out.append(static_cast<char>(c));
    } else if (c < 0x800) {
      out.append(static_cast<char>(0xC0 | (c >> 6)));
      out.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      if (c >= 0xDC00 || i + 1 >= n || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      const char32_t code = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
      out.append(static_cast<char>(0xF0 | (code >> 18)));
      out.append(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out.append(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.append(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.append(static_cast<char>(0xE0 | (c >> 12)));
      out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.append(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return true;
}

}  // namespace ostrel
