#pragma once

#include <QString>

class QWidget;

namespace ostrel {

// Message-box styles and answers, numbered as callers have always written them.
namespace mb {
inline constexpr int OkOnly = 0;
inline constexpr int OkCancel = 1;
inline constexpr int YesNoCancel = 3;
inline constexpr int YesNo = 4;
// The program's own, past the classic styles: Save and Cancel.
inline constexpr int SaveCancel = 6;
inline constexpr int Critical = 16;
inline constexpr int Question = 32;
inline constexpr int Exclamation = 48;
inline constexpr int Information = 64;

inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
inline constexpr int Save = 8;
}  // namespace mb

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  // Shows a modal message box and returns the button pressed (mb::Ok, ...).
  virtual int show(QWidget* parent, const QString& prompt, int style, const QString& title) = 0;
  // The same with details the user may unfold under the prompt: what a
  // lower layer said in its own words.
  virtual int showWithDetails(QWidget* parent, const QString& prompt, const QString& details,
                              int style, const QString& title) = 0;
};

// MsgBox as the windows call it: the title defaults to the program title.
int MsgBox(const QString& prompt, int style = mb::OkOnly, const QString& title = {},
           QWidget* parent = nullptr);
// MsgBox with details; empty details show none.
int MsgBoxWithDetails(const QString& prompt, const QString& details, int style = mb::OkOnly,
                      const QString& title = {}, QWidget* parent = nullptr);

}  // namespace ostrel
