#include "toolkit/forms/Form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QShowEvent>

#include "toolkit/App.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/dialogs/MessageBoxService.h"
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

void Form::fireResizeIfChanged() {
  if (size() == lastResizeReported_) return;
  lastResizeReported_ = size();
  runHandler([this] { Form_Resize(); });
}

void Form::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (isVisible()) fireResizeIfChanged();
}

void Form::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  fireResizeIfChanged();
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
