#include "toolkit/text/TextSearch.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "toolkit/files/Utf8.h"
#include "toolkit/text/TextSource.h"
#include "toolkit/text/WholeWord.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ostrel {

namespace {

// Progress is told, and cancelling looked at, after this many bytes or units.
constexpr qint64 kSlice = 4 * 1024 * 1024;
// Text that has to be decoded to be searched is taken this many units at a time.
constexpr qint64 kDecodeChunk = 1024 * 1024;
// A regular expression runs over windows of the text this long, however long
// its lines, so a window is decoded in a moment and cancelling is looked at
// between windows and every few hundred matches.
constexpr qint64 kRegexWindow = 256 * 1024;
// What a window holds of the text before it, for lookbehinds; from the start
// of its line when that is nearer.
constexpr qint64 kRegexContext = 4 * 1024;
// The longest match: one that would run on is cut here.
constexpr qint64 kRegexLongest = 4 * 1024 * 1024;
constexpr int kMatchesBetweenChecks = 256;

char32_t folded(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  return QChar::toCaseFolded(c);
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
  return WholeWord::before(units, units.size());
}

char32_t characterFrom(const TextSnapshot& text, qint64 position) {
  return WholeWord::at(text.text(position, 2), 0);
}

bool isLineEnd(QChar c) {
  return c == u'\n' || c == u'\r';
}

// Where a regular expression's window for matches from position starts:
// the start of its line when that lies within the context, else the context.
qint64 windowStart(const TextSnapshot& text, qint64 position) {
  const qint64 back = qMin(position, kRegexContext);
  const QString before = text.text(position - back, back);
  for (qsizetype k = before.size(); k > 0; --k) {
    if (isLineEnd(before[k - 1])) return position - back + k;
  }
  // Not inside a pair of surrogates.
  const qint64 start = position - back;
  return !before.isEmpty() && before[0].isLowSurrogate() ? start + 1 : start;
}

// The expression is spared checking the subject on every call: a lone
// surrogate (the one thing that would fail the check) is made U+FFFD, which
// keeps every position.
void replaceLoneSurrogates(QString& subject) {
  char16_t* units = reinterpret_cast<char16_t*>(subject.data());
  const qsizetype size = subject.size();
  for (qsizetype k = 0; k < size; ++k) {
    if (!QChar::isSurrogate(units[k])) continue;
    if (QChar::isHighSurrogate(units[k]) && k + 1 < size && QChar::isLowSurrogate(units[k + 1])) {
      ++k;
    } else {
      units[k] = 0xFFFD;
    }
  }
}

}  // namespace

TextSearch::TextSearch(QString needle, const Options& options)
    : needle_(std::move(needle)), options_(options) {
  if (options_.regularExpression && !needle_.isEmpty()) {
    // Letters, digits, word boundaries and case as in every script, as the
    // literal search has them.
    QRegularExpression::PatternOptions flags =
        QRegularExpression::MultilineOption | QRegularExpression::UseUnicodePropertiesOption;
    if (!options_.matchCase) flags |= QRegularExpression::CaseInsensitiveOption;
    // Lines end at CR, LF or CR LF, as they do everywhere else.
    const QString lineEnds = QStringLiteral("(*ANYCRLF)");
    expression_.setPatternOptions(flags);
    // Checked alone: wrapped for whole words, a stray parenthesis could pass.
    expression_.setPattern(lineEnds + needle_);
    if (expression_.isValid() && options_.wholeWords) {
      expression_.setPattern(lineEnds + WholeWord::wrap(needle_));
    }
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
  const char32_t first = WholeWord::at(needle_, 0);
  const char32_t last = WholeWord::before(needle_, needle_.size());
  const auto wholeWord = [&](qint64 position, qint64 length) {
    return !options_.wholeWords || WholeWord::fits(characterBefore(text, position), first, last,
                                                   characterFrom(text, position + length));
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
  const auto goOn = [&](qint64 at) {
    return !scan.progress || scan.progress(qBound<qint64>(0, at - scan.from, scan.to - scan.from),
                                           scan.to - scan.from);
  };
  const auto matchIn = [&](QStringView subject, qsizetype offset,
                           QRegularExpression::MatchType type) {
    return expression_.match(subject, offset, type,
                             QRegularExpression::DontCheckSubjectStringMatchOption);
  };
  int sinceCheck = 0;
  // Matches are looked for from position on, in a window reaching this far.
  qint64 position = scan.from;
  qint64 reach = kRegexWindow;
  while (position < scan.to) {
    const qint64 start = windowStart(text, position);
    qint64 end = qMin(total, position + qMin(reach, scan.to - position + kRegexContext));
    QString subject = text.text(start, end - start);
    // A pair of surrogates cut by the window's end waits for the next window.
    if (end < total && end - position > 1 && subject.back().isHighSurrogate()) {
      subject.chop(1);
      --end;
    }
    replaceLoneSurrogates(subject);
    // Where the window ends inside the text, a match, a $, a \b or a
    // lookahead that would need what follows is reported as partial, and
    // the window moves on to it or grows to hold it, up to the longest match.
    const bool whole = end == total || end - position >= kRegexLongest;
    const auto type =
        whole ? QRegularExpression::NormalMatch : QRegularExpression::PartialPreferFirstMatch;
    const QStringView view(subject);
    qsizetype at = position - start;
    bool moved = false;
    while (at < view.size()) {
      const QRegularExpressionMatch m = matchIn(view, at, type);
      if (++sinceCheck == kMatchesBetweenChecks) {
        sinceCheck = 0;
        if (!goOn(start + at)) return Outcome::Cancelled;
      }
      if (m.hasPartialMatch()) {
        const qint64 from = start + qMax<qsizetype>(at, m.capturedStart());
        if (from > position) {
          position = from;
          reach = kRegexWindow;
        } else {
          reach = (end - position) * 2;
        }
        moved = true;
        break;
      }
      if (!m.hasMatch()) break;
      qsizetype first = m.capturedStart();
      qsizetype length = m.capturedLength();
      if (start + first >= scan.to) return Outcome::Finished;
      const QStringView matched = view.sliced(first, length);
      if (std::any_of(matched.begin(), matched.end(), isLineEnd)) {
        // Across a line end: the expression gets the rest of the line alone.
        qsizetype lineEnd = first;
        while (!isLineEnd(view[lineEnd])) ++lineEnd;
        const QRegularExpressionMatch inLine =
            matchIn(view.first(lineEnd), first, QRegularExpression::NormalMatch);
        if (!inLine.hasMatch() || inLine.capturedLength() == 0) {
          at = lineEnd + 1;
          if (view[lineEnd] == u'\r' && at < view.size() && view[at] == u'\n') ++at;
          continue;
        }
        first = inLine.capturedStart();
        length = inLine.capturedLength();
        if (start + first >= scan.to) return Outcome::Finished;
      }
      if (length == 0) {
        at = first + 1;
        continue;
      }
      const qint64 next = scan.offer(start + first, length, true);
      if (next < 0) return Outcome::Stopped;
      at = next - start;
    }
    if (!moved) {
      position = qMax(end, start + at);
      reach = kRegexWindow;
    }
    if (!goOn(qMin(position, scan.to))) return Outcome::Cancelled;
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
  const char32_t first = WholeWord::at(needle_, 0);
  const char32_t last = WholeWord::before(needle_, n);
  for (qsizetype i = 0;;) {
    const qsizetype at = text.indexOf(QStringView(needle_), i, cs);
    if (at < 0) return found;
    if (options_.wholeWords &&
        !WholeWord::fits(WholeWord::before(text, at), first, last, WholeWord::at(text, at + n))) {
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
