#include "toolkit/forms/Form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QScreen>
#include <QShowEvent>

#include "toolkit/App.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/dialogs/MessageBoxService.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/forms/FormSet.h"

namespace ostrel {

namespace {
// The frame of a sizable window as the design figures assume it: 4 pixels of
// border on each side and a 23-pixel title bar (120 x 405 twips in all).
constexpr QMargins kAssumedFrame(4, 23, 4, 4);
}  // namespace

Form::Form(ScaleMode scaleMode) : QWidget(nullptr), scaleMode_(scaleMode) {
  // The design measures were made for an 8-point interface font; a larger
  // one would clip the captions of the small controls.
  QFont small = font();
  small.setFamilies(
      {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
  small.setPointSizeF(8);
  setFont(small);
}

Form::~Form() = default;

void Form::setCaption(const QString& caption) {
  setWindowTitle(FileNames::visible(caption));
}

QMargins Form::frameMargins() const {
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  if (frame == client) return kAssumedFrame;
  return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
          frame.bottom() - client.bottom()};
}

float Form::Left() const {
  return fromPixels(frameGeometry().x(), ScaleMode::Twips);
}
float Form::Top() const {
  return fromPixels(frameGeometry().y(), ScaleMode::Twips);
}
void Form::setLeft(float twips) {
  move(toPixels(twips, ScaleMode::Twips), frameGeometry().y());
}
void Form::setTop(float twips) {
  move(frameGeometry().x(), toPixels(twips, ScaleMode::Twips));
}

float Form::Width() const {
  const QMargins m = frameMargins();
  return fromPixels(width() + m.left() + m.right(), ScaleMode::Twips);
}

float Form::Height() const {
  const QMargins m = frameMargins();
  return fromPixels(height() + m.top() + m.bottom(), ScaleMode::Twips);
}

void Form::setWidth(float twips) {
  const QMargins m = frameMargins();
  resize(qMax(0, toPixels(twips, ScaleMode::Twips) - m.left() - m.right()), height());
}

void Form::setHeight(float twips) {
  const QMargins m = frameMargins();
  resize(width(), qMax(0, toPixels(twips, ScaleMode::Twips) - m.top() - m.bottom()));
}

float Form::ScaleWidth() const {
  return fromPixels(width(), scaleMode_);
}
float Form::ScaleHeight() const {
  return fromPixels(height(), scaleMode_);
}

WId Form::hWnd() {
  return winId();
}

QPoint Form::placementBeside(const QRect& otherFrame, const QSize& outer, const QRect& available,
                             int titleHeight) {
  // Under the other window, where it leaves the space to its right free for
  // a window that opens there; where the screen has no room below, one title
  // bar down and right of it, as window managers cascade.
  QPoint topLeft(otherFrame.left(), otherFrame.bottom() + 1);
  if (topLeft.y() + outer.height() > available.bottom() + 1) {
    topLeft = otherFrame.topLeft() + QPoint(titleHeight, titleHeight);
  }
  // Then pulled back inside the screen.
  topLeft.setX(
      std::max(available.left(), std::min(topLeft.x(), available.right() + 1 - outer.width())));
  topLeft.setY(
      std::max(available.top(), std::min(topLeft.y(), available.bottom() + 1 - outer.height())));
  return topLeft;
}

void Form::placeBeside(const Form& other) {
  const QScreen* screen =
      other.screen() != nullptr ? other.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const int title = std::max(other.frameMargins().top(), kAssumedFrame.top());
  move(placementBeside(other.frameGeometry(), size().grownBy(frameMargins()),
                       screen->availableGeometry(), title));
}

void Form::Show() {
  if (!isVisible()) show();
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void Form::Hide() {
  hide();
}

void Form::Refresh() {
  if (isVisible()) {
    repaint();
  } else {
    update();
  }
}

void Form::setDesignClientArea(float left, float top, float width, float height) {
  move(toPixels(left, ScaleMode::Twips), toPixels(top, ScaleMode::Twips));
  resize(toPixels(width, ScaleMode::Twips), toPixels(height, ScaleMode::Twips));
}

void Form::runHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const ToolkitError& e) {
    MsgBox(e.Description(), mb::Exclamation, App().Title);
  } catch (const std::bad_alloc&) {
    MsgBox(QCoreApplication::translate("Form", "There is not enough memory to finish this."),
           mb::Exclamation, App().Title);
  } catch (const std::exception& e) {
    MsgBox(QString::fromLocal8Bit(e.what()), mb::Exclamation, App().Title);
  }
}

void Form::runLoad() {
  Form_Load();
}

void Form::reportResize() {
  lastResizeReported_ = size();
  lastFrameReported_ = frameMargins();
  runHandler([this] { Form_Resize(); });
}

void Form::fireResizeIfChanged() {
  // The outer size counts the frame, and a window manager tells the real
  // frame only after the window is mapped: until then the usual one is
  // assumed, so a frame that turns out different is a change of size too.
  if (size() == lastResizeReported_ && frameMargins() == lastFrameReported_) return;
  reportResize();
}

void Form::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (isVisible()) fireResizeIfChanged();
}

void Form::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // Framing the window moves its interior: the moment the frame is known.
  if (isVisible()) fireResizeIfChanged();
}

void Form::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) {
    // Restored from minimised, or uncovered: only a real change counts.
    fireResizeIfChanged();
  } else {
    // Shown by the program, first or again after Hide: what the window
    // holds may have changed while it was hidden (the viewer's picture),
    // so it lays itself out anew even at the same size.
    reportResize();
  }
}

void Form::mousePressEvent(QMouseEvent* event) {
  pressedOnInterior_ =
      event->button() == Qt::LeftButton && childAt(event->position().toPoint()) == nullptr;
  QWidget::mousePressEvent(event);
}

void Form::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = pressedOnInterior_ && event->button() == Qt::LeftButton &&
                     rect().contains(event->position().toPoint());
  pressedOnInterior_ = false;
  QWidget::mouseReleaseEvent(event);
  if (click) runHandler([this] { Form_Click(); });
}

void Form::closeEvent(QCloseEvent* event) {
  // The close box unloads the window; FormSet takes it down.
  event->ignore();
  FormSet::instance().unload(this);
}

}  // namespace ostrel
