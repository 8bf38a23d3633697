#include "toolkit/text/TextSearch.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "toolkit/files/Utf8.h"
#include "toolkit/text/TextSource.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ostrel {

namespace {

// Progress is told, and cancelling looked at, after this many bytes or units.
constexpr qint64 kSlice = 4 * 1024 * 1024;
// Text that has to be decoded to be searched is taken this many units at a time.
constexpr qint64 kDecodeChunk = 1024 * 1024;
constexpr qint64 kRegexBlock = 1024 * 1024;
// How far back the start of a line is looked for before a regular expression runs.
constexpr qint64 kLineLookBack = 64 * 1024;

char32_t folded(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  return QChar::toCaseFolded(c);
}

bool isWordCharacter(char32_t c) {
  if (c < 0x80)
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  const QChar::Category category = QChar::category(c);
  return QChar::isLetterOrNumber(c) || category == QChar::Mark_NonSpacing ||
         category == QChar::Mark_SpacingCombining || category == QChar::Mark_Enclosing;
}

// Every character that folds to the same character as c, c among them.
const std::vector<char32_t>& caseVariants(char32_t c) {
  static const auto groups = [] {
    std::unordered_map<char32_t, std::vector<char32_t>> map;
    for (char32_t u = 0; u < 0x20000; ++u) {
      if (u >= 0xD800 && u <= 0xDFFF) continue;
      const char32_t f = QChar::toCaseFolded(u);
      if (f != u) map[f].push_back(u);
    }
    for (auto& [f, members] : map) members.push_back(f);
    return map;
  }();
  thread_local std::vector<char32_t> alone(1);
  const auto found = groups.find(folded(c));
  if (found != groups.end()) return found->second;
  alone[0] = c;
  return alone;
}

int utf8Length(char32_t c) {
  return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

QByteArray utf8Of(char32_t c) {
  char16_t units[2];
  const int n = c >= 0x10000 ? 2 : 1;
  if (n == 2) {
    units[0] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    units[1] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    units[0] = static_cast<char16_t>(c);
  }
  QByteArray out;
  Utf8::encodeInto(QStringView(units, n), out);
  return out;
}

// Reads one character of well-formed UTF-8; returns its byte count, or 0
// when it would run past end.
int decodeUtf8(const unsigned char* p, const unsigned char* end, char32_t* c) {
  const unsigned char lead = *p;
  if (lead < 0x80) {
    *c = lead;
    return 1;
  }
  const int n = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (end - p < n) return 0;
  char32_t code = lead & (0x7F >> n);
  for (int i = 1; i < n; ++i) code = (code << 6) | (p[i] & 0x3F);
  *c = code;
  return n;
}

// How a literal is looked for in one loaded file's bytes.
struct BytePlan {
  enum class Check { Exact, TableFold, Utf8Fold };
  bool possible = false;
  Check check = Check::Exact;
  QByteArray exact;
  std::array<bool, 256> first{};
  std::array<bool, 256> last{};
  std::vector<unsigned char> firstBytes;
  std::vector<unsigned char> lastBytes;
  // Where the last byte is checked, or -1 when matches differ in length.
  qint64 lastOffset = -1;
  qint64 minimumLength = 1;
  int align = 1;
  std::array<char16_t, 256> tableFold{};
  std::vector<char16_t> foldedUnits;
  std::vector<char32_t> foldedCharacters;

  void addFirst(unsigned char b) {
    if (!first[b]) firstBytes.push_back(b);
    first[b] = true;
  }
  void addLast(unsigned char b) {
    if (!last[b]) lastBytes.push_back(b);
    last[b] = true;
  }
  bool vectorised() const {
    return firstBytes.size() <= 4 && (lastOffset < 0 || lastBytes.size() <= 4);
  }

  // The byte length of a match starting at p, or -1.
  qint64 matchAt(const unsigned char* body, qint64 at, qint64 size) const {
    const unsigned char* p = body + at;
    switch (check) {
      case Check::Exact:
        if (at % align != 0 || size - at < exact.size()) return -1;
        return std::memcmp(p, exact.constData(), static_cast<std::size_t>(exact.size())) == 0
                   ? exact.size()
                   : -1;
      case Check::TableFold: {
        const auto n = static_cast<qint64>(foldedUnits.size());
        if (size - at < n) return -1;
        for (qint64 k = 0; k < n; ++k) {
          if (tableFold[p[k]] != foldedUnits[static_cast<std::size_t>(k)]) return -1;
        }
        return n;
      }
      case Check::Utf8Fold: {
        const unsigned char* q = p;
        const unsigned char* end = body + size;
        for (const char32_t wanted : foldedCharacters) {
          if (q >= end) return -1;
          char32_t c = 0;
          const int n = decodeUtf8(q, end, &c);
          if (n == 0 || folded(c) != wanted) return -1;
          q += n;
        }
        return q - p;
      }
    }
    return -1;
  }
};

BytePlan planFor(const TextSource& source, const QString& needle, bool matchCase) {
  using Storage = TextSource::Storage;
  BytePlan plan;
  const Storage storage = source.storage();
  const auto finishExact = [&](int align) {
    if (plan.exact.isEmpty()) return;
    plan.possible = true;
    plan.align = align;
    plan.addFirst(static_cast<unsigned char>(plan.exact.front()));
    plan.addLast(static_cast<unsigned char>(plan.exact.back()));
    plan.lastOffset = plan.exact.size() - 1;
    plan.minimumLength = plan.exact.size();
  };
  if (storage == Storage::Decoded) return plan;
  if (storage == Storage::Table) {
    const TextCodec::ByteTable& table = *source.codec().byteTable();
    if (matchCase) {
      plan.exact = source.codec().encodeFragment(needle).value_or(QByteArray());
      finishExact(1);
      return plan;
    }
    plan.check = BytePlan::Check::TableFold;
    for (int b = 0; b < 256; ++b) plan.tableFold[b] = static_cast<char16_t>(folded(table[b]));
    for (const QChar c : needle)
      plan.foldedUnits.push_back(static_cast<char16_t>(folded(c.unicode())));
    for (int b = 0; b < 256; ++b) {
      if (plan.tableFold[b] == plan.foldedUnits.front())
        plan.addFirst(static_cast<unsigned char>(b));
      if (plan.tableFold[b] == plan.foldedUnits.back()) plan.addLast(static_cast<unsigned char>(b));
    }
    plan.possible = !plan.firstBytes.empty() && !plan.lastBytes.empty();
    plan.lastOffset = static_cast<qint64>(plan.foldedUnits.size()) - 1;
    plan.minimumLength = static_cast<qint64>(plan.foldedUnits.size());
    return plan;
  }
  if (storage == Storage::Utf8) {
    if (matchCase) {
      if (!Utf8::encodeInto(needle, plan.exact)) plan.exact.clear();
      finishExact(1);
      return plan;
    }
    plan.check = BytePlan::Check::Utf8Fold;
    const QList<uint> characters = needle.toUcs4();
    bool sameLengths = true;
    qint64 bytes = 0;
    for (const uint c : characters) {
      plan.foldedCharacters.push_back(folded(c));
      for (const char32_t v : caseVariants(c)) sameLengths &= utf8Length(v) == utf8Length(c);
      bytes += utf8Length(c);
    }
    for (const char32_t v : caseVariants(characters.front())) {
      plan.addFirst(static_cast<unsigned char>(utf8Of(v).front()));
    }
    if (sameLengths) {
      plan.lastOffset = bytes - 1;
      for (const char32_t v : caseVariants(characters.back())) {
        plan.addLast(static_cast<unsigned char>(utf8Of(v).back()));
      }
    }
    plan.minimumLength = static_cast<qint64>(characters.size());
    plan.possible = true;
    return plan;
  }
  // UTF-16 and UTF-32 by their code units; without a matching case they are
  // decoded instead.
  if (!matchCase) return plan;
  plan.exact = source.codec().encodeFragment(needle).value_or(QByteArray());
  const bool wide = storage == Storage::Utf32LE || storage == Storage::Utf32BE;
  finishExact(wide ? 4 : 2);
  return plan;
}

// Calls onCandidate(at) for each offset in [from, limit) whose bytes pass the
// plan's first and last byte; it returns where to go on, or -1 to stop.
// Returns false when stopped.
template <typename OnCandidate>
bool scanBytes(const unsigned char* body, qint64 from, qint64 limit, qint64 size,
               const BytePlan& plan, OnCandidate&& onCandidate) {
  const qint64 lastOffset = plan.lastOffset;
  limit = qMin(limit, size - plan.minimumLength + 1);
  qint64 i = from;
#if defined(__SSE2__)
  if (plan.vectorised()) {
    __m128i firsts[4] = {};
    __m128i lasts[4] = {};
    const auto nf = plan.firstBytes.size();
    const auto nl = plan.lastBytes.size();
    for (std::size_t k = 0; k < nf; ++k) {
      firsts[k] = _mm_set1_epi8(static_cast<char>(plan.firstBytes[k]));
    }
    for (std::size_t k = 0; k < nl; ++k) {
      lasts[k] = _mm_set1_epi8(static_cast<char>(plan.lastBytes[k]));
    }
    const qint64 reach = qMax<qint64>(lastOffset, 0) + 16;
    while (i < limit && i + reach <= size) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(body + i));
      __m128i hit = _mm_cmpeq_epi8(a, firsts[0]);
      for (std::size_t k = 1; k < nf; ++k) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(a, firsts[k]));
      if (lastOffset > 0) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(body + i + lastOffset));
        __m128i tail = _mm_cmpeq_epi8(b, lasts[0]);
        for (std::size_t k = 1; k < nl; ++k) {
          tail = _mm_or_si128(tail, _mm_cmpeq_epi8(b, lasts[k]));
        }
        hit = _mm_and_si128(hit, tail);
      }
      auto mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
      if (mask == 0) {
        i += 16;
        continue;
      }
      const qint64 at = i + __builtin_ctz(mask);
      if (at >= limit) return true;
      const qint64 next = onCandidate(at);
      if (next < 0) return false;
      i = qMax(next, at + 1);
    }
  }
#endif
  for (; i < limit;) {
    if (plan.firstBytes.size() == 1) {
      const void* found =
          std::memchr(body + i, plan.firstBytes.front(), static_cast<std::size_t>(limit - i));
      if (!found) return true;
      i = static_cast<const unsigned char*>(found) - body;
    } else if (!plan.first[body[i]]) {
      ++i;
      continue;
    }
    if (lastOffset > 0 && !plan.last[body[i + lastOffset]]) {
      ++i;
      continue;
    }
    const qint64 next = onCandidate(i);
    if (next < 0) return false;
    i = qMax(next, i + 1);
  }
  return true;
}

}  // namespace

// The state of one run of forEach.
struct TextSearch::Scan {
  const TextSnapshot& text;
  qint64 from;
  qint64 to;
  const Found& found;
  const Progress& progress;
  qint64 lastEnd;
  qint64 reported = 0;
  bool stopped = false;

  // Where the next search goes on after a candidate at position, or -1 to stop.
  qint64 offer(qint64 position, qint64 length, bool accepted) {
    if (position < lastEnd) return lastEnd;
    if (!accepted) return position + 1;
    lastEnd = position + length;
    if (!found({position, length})) {
      stopped = true;
      return -1;
    }
    return lastEnd;
  }
  // False when cancelled.
  bool tell(qint64 at) {
    if (!progress || at - reported < kSlice) return true;
    reported = at;
    return progress(qBound<qint64>(0, at - from, to - from), to - from);
  }
};

namespace {

// The character just before and just from position (0 at either end).
struct Neighbours {
  char32_t before = 0;
  char32_t after = 0;
};

char32_t characterBefore(const TextSnapshot& text, qint64 position) {
  if (position <= 0) return 0;
  const QString units = text.text(position - 2, qMin<qint64>(2, position));
  if (units.size() == 2 && units[0].isHighSurrogate() && units[1].isLowSurrogate()) {
    return QChar::surrogateToUcs4(units[0], units[1]);
  }
  return units.back().unicode();
}

char32_t characterFrom(const TextSnapshot& text, qint64 position) {
  const QString units = text.text(position, 2);
  if (units.isEmpty()) return 0;
  if (units.size() == 2 && units[0].isHighSurrogate() && units[1].isLowSurrogate()) {
    return QChar::surrogateToUcs4(units[0], units[1]);
  }
  return units[0].unicode();
}

}  // namespace

TextSearch::TextSearch(QString needle, const Options& options)
    : needle_(std::move(needle)), options_(options) {
  if (options_.regularExpression && !needle_.isEmpty()) {
    QString pattern = needle_;
    if (options_.wholeWords) pattern = QStringLiteral("\\b(?:%1)\\b").arg(pattern);
    QRegularExpression::PatternOptions flags = QRegularExpression::MultilineOption;
    if (!options_.matchCase) flags |= QRegularExpression::CaseInsensitiveOption;
    if (options_.wholeWords) flags |= QRegularExpression::UseUnicodePropertiesOption;
    // Lines end at CR, LF or CR LF, as they do everywhere else.
    expression_.setPattern(QStringLiteral("(*ANYCRLF)") + pattern);
    expression_.setPatternOptions(flags);
  }
}

QString TextSearch::problem() const {
  if (needle_.isEmpty())
    return QCoreApplication::translate("TextSearch", "There is nothing to find.");
  if (options_.regularExpression && !expression_.isValid()) {
    return QCoreApplication::translate("TextSearch", "“%1” is not a valid regular expression: %2.")
        .arg(needle_, expression_.errorString());
  }
  return {};
}

QString TextSearch::unencodable(const TextCodec& codec) const {
  using E = TextCodec::Encoding;
  const E encoding = codec.encoding();
  const bool unicode = encoding == E::Utf8 || encoding == E::Utf16LE || encoding == E::Utf16BE ||
                       encoding == E::Utf32LE || encoding == E::Utf32BE;
  if (options_.regularExpression || unicode) return {};
  for (const uint c : needle_.toUcs4()) {
    const auto fits = [&](char32_t v) {
      return codec.encodeFragment(QString::fromUcs4(&v, 1)).has_value();
    };
    bool held = fits(c);
    if (!held && !options_.matchCase) {
      for (const char32_t v : caseVariants(c)) held = held || fits(v);
    }
    if (!held) return QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
  }
  return {};
}

TextSearch::Outcome TextSearch::forEach(const TextSnapshot& text, qint64 from, qint64 to,
                                        const Found& found, const Progress& progress) const {
  if (!problem().isEmpty()) return Outcome::Finished;
  from = qBound<qint64>(0, from, text.length());
  to = qBound<qint64>(from, to, text.length());
  Scan scan{text, from, to, found, progress, from};
  return options_.regularExpression ? regexForEach(scan) : literalForEach(scan);
}

TextSearch::Outcome TextSearch::literalForEach(Scan& scan) const {
  const TextSnapshot& text = scan.text;
  const qint64 n = needle_.size();
  const Qt::CaseSensitivity cs = options_.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
  const bool firstIsWord = isWordCharacter(needle_.toUcs4().front());
  const bool lastIsWord = isWordCharacter(needle_.toUcs4().back());
  const auto wholeWord = [&](qint64 position, qint64 length) {
    if (!options_.wholeWords) return true;
    if (firstIsWord && isWordCharacter(characterBefore(text, position))) return false;
    return !(lastIsWord && isWordCharacter(characterFrom(text, position + length)));
  };
  // Matches in hay (text from base on) starting in [lo, hi).
  const auto searchUnits = [&](QStringView hay, qint64 base, qint64 lo, qint64 hi) {
    qsizetype i = lo - base;
    for (;;) {
      i = hay.indexOf(QStringView(needle_), qMax<qint64>(i, scan.lastEnd - base), cs);
      if (i < 0 || base + i >= hi) return true;
      const qint64 next = scan.offer(base + i, n, wholeWord(base + i, n));
      if (next < 0) return false;
      i = next - base;
    }
  };

  const TextSource* source = text.original();
  std::optional<BytePlan> plan;
  if (source) plan = planFor(*source, needle_, options_.matchCase);
  const auto* body =
      source ? reinterpret_cast<const unsigned char*>(source->body().data()) : nullptr;
  const bool utf8 = source && source->storage() == TextSource::Storage::Utf8;
  // Sources whose bytes cannot be compared: those decoded at load, and UTF-16
  // and UTF-32 when case does not matter.
  const bool decodeInstead =
      source && (source->storage() == TextSource::Storage::Decoded ||
                 (!options_.matchCase && !utf8 && source->storage() != TextSource::Storage::Table));
  // The UTF-8 positions of successive matches are counted on from the last.
  qint64 cursorByte = -1;
  qint64 cursorUnit = 0;
  const auto positionOf = [&](qint64 byte) {
    if (!utf8) return source->positionOfByte(byte);
    if (cursorByte >= 0 && byte >= cursorByte && byte - cursorByte < 4096) {
      cursorUnit += Utf8::countUnits(reinterpret_cast<const char*>(body + cursorByte),
                                     reinterpret_cast<const char*>(body + byte));
    } else {
      cursorUnit = source->positionOfByte(byte);
    }
    cursorByte = byte;
    return cursorUnit;
  };

  for (std::size_t i = text.pieceIndexAt(scan.from); i < text.pieceCount(); ++i) {
    const TextPiece& piece = text.piece(i);
    const qint64 start = text.pieceStart(i);
    const qint64 end = start + piece.length;
    if (start >= scan.to) break;
    const qint64 lo = qMax(scan.from, start);
    const qint64 hi = qMin(scan.to, end);
    if (piece.source != TextPiece::kOriginal) {
      if (!searchUnits(text.addedText(piece), start, lo, hi)) return Outcome::Stopped;
    } else if (plan && plan->possible) {
      // Offsets in the body for units of this piece.
      const qint64 shift = start - piece.start;
      const qint64 pieceEndByte = source->byteOffsetOf(piece.start + piece.length);
      qint64 at = source->byteOffsetOf(lo - shift);
      const qint64 limit = source->byteOffsetOf(hi - shift);
      while (at < limit) {
        const qint64 sliceEnd = qMin(limit, at + kSlice);
        qint64 resume = sliceEnd;
        const bool going = scanBytes(body, at, sliceEnd, pieceEndByte, *plan, [&](qint64 c) {
          const qint64 bytes = plan->matchAt(body, c, pieceEndByte);
          if (bytes < 0) return c + 1;
          const qint64 unit = positionOf(c);
          const qint64 position = unit + shift;
          const qint64 length =
              plan->check == BytePlan::Check::Utf8Fold && bytes != plan->lastOffset + 1
                  ? positionOf(c + bytes) - unit
                  : n;
          const qint64 next = scan.offer(position, length, wholeWord(position, length));
          if (next < 0) return qint64(-1);
          if (next == position + 1) return c + 1;
          return source->byteOffsetOf(next - shift);
        });
        if (!going) return Outcome::Stopped;
        if (!scan.tell(positionOf(resume) + shift)) return Outcome::Cancelled;
        at = resume;
      }
    } else if (decodeInstead) {
      // Decoded in chunks that overlap by a needle's length.
      for (qint64 at = lo; at < hi; at += kDecodeChunk) {
        QString chunk;
        const qint64 take = qMin(kDecodeChunk + n - 1, end - at);
        source->appendText(at - start + piece.start, take, chunk);
        if (!searchUnits(chunk, at, at, qMin(hi, at + kDecodeChunk))) return Outcome::Stopped;
        if (!scan.tell(at + kDecodeChunk)) return Outcome::Cancelled;
      }
    }
    // Matches that run on into the pieces after this one.
    if (n > 1 && i + 1 < text.pieceCount() && end - (n - 1) < hi) {
      const qint64 windowStart = qMax(lo, end - (n - 1));
      const QString window = text.text(windowStart, end + n - 1 - windowStart);
      if (!searchUnits(window, windowStart, windowStart, hi)) return Outcome::Stopped;
    }
    if (!scan.tell(end)) return Outcome::Cancelled;
  }
  return Outcome::Finished;
}

TextSearch::Outcome TextSearch::regexForEach(Scan& scan) const {
  const TextSnapshot& text = scan.text;
  const qint64 total = text.length();
  // From the start of the line holding from, so that ^ and lookbehinds see it.
  qint64 position = scan.from;
  {
    const qint64 back = qMax<qint64>(0, scan.from - kLineLookBack);
    const QString before = text.text(back, scan.from - back);
    const qsizetype lf = before.lastIndexOf(u'\n');
    const qsizetype cr = before.lastIndexOf(u'\r');
    const qsizetype end = qMax(lf, cr);
    if (end >= 0 || back == 0) position = back + end + 1;
  }
  const auto isLineEnd = [](QChar c) { return c == u'\n' || c == u'\r'; };
  while (position < scan.to) {
    // A block of whole lines.
    qint64 take = kRegexBlock;
    QString block;
    qsizetype blockEnd = 0;
    for (;;) {
      block = text.text(position, take);
      if (position + block.size() >= total) {
        blockEnd = block.size();
        break;
      }
      qsizetype lastEnd = -1;
      for (qsizetype k = block.size() - 1; k >= 0; --k) {
        // A CR at the very end may be the first half of CR LF: left for the next block.
        if (isLineEnd(block[k]) && !(k == block.size() - 1 && block[k] == u'\r')) {
          lastEnd = k;
          break;
        }
      }
      if (lastEnd >= 0) {
        blockEnd = lastEnd + 1;
        break;
      }
      take *= 2;
    }
    // The expression is spared checking the block on every call: a lone
    // surrogate (the one thing that would fail the check) is made U+FFFD,
    // which keeps every position.
    char16_t* units = reinterpret_cast<char16_t*>(block.data());
    for (qsizetype k = 0; k < blockEnd; ++k) {
      if (!QChar::isSurrogate(units[k])) continue;
      if (QChar::isHighSurrogate(units[k]) && k + 1 < block.size() &&
          QChar::isLowSurrogate(units[k + 1])) {
        ++k;
      } else {
        units[k] = 0xFFFD;
      }
    }
    const QStringView lines = QStringView(block).first(blockEnd);
    const auto matchIn = [&](QStringView subject, qsizetype offset) {
      return expression_.match(subject, offset, QRegularExpression::NormalMatch,
                               QRegularExpression::DontCheckSubjectStringMatchOption);
    };
    qsizetype at = qMax<qint64>(0, scan.from - position);
    while (at < lines.size()) {
      const QRegularExpressionMatch m = matchIn(lines, at);
      if (!m.hasMatch()) break;
      qsizetype start = m.capturedStart();
      qsizetype length = m.capturedLength();
      if (position + start >= scan.to) return Outcome::Finished;
      const QStringView matched = lines.sliced(start, length);
      if (std::any_of(matched.begin(), matched.end(), isLineEnd)) {
        // Across a line end: the expression gets the line alone instead.
        qsizetype lineStart = start;
        while (lineStart > 0 && !isLineEnd(lines[lineStart - 1])) --lineStart;
        qsizetype lineEnd = start;
        while (lineEnd < lines.size() && !isLineEnd(lines[lineEnd])) ++lineEnd;
        const QStringView line = lines.sliced(lineStart, lineEnd - lineStart);
        const QRegularExpressionMatch inLine = matchIn(line, start - lineStart);
        if (!inLine.hasMatch() || inLine.capturedLength() == 0) {
          at = lineEnd + 1;
          while (at < lines.size() && at > 0 && lines[at - 1] == u'\r' && lines[at] == u'\n') ++at;
          continue;
        }
        start = lineStart + inLine.capturedStart();
        length = inLine.capturedLength();
      }
      if (length == 0) {
        at = start + 1;
        continue;
      }
      if (position + start >= scan.to) return Outcome::Finished;
      const qint64 next = scan.offer(position + start, length, true);
      if (next < 0) return Outcome::Stopped;
      at = next - position;
    }
    position += blockEnd;
    if (scan.progress && !scan.progress(qMin(position, scan.to) - scan.from, scan.to - scan.from)) {
      return Outcome::Cancelled;
    }
  }
  return Outcome::Finished;
}

TextSearch::Result TextSearch::findNext(const TextSnapshot& text, qint64 from, qint64 to,
                                        const Progress& progress) const {
  Result result;
  const Outcome outcome = forEach(
      text, from, to,
      [&](const Match& match) {
        result.match = match;
        return false;
      },
      progress);
  result.cancelled = outcome == Outcome::Cancelled;
  return result;
}

std::vector<TextSearch::Match> TextSearch::matchesIn(QStringView text) const {
  std::vector<Match> found;
  if (!problem().isEmpty()) return found;
  if (options_.regularExpression) {
    for (QRegularExpressionMatchIterator it = expression_.globalMatch(text); it.hasNext();) {
      const QRegularExpressionMatch m = it.next();
      if (m.capturedLength() > 0) found.push_back({m.capturedStart(), m.capturedLength()});
    }
    return found;
  }
  const Qt::CaseSensitivity cs = options_.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
  const qsizetype n = needle_.size();
  const auto wordAt = [&](qsizetype i) {
    return i >= 0 && i < text.size() && isWordCharacter(text[i].unicode());
  };
  const bool firstIsWord = isWordCharacter(needle_.front().unicode());
  const bool lastIsWord = isWordCharacter(needle_.back().unicode());
  for (qsizetype i = 0;;) {
    const qsizetype at = text.indexOf(QStringView(needle_), i, cs);
    if (at < 0) return found;
    if (options_.wholeWords &&
        ((firstIsWord && wordAt(at - 1)) || (lastIsWord && wordAt(at + n)))) {
      i = at + 1;
      continue;
    }
    found.push_back({at, n});
    i = at + n;
  }
}

TextSearch::Result TextSearch::findPrevious(const TextSnapshot& text, qint64 from, qint64 before,
                                            const Progress& progress) const {
  // Windows of growing size, each searched forwards, from before backwards.
  Result result;
  qint64 window = kDecodeChunk;
  const qint64 last = qMin(before, text.length());
  const qint64 total = last - from;
  qint64 end = last;
  // Within a window, progress counts on from the windows after it.
  Progress within;
  if (progress) within = [&](qint64 done, qint64) { return progress(last - end + done, total); };
  while (end > from) {
    const qint64 start = qMax(from, end - window);
    const Outcome outcome = forEach(
        text, start, end,
        [&](const Match& match) {
          result.match = match;
          return true;
        },
        within);
    if (outcome == Outcome::Cancelled) {
      result.cancelled = true;
      return result;
    }
    if (result.match) return result;
    end = start;
    window = qMin<qint64>(window * 2, 64 * kDecodeChunk);
    if (progress && !progress(last - end, total)) {
      result.cancelled = true;
      return result;
    }
  }
  return result;
}

}  // namespace ostrel
