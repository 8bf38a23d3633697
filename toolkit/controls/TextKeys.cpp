#include "toolkit/controls/TextKeys.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <array>

namespace ostrel {

namespace {
using Action = TextKeys::Action;
using Motion = TextCursor::Motion;
constexpr auto kMove = TextCursor::Selection::Collapse;
constexpr auto kSelect = TextCursor::Selection::Extend;

struct StandardRow {
  QKeySequence::StandardKey key;
  TextKeys::Command command;
};

struct KeyRow {
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
  TextKeys::Command command;
};

const std::array<StandardRow, 33> kStandard = {{
    {QKeySequence::MoveToNextChar, {Action::Move, Motion::Right, kMove}},
    {QKeySequence::MoveToPreviousChar, {Action::Move, Motion::Left, kMove}},
    {QKeySequence::MoveToNextWord, {Action::Move, Motion::WordRight, kMove}},
    {QKeySequence::MoveToPreviousWord, {Action::Move, Motion::WordLeft, kMove}},
    {QKeySequence::MoveToNextLine, {Action::Move, Motion::Down, kMove}},
    {QKeySequence::MoveToPreviousLine, {Action::Move, Motion::Up, kMove}},
    {QKeySequence::MoveToNextPage, {Action::Move, Motion::PageDown, kMove}},
    {QKeySequence::MoveToPreviousPage, {Action::Move, Motion::PageUp, kMove}},
    {QKeySequence::MoveToStartOfLine, {Action::Move, Motion::LineStart, kMove}},
    {QKeySequence::MoveToEndOfLine, {Action::Move, Motion::LineEnd, kMove}},
    {QKeySequence::MoveToStartOfDocument, {Action::Move, Motion::Start, kMove}},
    {QKeySequence::MoveToEndOfDocument, {Action::Move, Motion::End, kMove}},
    {QKeySequence::SelectNextChar, {Action::Move, Motion::Right, kSelect}},
    {QKeySequence::SelectPreviousChar, {Action::Move, Motion::Left, kSelect}},
    {QKeySequence::SelectNextWord, {Action::Move, Motion::WordRight, kSelect}},
    {QKeySequence::SelectPreviousWord, {Action::Move, Motion::WordLeft, kSelect}},
    {QKeySequence::SelectNextLine, {Action::Move, Motion::Down, kSelect}},
    {QKeySequence::SelectPreviousLine, {Action::Move, Motion::Up, kSelect}},
    {QKeySequence::SelectNextPage, {Action::Move, Motion::PageDown, kSelect}},
    {QKeySequence::SelectPreviousPage, {Action::Move, Motion::PageUp, kSelect}},
    {QKeySequence::SelectStartOfLine, {Action::Move, Motion::LineStart, kSelect}},
    {QKeySequence::SelectEndOfLine, {Action::Move, Motion::LineEnd, kSelect}},
    {QKeySequence::SelectStartOfDocument, {Action::Move, Motion::Start, kSelect}},
    {QKeySequence::SelectEndOfDocument, {Action::Move, Motion::End, kSelect}},
    {QKeySequence::SelectAll, {Action::SelectAll}},
    {QKeySequence::Copy, {Action::Copy}},
    {QKeySequence::Cut, {Action::Cut}},
    {QKeySequence::Paste, {Action::Paste}},
    {QKeySequence::Undo, {Action::Undo}},
    {QKeySequence::Redo, {Action::Redo}},
    {QKeySequence::DeleteStartOfWord, {Action::DeleteWordBefore}},
    {QKeySequence::DeleteEndOfWord, {Action::DeleteWordAfter}},
    {QKeySequence::Delete, {Action::DeleteNext}},
}};

// Keys the standard list leaves to the widget, and Ctrl+Y, which redoes on
// every desktop though not every platform theme lists it.
const std::array<KeyRow, 7> kKeys = {{
    {Qt::Key_Y, Qt::ControlModifier, {Action::Redo}},
    {Qt::Key_Backspace, Qt::NoModifier, {Action::DeletePrevious}},
    {Qt::Key_Backspace, Qt::ShiftModifier, {Action::DeletePrevious}},
    {Qt::Key_Return, Qt::NoModifier, {Action::NewLine}},
    {Qt::Key_Enter, Qt::KeypadModifier, {Action::NewLine}},
    {Qt::Key_Return, Qt::ShiftModifier, {Action::NewLine}},
    {Qt::Key_Tab, Qt::NoModifier, {Action::Tab}},
}};
}  // namespace

std::optional<TextKeys::Command> TextKeys::find(const QKeyEvent& event) {
  for (const StandardRow& row : kStandard) {
    if (event.matches(row.key)) return row.command;
  }
  const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
  for (const KeyRow& row : kKeys) {
    if (event.key() == row.key && modifiers == (row.modifiers & ~Qt::KeypadModifier)) {
      return row.command;
    }
  }
  return std::nullopt;
}

bool TextKeys::types(const QKeyEvent& event) {
  const QString text = event.text();
  const Qt::KeyboardModifiers mods = event.modifiers();
  // Ctrl with Alt is AltGr on many keyboards: those keys type.
  const bool command = (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier);
  return !text.isEmpty() && !command && (text.at(0).isPrint() || text.at(0).isSurrogate());
}

}  // namespace ostrel
