#include "toolkit/controls/TextBox.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <algorithm>
#include <array>
#include <cmath>

#include "toolkit/controls/TextBoxAccessible.h"
#include "toolkit/text/TextDocument.h"

namespace ostrel {

namespace {
constexpr int kMargin = 3;
// The vertical bar counts lines; beyond this many it counts fractions of the text.
constexpr qint64 kBarMax = qint64(1) << 30;
// How far word searches look: a word is not longer than this.
constexpr qint64 kWordReach = 1024;
// How much of the text decides which line end new lines take.
constexpr qint64 kLineEndSample = qint64(1) << 20;

bool isWordCharacter(QChar c) {
  return c.isLetterOrNumber() || c == QLatin1Char('_') || c.isMark();
}

// The most frequent line end of text, the first met on a tie; CR LF without any.
QString commonLineEnd(QStringView text) {
  std::array<qint64, 3> counts{};  // CR LF, LF, CR
  std::array<qint64, 3> first{-1, -1, -1};
  for (qsizetype i = 0; i < text.size(); ++i) {
    int kind = -1;
    if (text[i] == u'\r') {
      kind = i + 1 < text.size() && text[i + 1] == u'\n' ? 0 : 2;
      if (kind == 0) ++i;
    } else if (text[i] == u'\n') {
      kind = 1;
    }
    if (kind < 0) continue;
    if (counts[kind]++ == 0) first[kind] = i;
  }
  int best = 0;
  for (int k = 1; k < 3; ++k) {
    if (counts[k] > counts[best] ||
        (counts[k] == counts[best] && counts[k] > 0 && first[k] < first[best])) {
      best = k;
    }
  }
  static const std::array<QString, 3> ends = {QStringLiteral("\r\n"), QStringLiteral("\n"),
                                              QStringLiteral("\r")};
  return ends[best];
}

struct KeyMove {
  QKeySequence::StandardKey key;
  int move;
  TextBox::Selection selection;
};
}  // namespace

TextBox::TextBox(QWidget* parent, const QString& name, ScaleMode mode)
    : QAbstractScrollArea(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  setAttribute(Qt::WA_KeyCompression, false);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  TextBoxAccessible::attach(this);
  layouts_.setFont(font());
  setDocument(std::make_unique<TextDocument>());
}

TextBox::~TextBox() {
  document_->setChangeListener({});
}

void TextBox::setDocument(std::unique_ptr<TextDocument> document) {
  if (document_) document_->setChangeListener({});
  document_ = std::move(document);
  document_->setChangeListener(
      [this](const TextDocument::Change& change) { documentChanged(change); });
  newLine_ = commonLineEnd(document_->text(0, kLineEndSample));
  caret_ = anchor_ = 0;
  topLine_ = 0;
  wantedX_ = -1;
  preedit_.clear();
  layouts_.setPreedit(0, {});
  layouts_.reset();
  horizontalScrollBar()->setValue(0);
  updateScrollBars();
  verticalScrollBar()->setValue(0);
  viewport()->update();
  emit textChanged();
  emit cursorPositionChanged();
}

void TextBox::setText(const QString& text) {
  // Exactly the characters given, lone surrogates too: the text goes in as
  // an edit of an empty document, which then forgets the edit.
  auto document = std::make_unique<TextDocument>();
  document->replace(0, 0, text);
  document->clearUndo();
  document->setUnmodified();
  setDocument(std::move(document));
}

QString TextBox::Text() const {
  return document_->toString();
}

float TextBox::FontSize() const {
  return static_cast<float>(font().pointSizeF());
}

void TextBox::setFontSize(float points) {
  QFont f = font();
  f.setPointSizeF(points);
  setFont(f);
}

// ---------------------------------------------------------------- edits

void TextBox::documentChanged(const TextDocument::Change& change) {
  caret_ = std::clamp<qint64>(0, caret_, document_->length());
  anchor_ = std::clamp<qint64>(0, anchor_, document_->length());
  updateScrollBars();
  viewport()->update();
  TextBoxAccessible::textChanged(this, change);
  emit textChanged();
}

void TextBox::replaceSelection(const QString& text) {
  const qint64 from = qMin(caret_, anchor_);
  const qint64 length = qAbs(caret_ - anchor_);
  if (length == 0 && text.isEmpty()) return;
  if (length > 0) document_->breakUndoCoalescing();
  document_->replace(from, length, text);
  caret_ = anchor_ = qMin(from + text.size(), document_->length());
  wantedX_ = -1;
  ensureCursorVisible();
  emit cursorPositionChanged();
}

void TextBox::insertText(const QString& text) {
  replaceSelection(text);
}

void TextBox::deleteSelection() {
  replaceSelection(QString());
}

void TextBox::deleteAround(int direction, bool wholeWord) {
  if (!hasSelection()) {
    anchor_ = wholeWord ? wordBoundary(caret_, direction) : nextCharacter(caret_, direction);
  }
  replaceSelection(QString());
}

void TextBox::selectAll() {
  anchor_ = 0;
  caret_ = document_->length();
  document_->breakUndoCoalescing();
  viewport()->update();
  emit cursorPositionChanged();
}

void TextBox::undo() {
  if (const auto range = document_->undo()) {
    anchor_ = caret_ = qMin(range->position + range->length, document_->length());
    ensureCursorVisible();
    emit cursorPositionChanged();
  }
}

void TextBox::redo() {
  if (const auto range = document_->redo()) {
    anchor_ = caret_ = qMin(range->position + range->length, document_->length());
    ensureCursorVisible();
    emit cursorPositionChanged();
  }
}

QString TextBox::selectedText() const {
  return document_->text(qMin(caret_, anchor_), qAbs(caret_ - anchor_));
}

void TextBox::copy() const {
  if (hasSelection()) QApplication::clipboard()->setText(selectedText());
}

void TextBox::cut() {
  if (!hasSelection()) return;
  copy();
  deleteSelection();
}

void TextBox::paste() {
  const QString text = QApplication::clipboard()->text();
  if (text.isEmpty()) return;
  document_->breakUndoCoalescing();
  replaceSelection(text);
  document_->breakUndoCoalescing();
}

// ---------------------------------------------------------------- caret

void TextBox::setCursorPosition(qint64 position, Selection selection) {
  position = std::clamp<qint64>(0, position, document_->length());
  // Never between the CR and LF of a line end.
  const qint64 line = document_->lineAt(position);
  position = qMin(position, document_->lineStart(line) + document_->lineLength(line));
  if (position != caret_) document_->breakUndoCoalescing();
  caret_ = position;
  if (selection == Selection::Collapse) anchor_ = position;
  restartBlink();
  viewport()->update();
  emit cursorPositionChanged();
}

TextBox::LineSpan TextBox::lineSpanAt(qint64 position) const {
  const qint64 line = document_->lineAt(position);
  const qint64 start = document_->lineStart(line);
  return {line, start, start + document_->lineLength(line)};
}

qint64 TextBox::nextCharacter(qint64 position, int direction) const {
  const TextDocument& d = *document_;
  const auto [line, start, end] = lineSpanAt(position);
  if (direction > 0) {
    if (position >= end) return line + 1 < d.lineCount() ? d.lineStart(line + 1) : position;
    const QString two = d.text(position, 2);
    return position +
           (two.size() == 2 && two[0].isHighSurrogate() && two[1].isLowSurrogate() ? 2 : 1);
  }
  if (position <= start) return line > 0 ? d.lineStart(line - 1) + d.lineLength(line - 1) : 0;
  const QString two = d.text(position - 2, 2);
  return position - (position - 2 >= start && two.size() == 2 && two[0].isHighSurrogate() &&
                             two[1].isLowSurrogate()
                         ? 2
                         : 1);
}

qint64 TextBox::wordBoundary(qint64 position, int direction) const {
  const TextDocument& d = *document_;
  const auto [line, start, end] = lineSpanAt(position);
  if (direction > 0) {
    if (position >= end) return nextCharacter(position, 1);
    const QString t = d.text(position, qMin(end - position, kWordReach));
    qsizetype i = 0;
    while (i < t.size() && isWordCharacter(t[i])) ++i;
    while (i < t.size() && !isWordCharacter(t[i])) ++i;
    return position + qMax<qsizetype>(i, 1);
  }
  if (position <= start) return nextCharacter(position, -1);
  const qint64 from = qMax(start, position - kWordReach);
  const QString t = d.text(from, position - from);
  qsizetype i = t.size();
  while (i > 0 && !isWordCharacter(t[i - 1])) --i;
  while (i > 0 && isWordCharacter(t[i - 1])) --i;
  return qMin(from + i, position - 1);
}

void TextBox::selectWordAt(qint64 position) {
  const TextDocument& d = *document_;
  const auto [line, start, end] = lineSpanAt(position);
  const qint64 from = qMax(start, position - kWordReach);
  const qint64 to = qMin(end, position + kWordReach);
  const QString t = d.text(from, to - from);
  auto i = static_cast<qsizetype>(position - from);
  if (i >= t.size() && i > 0) --i;  // at the line's end: the word before
  qsizetype left = i;
  qsizetype right = i;
  if (i < t.size()) {
    const bool word = isWordCharacter(t[i]);
    while (left > 0 && isWordCharacter(t[left - 1]) == word && (word || t[left - 1] == t[i]))
      --left;
    while (right < t.size() && isWordCharacter(t[right]) == word && (word || t[right] == t[i])) {
      ++right;
    }
  }
  anchor_ = from + left;
  setCursorPosition(from + right, Selection::Extend);
}

qint64 TextBox::positionAfter(Motion move) const {
  const TextDocument& d = *document_;
  const qint64 line = d.lineAt(caret_);
  const auto lineMove = [&](qint64 lines) {
    const qint64 target = std::clamp<qint64>(0, line + lines, d.lineCount() - 1);
    if (target == line && lines != 0) {
      return lines < 0 ? d.lineStart(line) : d.lineStart(line) + d.lineLength(line);
    }
    return positionAtX(target, wantedX_);
  };
  switch (move) {
    case Motion::Left:
      return nextCharacter(caret_, -1);
    case Motion::Right:
      return nextCharacter(caret_, 1);
    case Motion::WordLeft:
      return wordBoundary(caret_, -1);
    case Motion::WordRight:
      return wordBoundary(caret_, 1);
    case Motion::Up:
      return lineMove(-1);
    case Motion::Down:
      return lineMove(1);
    case Motion::PageUp:
      return lineMove(-visibleLineCount());
    case Motion::PageDown:
      return lineMove(visibleLineCount());
    case Motion::LineStart:
      return d.lineStart(line);
    case Motion::LineEnd:
      return d.lineStart(line) + d.lineLength(line);
    case Motion::Start:
      return 0;
    case Motion::End:
      return d.length();
  }
  return caret_;
}

void TextBox::moveCaret(Motion move, Selection selection) {
  const bool vertical = move == Motion::Up || move == Motion::Down || move == Motion::PageUp ||
                        move == Motion::PageDown;
  if (vertical && wantedX_ < 0) wantedX_ = xOf(caret_);
  qint64 target = positionAfter(move);
  if (selection == Selection::Collapse && hasSelection() &&
      (move == Motion::Left || move == Motion::Right)) {
    target = move == Motion::Left ? qMin(caret_, anchor_) : qMax(caret_, anchor_);
  }
  if (move == Motion::PageUp || move == Motion::PageDown) {
    const qint64 page = visibleLineCount();
    setTopLine(topLine_ + (move == Motion::PageUp ? -page : page));
  }
  const qreal keptX = wantedX_;
  setCursorPosition(target, selection);
  wantedX_ = vertical ? keptX : -1;
  ensureCursorVisible();
}

// ---------------------------------------------------------------- keys

bool TextBox::handleShortcut(QKeyEvent* event) {
  static const std::array<KeyMove, 24> moves = {{
      {QKeySequence::MoveToNextChar, static_cast<int>(Motion::Right), Selection::Collapse},
      {QKeySequence::MoveToPreviousChar, static_cast<int>(Motion::Left), Selection::Collapse},
      {QKeySequence::MoveToNextWord, static_cast<int>(Motion::WordRight), Selection::Collapse},
      {QKeySequence::MoveToPreviousWord, static_cast<int>(Motion::WordLeft), Selection::Collapse},
      {QKeySequence::MoveToNextLine, static_cast<int>(Motion::Down), Selection::Collapse},
      {QKeySequence::MoveToPreviousLine, static_cast<int>(Motion::Up), Selection::Collapse},
      {QKeySequence::MoveToNextPage, static_cast<int>(Motion::PageDown), Selection::Collapse},
      {QKeySequence::MoveToPreviousPage, static_cast<int>(Motion::PageUp), Selection::Collapse},
      {QKeySequence::MoveToStartOfLine, static_cast<int>(Motion::LineStart), Selection::Collapse},
      {QKeySequence::MoveToEndOfLine, static_cast<int>(Motion::LineEnd), Selection::Collapse},
      {QKeySequence::MoveToStartOfDocument, static_cast<int>(Motion::Start), Selection::Collapse},
      {QKeySequence::MoveToEndOfDocument, static_cast<int>(Motion::End), Selection::Collapse},
      {QKeySequence::SelectNextChar, static_cast<int>(Motion::Right), Selection::Extend},
      {QKeySequence::SelectPreviousChar, static_cast<int>(Motion::Left), Selection::Extend},
      {QKeySequence::SelectNextWord, static_cast<int>(Motion::WordRight), Selection::Extend},
      {QKeySequence::SelectPreviousWord, static_cast<int>(Motion::WordLeft), Selection::Extend},
      {QKeySequence::SelectNextLine, static_cast<int>(Motion::Down), Selection::Extend},
      {QKeySequence::SelectPreviousLine, static_cast<int>(Motion::Up), Selection::Extend},
      {QKeySequence::SelectNextPage, static_cast<int>(Motion::PageDown), Selection::Extend},
      {QKeySequence::SelectPreviousPage, static_cast<int>(Motion::PageUp), Selection::Extend},
      {QKeySequence::SelectStartOfLine, static_cast<int>(Motion::LineStart), Selection::Extend},
      {QKeySequence::SelectEndOfLine, static_cast<int>(Motion::LineEnd), Selection::Extend},
      {QKeySequence::SelectStartOfDocument, static_cast<int>(Motion::Start), Selection::Extend},
      {QKeySequence::SelectEndOfDocument, static_cast<int>(Motion::End), Selection::Extend},
  }};
  for (const KeyMove& m : moves) {
    if (event->matches(m.key)) {
      moveCaret(static_cast<Motion>(m.move), m.selection);
      return true;
    }
  }
  if (event->matches(QKeySequence::SelectAll)) {
    selectAll();
  } else if (event->matches(QKeySequence::Copy)) {
    copy();
  } else if (event->matches(QKeySequence::Cut)) {
    cut();
  } else if (event->matches(QKeySequence::Paste)) {
    paste();
  } else if (event->matches(QKeySequence::Undo)) {
    undo();
  } else if (event->matches(QKeySequence::Redo)) {
    redo();
  } else if (event->matches(QKeySequence::DeleteStartOfWord)) {
    deleteAround(-1, true);
  } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
    deleteAround(1, true);
  } else if (event->matches(QKeySequence::Delete)) {
    deleteAround(1, false);
  } else {
    return false;
  }
  return true;
}

bool TextBox::event(QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    // Tab types a tab here, as in the editors people know, instead of moving on.
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab &&
        !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      keyPressEvent(key);
      return true;
    }
  } else if (event->type() == QEvent::ShortcutOverride) {
    // The editing keys belong to the text box, not to a window's shortcuts.
    auto* key = static_cast<QKeyEvent*>(event);
    const bool typing = !key->text().isEmpty() && key->text().at(0).isPrint() &&
                        !(key->modifiers() & Qt::ControlModifier);
    if (typing || key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut) ||
        key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Undo) ||
        key->matches(QKeySequence::Redo) || key->matches(QKeySequence::SelectAll) ||
        key->matches(QKeySequence::Delete) || key->key() == Qt::Key_Home ||
        key->key() == Qt::Key_End || key->key() == Qt::Key_Left || key->key() == Qt::Key_Right) {
      event->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(event);
}

void TextBox::keyPressEvent(QKeyEvent* event) {
  if (handleShortcut(event)) return;
  const Qt::KeyboardModifiers mods = event->modifiers();
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      insertText(newLine_);
      document_->breakUndoCoalescing();
      return;
    case Qt::Key_Backspace:
      deleteAround(-1, false);
      return;
    case Qt::Key_Tab:
      insertText(QStringLiteral("\t"));
      return;
    default:
      break;
  }
  const QString text = event->text();
  // Ctrl with Alt is AltGr on many keyboards: those keys type.
  const bool command = (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier);
  if (!text.isEmpty() && !command && (text.at(0).isPrint() || text.at(0).isSurrogate())) {
    insertText(text);
    return;
  }
  event->ignore();
}

// ---------------------------------------------------------------- mouse

void TextBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  setFocus(Qt::MouseFocusReason);
  const bool extend = event->modifiers() & Qt::ShiftModifier;
  wantedX_ = -1;
  setCursorPosition(positionAt(event->position().toPoint()),
                    extend ? Selection::Extend : Selection::Collapse);
  dragging_ = true;
}

void TextBox::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_ || !(event->buttons() & Qt::LeftButton)) {
    dragging_ = false;
    return;
  }
  setCursorPosition(positionAt(event->position().toPoint()), Selection::Extend);
  ensureCursorVisible();
}

void TextBox::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = false;
  selectWordAt(positionAt(event->position().toPoint()));
}

QMenu* TextBox::createContextMenu() {
  auto* menu = new QMenu(this);
  const auto add = [&](const QString& text, void (TextBox::*slot)(), bool enabled) {
    QAction* action = menu->addAction(text, this, slot);
    action->setEnabled(enabled);
    return action;
  };
  const bool clipboard = !QApplication::clipboard()->text().isEmpty();
  add(tr("&Undo"), &TextBox::undo, document_->canUndo());
  add(tr("&Redo"), &TextBox::redo, document_->canRedo());
  menu->addSeparator();
  add(tr("Cu&t"), &TextBox::cut, hasSelection());
  QAction* copyAction = menu->addAction(tr("&Copy"), this, [this] { copy(); });
  copyAction->setEnabled(hasSelection());
  add(tr("&Paste"), &TextBox::paste, clipboard);
  add(tr("Delete"), &TextBox::deleteSelection, hasSelection());
  menu->addSeparator();
  add(tr("Select All"), &TextBox::selectAll, document_->length() > 0);
  return menu;
}

void TextBox::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

// ---------------------------------------------------------------- input methods

void TextBox::inputMethodEvent(QInputMethodEvent* event) {
  if (event->replacementLength() > 0 || event->replacementStart() != 0) {
    const qint64 from =
        std::clamp<qint64>(0, caret_ + event->replacementStart(), document_->length());
    anchor_ = from;
    caret_ = qMin(from + event->replacementLength(), document_->length());
  }
  if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
    replaceSelection(event->commitString());
  }
  preedit_ = event->preeditString();
  layouts_.setPreedit(caret_, preedit_);
  viewport()->update();
  event->accept();
}

QVariant TextBox::inputMethodQuery(Qt::InputMethodQuery query) const {
  const TextDocument& d = *document_;
  const qint64 line = d.lineAt(caret_);
  const qint64 start = d.lineStart(line);
  const qint64 from = qMax(start, caret_ - kWordReach);
  const qint64 to = qMin(start + d.lineLength(line), caret_ + kWordReach);
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle:
      return cursorRect().translated(viewport()->pos());
    case Qt::ImFont:
      return font();
    case Qt::ImCursorPosition:
      return static_cast<int>(caret_ - from);
    case Qt::ImAnchorPosition:
      return static_cast<int>(qBound(from, anchor_, to) - from);
    case Qt::ImSurroundingText:
      return d.text(from, to - from);
    case Qt::ImCurrentSelection:
      return d.text(qMax(qMin(caret_, anchor_), from),
                    qMin(qMax(caret_, anchor_), to) - qMax(qMin(caret_, anchor_), from));
    case Qt::ImHints:
      return static_cast<int>(Qt::ImhMultiLine);
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
}

// ---------------------------------------------------------------- geometry

const TextLayoutCache::Entry& TextBox::layoutOf(qint64 line) const {
  return layouts_.get(*document_, line, contentX(), viewport()->width());
}

qreal TextBox::contentX() const {
  return horizontalScrollBar()->value();
}

int TextBox::visibleLineCount() const {
  return qMax(1, viewport()->height() / layouts_.lineHeight());
}

qreal TextBox::xOf(qint64 position) const {
  const qint64 line = document_->lineAt(position);
  const TextLayoutCache::Entry& entry = layoutOf(line);
  if (position < entry.start || position > entry.start + entry.length) {
    // Outside the window of a long line: where the window would put it.
    return static_cast<qreal>(position - document_->lineStart(line)) * layouts_.averageWidth();
  }
  const QTextLine textLine = entry.layout->lineAt(0);
  if (!textLine.isValid()) return entry.x;
  return entry.x + textLine.cursorToX(static_cast<int>(position - entry.start));
}

qint64 TextBox::positionAtX(qint64 line, qreal x) const {
  const TextLayoutCache::Entry& entry = layoutOf(line);
  const qint64 lineStart = document_->lineStart(line);
  const qint64 lineLength = document_->lineLength(line);
  const QTextLine textLine = entry.layout->lineAt(0);
  const qreal inside = x - entry.x;
  if (!textLine.isValid() || (lineLength > TextLayoutCache::kLongLine &&
                              (inside < 0 || inside > textLine.naturalTextWidth()))) {
    const auto column = std::llround(x / layouts_.averageWidth());
    return lineStart + std::clamp<qint64>(0, column, lineLength);
  }
  return entry.start + textLine.xToCursor(inside, QTextLine::CursorBetweenCharacters);
}

qint64 TextBox::positionAt(QPoint point) const {
  const qint64 row = point.y() < 0 ? -1 : point.y() / layouts_.lineHeight();
  const qint64 line = std::clamp<qint64>(0, topLine_ + row, document_->lineCount() - 1);
  return positionAtX(line, point.x() - kMargin + contentX());
}

QRect TextBox::rectAt(qint64 position, qint64 length) const {
  const qint64 line = document_->lineAt(position);
  const int h = layouts_.lineHeight();
  const qreal x = xOf(position);
  const qreal right =
      length > 0
          ? xOf(qMin(position + length, document_->lineStart(line) + document_->lineLength(line)))
          : x + 1;
  return {static_cast<int>(x - contentX()) + kMargin, static_cast<int>((line - topLine_) * h),
          qMax(1, static_cast<int>(right - x)), h};
}

QRect TextBox::cursorRect() const {
  QRect rect = rectAt(caret_, 0);
  if (!preedit_.isEmpty()) {
    rect.translate(qRound(QFontMetricsF(layouts_.font()).horizontalAdvance(preedit_)), 0);
  }
  return rect;
}

void TextBox::updateScrollBars() {
  const qint64 lines = document_->lineCount();
  const qint64 maxTop = qMax<qint64>(0, lines - visibleLineCount());
  QScrollBar* v = verticalScrollBar();
  {
    const QSignalBlocker block(v);
    v->setRange(0, static_cast<int>(qMin(maxTop, kBarMax)));
    v->setPageStep(static_cast<int>(qMin<qint64>(visibleLineCount(), kBarMax)));
    v->setSingleStep(1);
    topLine_ = std::clamp<qint64>(0, topLine_, maxTop);
    v->setValue(static_cast<int>(maxTop <= kBarMax ? topLine_ : topLine_ * kBarMax / maxTop));
  }
  QScrollBar* h = horizontalScrollBar();
  const int width = viewport()->width();
  const qreal widest = layouts_.widest() + 2 * kMargin;
  h->setRange(0, qMax(0, static_cast<int>(qMin<qreal>(widest - width, INT_MAX / 2))));
  h->setPageStep(qMax(1, width));
  h->setSingleStep(qMax(1, static_cast<int>(layouts_.averageWidth() * 2)));
}

void TextBox::setTopLine(qint64 line) {
  const qint64 maxTop = qMax<qint64>(0, document_->lineCount() - visibleLineCount());
  line = std::clamp<qint64>(0, line, maxTop);
  if (line == topLine_) return;
  topLine_ = line;
  updateScrollBars();
  viewport()->update();
}

void TextBox::scrollContentsBy(int /*dx*/, int dy) {
  if (dy != 0) {
    const qint64 maxTop = qMax<qint64>(0, document_->lineCount() - visibleLineCount());
    const qint64 value = verticalScrollBar()->value();
    topLine_ = maxTop <= kBarMax ? value : value * maxTop / kBarMax;
  }
  viewport()->update();
}

void TextBox::ensureCursorVisible() {
  const qint64 line = document_->lineAt(caret_);
  const qint64 visible = visibleLineCount();
  if (line < topLine_) {
    setTopLine(line);
  } else if (line >= topLine_ + visible) {
    setTopLine(line - visible + 1);
  }
  // A long line's window follows the view, so the caret is placed again
  // after the view moved; the window stays once the view is inside it.
  QScrollBar* h = horizontalScrollBar();
  const int width = viewport()->width();
  for (int attempt = 0; attempt < 3; ++attempt) {
    const qreal x = xOf(caret_);
    updateScrollBars();
    if (x >= contentX() && x <= contentX() + width - 2 * kMargin) break;
    h->setValue(static_cast<int>(qMax<qreal>(0, x - width * 2.0 / 3)));
  }
}

void TextBox::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollBars();
}

// ---------------------------------------------------------------- painting

void TextBox::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QPalette& pal = palette();
  painter.fillRect(event->rect(), pal.base());
  painter.setPen(pal.text().color());
  const int h = layouts_.lineHeight();
  const qreal left = contentX();
  const qreal widestBefore = layouts_.widest();
  const qint64 selFrom = qMin(caret_, anchor_);
  const qint64 selTo = qMax(caret_, anchor_);
  const qint64 last = qMin(document_->lineCount() - 1, topLine_ + visibleLineCount());
  const bool caretVisible = hasFocus() && caretShown_;
  for (qint64 line = topLine_; line <= last; ++line) {
    const TextLayoutCache::Entry& entry = layoutOf(line);
    // Every line on the font's baseline, also one whose fallback fonts (CJK,
    // symbols) would make its own line taller.
    const QTextLine textLine = entry.layout->lineAt(0);
    const qreal shift = textLine.isValid() ? layouts_.ascent() - textLine.ascent() : 0;
    const QPointF at(entry.x - left + kMargin, static_cast<qreal>((line - topLine_) * h) + shift);
    QList<QTextLayout::FormatRange> formats;
    const qint64 from = qMax(selFrom, entry.start);
    const qint64 to = qMin(selTo, entry.start + entry.length);
    if (to > from) {
      QTextLayout::FormatRange range;
      range.start = static_cast<int>(from - entry.start);
      range.length = static_cast<int>(to - from);
      range.format.setBackground(pal.highlight());
      range.format.setForeground(pal.highlightedText());
      formats.append(range);
    }
    entry.layout->draw(&painter, at, formats);
    if (caretVisible && caret_ >= entry.start && caret_ <= entry.start + entry.length &&
        document_->lineAt(caret_) == line) {
      const int inLayout =
          static_cast<int>(caret_ - entry.start) + static_cast<int>(preedit_.size());
      entry.layout->drawCursor(&painter, at, inLayout, 1);
    }
  }
  if (layouts_.widest() != widestBefore) updateScrollBars();
}

// ---------------------------------------------------------------- state

void TextBox::restartBlink() {
  caretShown_ = true;
  const int period = QApplication::cursorFlashTime() / 2;
  if (hasFocus() && period > 0) {
    blink_.start(period, this);
  } else {
    blink_.stop();
  }
}

void TextBox::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  restartBlink();
  viewport()->update();
}

void TextBox::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  blink_.stop();
  viewport()->update();
}

void TextBox::timerEvent(QTimerEvent* event) {
  if (event->timerId() != blink_.timerId()) {
    QAbstractScrollArea::timerEvent(event);
    return;
  }
  caretShown_ = !caretShown_;
  viewport()->update(cursorRect().adjusted(-1, 0, 1, 0));
}

void TextBox::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    layouts_.setFont(font());
    updateScrollBars();
    viewport()->update();
  } else if (event->type() == QEvent::PaletteChange) {
    viewport()->update();
  }
}

}  // namespace ostrel
