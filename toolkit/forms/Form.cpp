#include "toolkit/forms/Form.h"

#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>

#include "toolkit/App.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/controls/CommandButton.h"
#include "toolkit/dialogs/MessageBoxService.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/forms/FormSet.h"

namespace ostrel {

namespace {

// A screen reader announces a window as one (a frame, or a dialog) and by
// its title. The program's windows (its forms, the help viewer) are plain
// widgets, which would be fillers with no role it speaks.
QAccessibleInterface* windowFactory(const QString& className, QObject* object) {
  if (!className.startsWith(QLatin1String("ostrel::")) || !object->isWidgetType()) return nullptr;
  auto* window = static_cast<QWidget*>(object);
  if (!window->isWindow() || qobject_cast<QDialog*>(window) != nullptr) return nullptr;
  return new QAccessibleWidget(
      window, window->windowType() == Qt::Dialog ? QAccessible::Dialog : QAccessible::Window);
}

}  // namespace

Form::Form(ScaleMode scaleMode) : QWidget(nullptr), scaleMode_(scaleMode) {
  static const bool accessible = [] {
    QAccessible::installFactory(windowFactory);
    return true;
  }();
  Q_UNUSED(accessible);
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
  return WindowPlacement::frameOf(*this);
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

void Form::setStartUpPosition(StartUpPosition position, const QWidget* owner) {
  startUpPosition_ = position;
  owner_ = owner;
}

void Form::setFixedDialogBorder() {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(size());
}

void Form::setTabOrder(std::initializer_list<QWidget*> order) {
  // Qt leaves the chain as it is when a widget already precedes the one
  // it is to follow and only unfocusable widgets come after: for the
  // moment every control takes the focus by Tab, so each link is made.
  QList<QPair<QWidget*, Qt::FocusPolicy>> unfocusable;
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!(child->focusPolicy() & Qt::TabFocus)) {
      unfocusable.append({child, child->focusPolicy()});
      child->setFocusPolicy(Qt::TabFocus);
    }
  }
  QWidget* previous = nullptr;
  for (QWidget* widget : order) {
    if (previous != nullptr) QWidget::setTabOrder(previous, widget);
    previous = widget;
  }
  for (const auto& [child, policy] : unfocusable) child->setFocusPolicy(policy);
}

void Form::Show(ShowFocus focus) {
  // The window manager is told too: a window shown without being activated
  // is not given the focus by it either.
  setAttribute(Qt::WA_ShowWithoutActivating, focus == ShowFocus::Leave);
  if (!isVisible()) show();
  if (isMinimized()) showNormal();
  raise();
  if (focus == ShowFocus::Take) activateWindow();
  setAttribute(Qt::WA_ShowWithoutActivating, false);
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

void Form::setVisible(bool visible) {
  // Placed before the first show, so the window never appears elsewhere
  // and the move is no change of the interior.
  if (visible && !placed_) {
    placed_ = true;
    if (windowType() == Qt::Dialog && owner_) {
      create();
      windowHandle()->setTransientParent(owner_->window()->windowHandle());
    }
    WindowPlacement::placeOnScreen(*this, startUpPosition_, owner_);
  }
  QWidget::setVisible(visible);
}

bool Form::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    QTimer::singleShot(0, this, [this] { runHandler([this] { Form_Activate(); }); });
  }
  return QWidget::event(event);
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

void Form::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const bool escape = event->key() == Qt::Key_Escape;
  if ((enter || escape) && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    for (CommandButton* button : findChildren<CommandButton*>()) {
      if (!button->isVisible() || !button->isEnabled()) continue;
      if ((enter && button->isDefault()) || (escape && button->Cancel())) {
        button->click();
        return;
      }
    }
  }
  QWidget::keyPressEvent(event);
}

void Form::closeEvent(QCloseEvent* event) {
  // The close box unloads the window; FormSet takes it down.
  event->ignore();
  FormSet::instance().unload(this);
}

}  // namespace ostrel
