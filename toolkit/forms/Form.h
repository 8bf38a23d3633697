#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <type_traits>

#include "toolkit/Units.h"
#include "toolkit/forms/WindowPlacement.h"

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

  // Whether Show gives the window the keyboard focus.
  enum class ShowFocus { Take, Leave };
  // Shows the window modeless, or brings it forward when it is already shown.
  // With ShowFocus::Leave the focus stays where it is (the window stays
  // behind its owner, if owned, only where a window manager insists).
  void Show(ShowFocus focus = ShowFocus::Take);
  void Hide();
  void setVisible(bool visible) override;
  // Repaints now.
  void Refresh();

  // How the window is placed when it is first shown, and the window it is
  // placed by (its owner). The design place (Manual) unless set.
  void setStartUpPosition(StartUpPosition position, const QWidget* owner = nullptr);

  // A dialog's frame: fixed size, no minimise or maximise button, no
  // task-bar entry of its own (it belongs to its owner's).
  void setFixedDialogBorder();

  // The keyboard order of controls, first to last. Controls that take no
  // focus may stand between them.
  void setTabOrder(std::initializer_list<QWidget*> order);
  using QWidget::setTabOrder;

  // Sets the interior size and position at design time, in twips.
  void setDesignClientArea(float left, float top, float width, float height);

  // Runs handler at the event boundary: an error it does not trap is shown
  // to the user in a message box and the program goes on.
  static void runHandler(const std::function<void()>& handler);

 protected:
  virtual void Form_Load() {}
  virtual void Form_Resize() {}
  virtual void Form_Click() {}
  // The window has become the active one (back from another program, say).
  // Called once the activation is over, not from inside it: a message box
  // shown from inside would take the activation away again.
  virtual void Form_Activate() {}

  // Connects a control's signal to a handler that runs at the event boundary.
  // The handler takes the signal's arguments (a control array's index), or
  // none.
  template <typename Sender, typename Signal, typename Handler>
  void on(Sender* sender, Signal signal, Handler handler) {
    connect(sender, signal, this, [handler](auto... args) -> void {
      if constexpr (std::is_invocable_v<const Handler&, decltype(args)...>) {
        runHandler([&] { handler(args...); });
      } else if constexpr (std::is_invocable_v<const Handler&>) {
        runHandler(handler);
      }
    });
  }

  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Enter presses the default button and Esc the cancel button (see
  // CommandButton), unless the control with the focus takes the key itself.
  void keyPressEvent(QKeyEvent* event) override;

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
  StartUpPosition startUpPosition_ = StartUpPosition::Manual;
  QPointer<const QWidget> owner_;
  bool placed_ = false;
};

}  // namespace ostrel
