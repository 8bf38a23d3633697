#include "toolkit/controls/TextLayoutCache.h"

#include <QFontMetricsF>
#include <algorithm>

#include "toolkit/text/TextDocument.h"

namespace ostrel {

namespace {
// Enough for the few screens of lines a view shows, with room for scrolling back.
constexpr std::size_t kMaxEntries = 2000;
constexpr qreal kNoWrapWidth = 1e7;
constexpr int kTabColumns = 8;
}  // namespace

void TextLayoutCache::setFont(const QFont& font) {
  font_ = font;
  const QFontMetricsF metrics(font);
  average_ = qMax<qreal>(1, metrics.averageCharWidth());
  lineHeight_ = qMax(1, qCeil(metrics.lineSpacing()));
  ascent_ = metrics.ascent();
  tabStop_ = metrics.horizontalAdvance(QLatin1Char(' ')) * kTabColumns;
  reset();
}

void TextLayoutCache::setPreedit(qint64 position, const QString& text) {
  if (text.isEmpty() && preedit_.isEmpty()) return;
  preeditPosition_ = position;
  preedit_ = text;
  entries_.clear();
}

void TextLayoutCache::apply(const TextDocument& document, const TextDocument::Change& change) {
  if (&document != document_ || !preedit_.isEmpty()) return;  // the next get() starts afresh
  // The lines before the one holding the change keep their text (the line
  // end of the one just before may have changed).
  const qint64 first = qMax(change.firstLine, document.lineAt(change.position));
  const qint64 lastTouched = qMax(first, change.firstLine + change.linesRemoved);
  const qint64 lines = change.linesInserted - change.linesRemoved;
  const qint64 units = change.inserted - change.removed;
  std::unordered_map<qint64, Entry> entries;
  for (auto& [line, entry] : entries_) {
    if (line > lastTouched) {
      entry.line += lines;
      entry.start += units;
      entries.emplace(entry.line, std::move(entry));
    } else if (line < first) {
      entries.emplace(line, std::move(entry));
    }
  }
  entries_ = std::move(entries);
  // A long line's window stays where it was on the edited line, as on the others.
  std::unordered_map<qint64, qint64> windows;
  for (const auto& [line, from] : windows_) {
    if (line > lastTouched) {
      windows.emplace(line + lines, from);
    } else if (line <= first) {
      windows.emplace(line, from);
    }
  }
  windows_ = std::move(windows);
  revision_ = document.revision();
}

void TextLayoutCache::reset() {
  entries_.clear();
  windows_.clear();
  widest_ = 0;
}

QString TextLayoutCache::displayText(QString text) {
  for (QChar& c : text) {
    const char16_t u = c.unicode();
    if (u < 0x20 && u != u'\t') {
      c = QChar(char16_t(0x2400 + u));
    } else if (u == 0x7F) {
      c = QChar(char16_t(0x2421));
    } else if (u == 0x2028 || u == 0x2029 || u == 0x85) {
      c = QChar(char16_t(0x2424));
    }
  }
  return text;
}

qint64 TextLayoutCache::windowStart(qint64 line, qint64 lineLength, qreal firstX, int viewWidth) {
  const qreal first = qMax<qreal>(0, firstX) / average_;
  const qreal last = first + viewWidth / average_;
  // The window in use stays while the view is well inside it, so that text
  // and caret do not jump as the view moves or the line is edited.
  const auto kept = windows_.find(line);
  if (kept != windows_.end() && kept->second < lineLength) {
    const qint64 from = kept->second;
    constexpr qint64 kMarginUnits = kWindowStep / 2;
    const bool leftInside = from == 0 || first >= static_cast<qreal>(from + kMarginUnits);
    const bool rightInside = from + kWindowLength >= lineLength ||
                             last <= static_cast<qreal>(from + kWindowLength - kMarginUnits);
    if (leftInside && rightInside) return from;
  }
  const auto column = static_cast<qint64>(first);
  const qint64 from = std::clamp<qint64>((column / kWindowStep - 1) * kWindowStep, 0,
                                         qMax<qint64>(0, lineLength - kWindowLength / 2));
  windows_.insert_or_assign(line, from);
  return from;
}

const TextLayoutCache::Entry& TextLayoutCache::get(const TextDocument& document, qint64 line,
                                                   qreal firstX, int viewWidth) {
  if (&document != document_) windows_.clear();
  if (&document != document_ || document.revision() != revision_) {
    entries_.clear();
    document_ = &document;
    revision_ = document.revision();
  }
  const qint64 lineStart = document.lineStart(line);
  const qint64 lineLength = document.lineLength(line);
  qint64 from = 0;
  qint64 length = lineLength;
  if (lineLength > kLongLine) {
    from = windowStart(line, lineLength, firstX, viewWidth);
    length = qMin(lineLength - from, kWindowLength);
  }
  auto found = entries_.find(line);
  if (found != entries_.end() && found->second.start == lineStart + from &&
      found->second.length == length) {
    return found->second;
  }
  if (entries_.size() >= kMaxEntries) entries_.clear();

  Entry entry;
  entry.line = line;
  entry.start = lineStart + from;
  entry.length = length;
  entry.x = lineLength > kLongLine ? static_cast<qreal>(from) * average_ : 0;
  entry.layout =
      std::make_unique<QTextLayout>(displayText(document.text(entry.start, length)), font_);
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  option.setTabStopDistance(tabStop_);
  option.setFlags(QTextOption::IncludeTrailingSpaces);
  entry.layout->setTextOption(option);
  entry.layout->setCacheEnabled(true);
  const qint64 preeditAt = preeditPosition_ - entry.start;
  if (!preedit_.isEmpty() && preeditAt >= 0 && preeditAt <= length) {
    entry.layout->setPreeditArea(static_cast<int>(preeditAt), preedit_);
  }
  entry.layout->beginLayout();
  QTextLine textLine = entry.layout->createLine();
  if (textLine.isValid()) {
    textLine.setLineWidth(kNoWrapWidth);
    textLine.setPosition(QPointF(0, 0));
  }
  entry.layout->endLayout();
  const qreal natural = textLine.isValid() ? textLine.naturalTextWidth() : 0;
  // A long line is as wide as its average characters, or as far as its
  // window was seen to reach.
  const qreal right = lineLength > kLongLine
                          ? qMax(static_cast<qreal>(lineLength) * average_, entry.x + natural)
                          : natural;
  widest_ = qMax(widest_, right);
  return entries_.insert_or_assign(line, std::move(entry)).first->second;
}

}  // namespace ostrel
