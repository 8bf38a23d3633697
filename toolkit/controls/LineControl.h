#pragma once

#include <QColor>
#include <QWidget>

namespace ostrel {

// A straight line between two points of its window, given in twips.
class LineControl : public QWidget {
  Q_OBJECT

 public:
  LineControl(QWidget* parent, const QString& name, float x1, float y1, float x2, float y2,
              QColor color, int widthPixels);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor color_;
  int width_;
  QPoint from_;
  QPoint to_;
};

}  // namespace ostrel
