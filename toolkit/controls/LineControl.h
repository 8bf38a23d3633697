#pragma once

#include <QPalette>
#include <QWidget>

namespace ostrel {

// A straight line between two points of its window, given in twips, drawn in
// a colour role of the palette so it follows the desktop's theme.
class LineControl : public QWidget {
  Q_OBJECT

 public:
  LineControl(QWidget* parent, const QString& name, float x1, float y1, float x2, float y2,
              QPalette::ColorRole role, int widthPixels);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPalette::ColorRole role_;
  int width_;
  QPoint from_;
  QPoint to_;
};

}  // namespace ostrel
