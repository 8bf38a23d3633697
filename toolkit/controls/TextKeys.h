#pragma once

#include <optional>

#include "toolkit/text/TextCursor.h"

class QKeyEvent;

namespace ostrel {

// The keys of a text box and what each does, in one table: the box asks it
// both when a key may be a window's shortcut (so the box keeps its editing
// keys) and when the key arrives.
class TextKeys {
 public:
  enum class Action {
    Move,
    SelectAll,
    Copy,
    Cut,
    Paste,
    Undo,
    Redo,
    DeletePrevious,
    DeleteNext,
    DeleteWordBefore,
    DeleteWordAfter,
    NewLine,
    Tab
  };

  struct Command {
    Action action;
    TextCursor::Motion motion = TextCursor::Motion::Left;
    TextCursor::Selection selection = TextCursor::Selection::Collapse;
  };

  // The command for a key other than a typed character, if it is one.
  static std::optional<Command> find(const QKeyEvent& event);
  // The key types its text (AltGr combinations too).
  static bool types(const QKeyEvent& event);
};

}  // namespace ostrel
