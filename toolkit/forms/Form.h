#pragma once

#include <QWidget>
#include <functional>

#include "toolkit/Units.h"

namespace ostrel {

class FormSet;

// A window of the program. Subclasses build their controls with their design
// values in the constructor and react in Form_Load, Form_Resize and
// Form_Click. Instances are made and loaded only by FormSet (see form<F>()).
//
// Positions and sizes are floats in the window's scale unit for the interior
// (ScaleWidth/ScaleHeight) and in twips for the outer frame (Left, Top, Width,
// Height), as window frames have always been measured.
class Form : public QWidget {
  Q_OBJECT

 public:
  explicit Form(ScaleMode scaleMode = ScaleMode::Twips);
  ~Form() override;

  ScaleMode scaleMode() const { return scaleMode_; }

  QString Caption() const { return windowTitle(); }
  // A caption that holds a file name shows its bytes that are not UTF-8 as \xFF.
  void setCaption(const QString& caption);

  float Left() const;
  float Top() const;
  void setLeft(float twips);
  void setTop(float twips);
  float Width() const;   // outer, twips
  float Height() const;  // outer, twips
  void setWidth(float twips);
  void setHeight(float twips);
  float ScaleWidth() const;   // interior, scale unit
  float ScaleHeight() const;  // interior, scale unit
  WId hWnd();

  // Shows the window modeless, or brings it forward when it is already shown.
  void Show();
  void Hide();
  // Repaints now.
  void Refresh();

  // Moves the window (frame included) under other, or one title bar down and
  // right of it where the screen has no room below; kept on other's screen.
  void placeBeside(const Form& other);
  // Where placeBeside puts a window of outer size beside otherFrame.
  static QPoint placementBeside(const QRect& otherFrame, const QSize& outer, const QRect& available,
                                int titleHeight);

  // Sets the interior size and position at design time, in twips.
  void setDesignClientArea(float left, float top, float width, float height);

  // Runs handler at the event boundary: an error it does not trap is shown
  // to the user in a message box and the program goes on.
  static void runHandler(const std::function<void()>& handler);

 protected:
  virtual void Form_Load() {}
  virtual void Form_Resize() {}
  virtual void Form_Click() {}

  // Connects a control's signal to a handler that runs at the event boundary.
  template <typename Sender, typename Signal, typename Handler>
  void on(Sender* sender, Signal signal, Handler handler) {
    connect(sender, signal, this, [handler](auto&&...) { runHandler(handler); });
  }

  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

  // The frame a window manager adds around the interior, in pixels. Where the
  // platform reports none (no window manager, offscreen), the usual frame of
  // a sizable window is assumed so the outer size keeps its meaning.
  virtual QMargins frameMargins() const;

 private:
  friend class FormSet;
  void runLoad();
  void fireResizeIfChanged();
  void reportResize();

  ScaleMode scaleMode_;
  QSize lastResizeReported_;
  QMargins lastFrameReported_;
  bool pressedOnInterior_ = false;
};

}  // namespace ostrel
