#pragma once

#include <QList>
#include <QWidget>

#include "toolkit/help/HelpBook.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QTextBrowser;
class QToolButton;
class QUrl;

namespace ostrel {

// The help viewer's window: the book's index on the left, narrowed as the
// user types into the box above it, and the chosen topic on the right. One
// window per help file; it is modeless and deletes itself when closed (also
// by Esc and Ctrl+W, since without a window manager there is no close box).
// Back (the button, Alt+Left or Backspace) returns to the topic shown before
// a link was followed or an index entry chosen.
class HelpViewer : public QWidget {
  Q_OBJECT

 public:
  explicit HelpViewer(QString helpFile, QWidget* parent = nullptr);

  QString helpFile() const { return helpFile_; }
  const HelpBook& book() const { return book_; }
  // Replaces the book, keeping the window's place; shows the first topic.
  void setBook(const HelpBook& book);

  // The index, narrowed to the keywords containing filter; with a filter the
  // first match is selected and its topic shown.
  void showIndex(const QString& filter);
  // The topic the keyword names; false (and the index narrowed to the
  // keyword) when no topic does.
  bool showKeyword(const QString& keyword);
  void showTopic(int topic);
  int currentTopic() const { return current_; }
  // Returns to the topic shown before the last link or index entry.
  void back();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void refill();
  void onRowChanged(int row);
  void onAnchorClicked(const QUrl& url);
  // Shows topic as the user's choice, which Back returns from.
  void navigate(int topic);
  void showTitle();

  QString helpFile_;
  HelpBook book_;
  QList<HelpBook::IndexEntry> shown_;
  int current_ = -1;
  QList<int> history_;  // the topics the user left, latest last

  QLabel* filterLabel_;
  QLineEdit* filter_;
  QListWidget* list_;
  QTextBrowser* topic_;
  QToolButton* back_;
};

}  // namespace ostrel
