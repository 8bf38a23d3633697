#include "toolkit/controls/TextBox.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyleHints>
#include <algorithm>
#include <cmath>

#include "toolkit/controls/CrispScrollBarStyle.h"
#include "toolkit/controls/TextBoxAccessible.h"
#include "toolkit/controls/TextBoxGeometry.h"
#include "toolkit/files/LineEnds.h"
#include "toolkit/text/TextDocument.h"

namespace ostrel {

namespace {
constexpr int kMargin = TextBoxGeometry::kMargin;
// The vertical bar counts lines; beyond this many it counts fractions of the text.
constexpr qint64 kBarMax = qint64(1) << 30;
// How far the input method sees around the caret.
constexpr qint64 kSurroundingReach = 1024;
// How much of the text decides which line end new lines take.
constexpr qint64 kLineEndSample = qint64(1) << 20;
// A larger selection is not offered as the primary selection (it would be
// decoded on every change).
constexpr qint64 kPrimaryAtMost = qint64(1) << 20;

}  // namespace

TextBox::TextBox(QWidget* parent, const QString& name, ScaleMode mode)
    : QAbstractScrollArea(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  setAttribute(Qt::WA_KeyCompression, false);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  static CrispScrollBarStyle* const crisp = new CrispScrollBarStyle;
  horizontalScrollBar()->setStyle(crisp);
  verticalScrollBar()->setStyle(crisp);
  TextBoxAccessible::attach(this);
  layouts_.setFont(font());
  cursor_.setLayout(&geometry_);
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
  cursor_.setDocument(document_.get());
  newLine_ = LineEnds::common(document_->text(0, kLineEndSample));
  topLine_ = 0;
  caretLine_ = 0;
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

// ---------------------------------------------------------------- changes

void TextBox::documentChanged(const TextDocument::Change& change) {
  layouts_.apply(*document_, change);
  const qint64 position = cursor_.position();
  const qint64 anchor = cursor_.anchor();
  cursor_.adjust(change);
  changeMovedPlaces_ = static_cast<bool>(change.moved);
  updateScrollBars();
  viewport()->update();
  TextBoxAccessible::textChanged(this, change);
  emit textChanged();
  if (cursorSteps_ == 0) followCaret(position, anchor);
}

void TextBox::followCaret(qint64 oldPosition, qint64 oldAnchor) {
  // A caret in view stays on its row, with the text the user was looking at.
  const qint64 line = document_->lineAt(cursor_.position());
  const bool inView =
      caretLine_ >= topLine_ && caretLine_ < topLine_ + geometry_.visibleLineCount();
  if (inView) {
    setTopLine(topLine_ + line - caretLine_);
    ensureCursorVisible();
  }
  caretLine_ = line;
  if (cursor_.position() != oldPosition || cursor_.anchor() != oldAnchor) {
    cursorChanged(oldPosition, oldAnchor);
  }
}

void TextBox::cursorChanged(qint64 oldPosition, qint64 oldAnchor) {
  Q_UNUSED(oldPosition);
  Q_UNUSED(oldAnchor);
  restartBlink();
  viewport()->update();
  const TextBoxMouse::Primary& primary = TextBoxMouse::primary();
  if (hasSelection() && primary.supported() &&
      cursor_.selectionEnd() - cursor_.selectionStart() <= kPrimaryAtMost) {
    primary.setText(selectedTextToShare());
  }
  emit cursorPositionChanged();
}

void TextBox::withCursor(const std::function<void(TextCursor&)>& step, bool reveal) {
  const qint64 position = cursor_.position();
  const qint64 anchor = cursor_.anchor();
  {
    ++cursorSteps_;
    const auto stepped = qScopeGuard([this] { --cursorSteps_; });
    step(cursor_);
  }
  caretLine_ = document_->lineAt(cursor_.position());
  if (reveal) ensureCursorVisible();
  if (cursor_.position() != position || cursor_.anchor() != anchor) {
    cursorChanged(position, anchor);
  } else {
    viewport()->update();
  }
}

void TextBox::setCursorPosition(qint64 position, Selection selection) {
  withCursor([&](TextCursor& c) { c.setPosition(position, selection); }, false);
}

void TextBox::insertText(const QString& text) {
  withCursor([&](TextCursor& c) { c.insertText(text); });
}

void TextBox::deleteSelection() {
  withCursor([](TextCursor& c) { c.deleteSelection(); });
}

void TextBox::selectAll() {
  document_->breakUndoCoalescing();
  withCursor([](TextCursor& c) { c.select(0, c.document().length()); }, false);
}

// The caret goes after what the step put back, unless the step was a Replace
// All, which leaves the caret and the selection on the text they were on.
void TextBox::undo() {
  withCursor([this](TextCursor& c) {
    const auto range = c.document().undo();
    if (range && !changeMovedPlaces_) c.setPosition(range->position + range->length);
  });
}

void TextBox::redo() {
  withCursor([this](TextCursor& c) {
    const auto range = c.document().redo();
    if (range && !changeMovedPlaces_) c.setPosition(range->position + range->length);
  });
}

QString TextBox::selectedTextToShare() const {
  // Other programs (terminals, editors of LF files) take LF; the file's own
  // line ends come back on pasting.
  return LineEnds::convert(selectedText(), QStringLiteral("\n"));
}

void TextBox::copy() const {
  if (hasSelection()) QApplication::clipboard()->setText(selectedTextToShare());
}

void TextBox::cut() {
  if (!hasSelection()) return;
  copy();
  deleteSelection();
}

void TextBox::paste() {
  const QString text = LineEnds::convert(QApplication::clipboard()->text(), newLine_);
  if (text.isEmpty()) return;
  document_->breakUndoCoalescing();
  insertText(text);
  document_->breakUndoCoalescing();
}

// ---------------------------------------------------------------- keys

void TextBox::moveCaret(TextCursor::Motion motion, Selection selection) {
  if (motion == TextCursor::Motion::PageUp || motion == TextCursor::Motion::PageDown) {
    const qint64 page = geometry_.visibleLineCount();
    setTopLine(topLine_ + (motion == TextCursor::Motion::PageUp ? -page : page));
  }
  withCursor([&](TextCursor& c) { c.move(motion, selection); });
}

void TextBox::runKey(const TextKeys::Command& command) {
  using Action = TextKeys::Action;
  switch (command.action) {
    case Action::Move:
      return moveCaret(command.motion, command.selection);
    case Action::SelectAll:
      return selectAll();
    case Action::Copy:
      return copy();
    case Action::Cut:
      return cut();
    case Action::Paste:
      return paste();
    case Action::Undo:
      return undo();
    case Action::Redo:
      return redo();
    case Action::DeletePrevious:
      return withCursor([](TextCursor& c) { c.deletePrevious(); });
    case Action::DeleteNext:
      return withCursor([](TextCursor& c) { c.deleteNext(); });
    case Action::DeleteWordBefore:
    case Action::DeleteWordAfter: {
      const int direction = command.action == Action::DeleteWordBefore ? -1 : 1;
      withCursor([direction](TextCursor& c) { c.deleteWord(direction); });
      return;
    }
    case Action::NewLine:
      insertText(newLine_);
      document_->breakUndoCoalescing();
      return;
    case Action::Tab:
      return insertText(QStringLiteral("\t"));
  }
}

bool TextBox::event(QEvent* event) {
  if (event->type() == QEvent::Paint && CrispScrollBarStyle::fractional(this)) {
    // On a screen scaled by a fraction the frame is drawn on whole device pixels.
    QPainter painter(this);
    CrispScrollBarStyle::drawOutline(&painter, rect(), CrispScrollBarStyle::outline(palette()));
    return true;
  }
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
    const auto* key = static_cast<QKeyEvent*>(event);
    if (TextKeys::types(*key) || TextKeys::find(*key)) {
      event->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(event);
}

void TextBox::keyPressEvent(QKeyEvent* event) {
  if (const auto command = TextKeys::find(*event)) {
    runKey(*command);
  } else if (TextKeys::types(*event)) {
    insertText(event->text());
  } else {
    event->ignore();
  }
}

// ---------------------------------------------------------------- mouse

void TextBox::mousePressEvent(QMouseEvent* event) {
  mouse_.press(event);
}

void TextBox::mouseDoubleClickEvent(QMouseEvent* event) {
  mouse_.doubleClick(event);
}

void TextBox::mouseMoveEvent(QMouseEvent* event) {
  mouse_.move(event);
}

void TextBox::mouseReleaseEvent(QMouseEvent* event) {
  mouse_.release(event);
}

void TextBox::dragEnterEvent(QDragEnterEvent* event) {
  mouse_.dragEnter(event);
}

void TextBox::dragMoveEvent(QDragMoveEvent* event) {
  mouse_.dragMove(event);
}

void TextBox::dragLeaveEvent(QDragLeaveEvent* event) {
  mouse_.dragLeave(event);
}

void TextBox::dropEvent(QDropEvent* event) {
  mouse_.drop(event);
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
  if (extendMenu_) extendMenu_(menu);
  return menu;
}

void TextBox::setContextMenuExtension(std::function<void(QMenu*)> extend) {
  extendMenu_ = std::move(extend);
}

void TextBox::setHighlighter(Highlighter highlighter) {
  highlighter_ = std::move(highlighter);
  viewport()->update();
}

void TextBox::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

// ---------------------------------------------------------------- input methods

void TextBox::inputMethodEvent(QInputMethodEvent* event) {
  if (event->replacementLength() > 0 || event->replacementStart() != 0) {
    const qint64 from = cursor_.position() + event->replacementStart();
    cursor_.select(from, from + event->replacementLength());
  }
  if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
    insertText(event->commitString());
  }
  preedit_ = event->preeditString();
  layouts_.setPreedit(cursor_.position(), preedit_);
  viewport()->update();
  event->accept();
}

QVariant TextBox::inputMethodQuery(Qt::InputMethodQuery query) const {
  const TextDocument& d = *document_;
  const qint64 caret = cursor_.position();
  const qint64 line = d.lineAt(caret);
  const qint64 start = d.lineStart(line);
  const qint64 from = qMax(start, caret - kSurroundingReach);
  const qint64 to = qMin(start + d.lineLength(line), caret + kSurroundingReach);
  const qint64 selFrom = qBound(from, cursor_.selectionStart(), to);
  const qint64 selTo = qBound(from, cursor_.selectionEnd(), to);
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle:
      return cursorRect().translated(viewport()->pos());
    case Qt::ImFont:
      return font();
    case Qt::ImCursorPosition:
      return static_cast<int>(caret - from);
    case Qt::ImAnchorPosition:
      return static_cast<int>(qBound(from, cursor_.anchor(), to) - from);
    case Qt::ImSurroundingText:
      return d.text(from, to - from);
    case Qt::ImCurrentSelection:
      return d.text(selFrom, selTo - selFrom);
    case Qt::ImHints:
      return static_cast<int>(Qt::ImhMultiLine);
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
}

// ---------------------------------------------------------------- geometry

qint64 TextBox::positionAt(QPoint point) const {
  return geometry_.positionAt(point);
}

QRect TextBox::rectAt(qint64 position, qint64 length) const {
  return geometry_.rectAt(position, length);
}

QRect TextBox::cursorRect() const {
  QRect rect = rectAt(cursor_.position(), 0);
  if (!preedit_.isEmpty()) {
    rect.translate(qRound(QFontMetricsF(layouts_.font()).horizontalAdvance(preedit_)), 0);
  }
  return rect;
}

void TextBox::updateScrollBars() {
  const qint64 lines = document_->lineCount();
  const qint64 maxTop = qMax<qint64>(0, lines - geometry_.visibleLineCount());
  QScrollBar* v = verticalScrollBar();
  {
    const QSignalBlocker block(v);
    v->setRange(0, static_cast<int>(qMin(maxTop, kBarMax)));
    v->setPageStep(static_cast<int>(qMin<qint64>(geometry_.visibleLineCount(), kBarMax)));
    v->setSingleStep(1);
    topLine_ = qBound<qint64>(0, topLine_, maxTop);
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
  const qint64 maxTop = qMax<qint64>(0, document_->lineCount() - geometry_.visibleLineCount());
  line = qBound<qint64>(0, line, maxTop);
  if (line == topLine_) return;
  topLine_ = line;
  updateScrollBars();
  viewport()->update();
}

void TextBox::scrollContentsBy(int /*dx*/, int dy) {
  if (dy != 0) {
    const qint64 maxTop = qMax<qint64>(0, document_->lineCount() - geometry_.visibleLineCount());
    const qint64 value = verticalScrollBar()->value();
    topLine_ = maxTop <= kBarMax ? value : value * maxTop / kBarMax;
  }
  viewport()->update();
}

void TextBox::ensureCursorVisible() {
  const qint64 line = document_->lineAt(cursor_.position());
  const qint64 visible = geometry_.visibleLineCount();
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
    const qreal x = geometry_.xOf(cursor_.position());
    updateScrollBars();
    if (x >= geometry_.contentX() && x <= geometry_.contentX() + width - 2 * kMargin) break;
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
  const qreal widestBefore = layouts_.widest();
  const qint64 last = qMin(document_->lineCount() - 1, topLine_ + geometry_.visibleLineCount());
  for (qint64 line = topLine_; line <= last; ++line) paintLine(painter, line, pal);
  if (mouse_.dropCaret() >= 0) {
    const QRect rect = rectAt(mouse_.dropCaret(), 0);
    painter.fillRect(rect.x(), rect.y(), 2, rect.height(), pal.text());
  }
  if (layouts_.widest() != widestBefore) updateScrollBars();
}

void TextBox::paintLine(QPainter& painter, qint64 line, const QPalette& pal) {
  const TextLayoutCache::Entry& entry = geometry_.layoutOf(line);
  const int h = layouts_.lineHeight();
  const qint64 selFrom = cursor_.selectionStart();
  const qint64 selTo = cursor_.selectionEnd();
  const qint64 caret = cursor_.position();
  // Every line on the font's baseline, also one whose fallback fonts (CJK,
  // symbols) would make its own line taller.
  const QTextLine textLine = entry.layout->lineAt(0);
  const qreal shift = textLine.isValid() ? layouts_.ascent() - textLine.ascent() : 0;
  const qreal top = static_cast<qreal>((line - topLine_) * h);
  const QPointF at(entry.x - geometry_.contentX() + kMargin, top + shift);
  QList<QTextLayout::FormatRange> formats;
  if (highlighter_) {
    QColor found = pal.highlight().color();
    found.setAlpha(96);
    for (const auto& [start, length] : highlighter_(entry.layout->text())) {
      QTextLayout::FormatRange range;
      range.start = start;
      range.length = length;
      range.format.setBackground(found);
      formats.append(range);
    }
  }
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
  // A selected line end shows as a selected space right of the line's text,
  // also where a line read from right to left ends, on its left.
  const qint64 end = document_->lineStart(line) + document_->lineLength(line);
  if (selFrom <= end && selTo > end && line + 1 < document_->lineCount()) {
    const qreal right = textLine.isValid() && entry.start + entry.length == end
                            ? entry.x + textLine.naturalTextWidth()
                            : geometry_.xOf(end);
    const QRectF mark(right - geometry_.contentX() + kMargin, top, layouts_.averageWidth(), h);
    painter.fillRect(mark, pal.highlight());
  }
  if (hasFocus() && caretShown_ && caret >= entry.start && caret <= entry.start + entry.length &&
      document_->lineAt(caret) == line) {
    const int inLayout = static_cast<int>(caret - entry.start) + static_cast<int>(preedit_.size());
    entry.layout->drawCursor(&painter, at, inLayout, 1);
  }
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
  if (mouse_.timer(event)) return;
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
