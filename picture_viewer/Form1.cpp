#include "picture_viewer/Form1.h"

#include <QCoreApplication>
#include <QHideEvent>
#include <QShortcut>
#include <QWheelEvent>
#include <QtMath>

#include "main_window/Ostrel_View.h"
#include "toolkit/Icons.h"
#include "toolkit/Services.h"
#include "toolkit/Units.h"
#include "toolkit/forms/FormSet.h"
#include "toolkit/picture/PictureLoader.h"

namespace ostrel {

namespace {
// How far an arrow (of the keyboard or of a bar) moves the picture.
constexpr float kStepPoints = 15;
}  // namespace

Form1::Form1() : Form(ScaleMode::Points) {
  setObjectName(QStringLiteral("Form1"));
  setCaption(QStringLiteral("Form1"));
  setWindowIcon(Icons::viewer());
  setDesignClientArea(6165, 2205, 4680, kDesignHeight);

  VScroll1 = new ScrollBar(this, QStringLiteral("VScroll1"), ScrollBar::Orientation::Vertical,
                           ScaleMode::Points);
  VScroll1->Move(222, 0, 12.75F, 168.75F);
  HScroll1 = new ScrollBar(this, QStringLiteral("HScroll1"), ScrollBar::Orientation::Horizontal,
                           ScaleMode::Points);
  HScroll1->Move(0, 168, 222.75F, 12.75F);
  Image1 = new ImageControl(this, QStringLiteral("Image1"), ImageControl::Sizing::Natural,
                            ScaleMode::Points);
  Image1->Move(0, 0, 222.75F, 168.75F);
  // The picture lies on the window's own surface, under the bars.
  Image1->lower();
  setTabOrder({HScroll1, VScroll1});
  HScroll1->setAccessibleName(tr("Horizontal position"));
  VScroll1->setAccessibleName(tr("Vertical position"));

  // Whatever moves a bar moves the picture with it.
  on(HScroll1, &ScrollBar::Scroll, [this] { HScroll1_Scroll(); });
  on(HScroll1, &ScrollBar::Change, [this] { HScroll1_Scroll(); });
  on(VScroll1, &ScrollBar::Scroll, [this] { VScroll1_Scroll(); });
  on(VScroll1, &ScrollBar::Change, [this] { VScroll1_Scroll(); });
  addKeys();
  on(Image1, &ImageControl::Click, [this] { Image1_Click(); });
  frameTimer_.setSingleShot(true);
  on(&frameTimer_, &QTimer::timeout, [this] { FrameTimer_Timer(); });
}

void Form1::addKeys() {
  // Without a window manager the keys are the only way to close the window.
  for (const QKeySequence& keys :
       {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
    on(new QShortcut(keys, this), &QShortcut::activated, [this] { Unload(*this); });
  }
  // The keys move the bars whichever has the focus: arrows each their own
  // way, a page and the ends up and down (across where the picture is
  // only wider than the window).
  using A = QAbstractSlider::SliderAction;
  const struct {
    Qt::Key key;
    ScrollBar* bar;
    A action;
  } keys[] = {{Qt::Key_Left, HScroll1, A::SliderSingleStepSub},
              {Qt::Key_Right, HScroll1, A::SliderSingleStepAdd},
              {Qt::Key_Up, VScroll1, A::SliderSingleStepSub},
              {Qt::Key_Down, VScroll1, A::SliderSingleStepAdd},
              {Qt::Key_PageUp, nullptr, A::SliderPageStepSub},
              {Qt::Key_PageDown, nullptr, A::SliderPageStepAdd},
              {Qt::Key_Home, nullptr, A::SliderToMinimum},
              {Qt::Key_End, nullptr, A::SliderToMaximum}};
  for (const auto& k : keys) {
    on(new QShortcut(QKeySequence(k.key), this), &QShortcut::activated,
       [this, bar = k.bar, action = k.action] {
         ScrollBar* target = bar ? bar : VScroll1->Visible() ? VScroll1 : HScroll1;
         if (target->Visible()) target->triggerAction(action);
       });
  }
}

void Form1::wheelEvent(QWheelEvent* event) {
  // The wheel over the picture turns the bar it would turn over the bars:
  // the vertical one, or the horizontal one for a sideways turn or where
  // the picture is only wider than the window.
  const bool sideways = qAbs(event->angleDelta().x()) > qAbs(event->angleDelta().y());
  ScrollBar* bar = sideways || !VScroll1->Visible() ? HScroll1 : VScroll1;
  if (!bar->Visible()) {
    event->ignore();
    return;
  }
  QCoreApplication::sendEvent(bar, event);
}

void Form1::Form_Load() {
  // The window has its design interior here; the resize step at the first
  // display measures again against the real one.
  Ostrel_View& main = form<Ostrel_View>();
  // Beside the main window, its lists and preview in sight.
  setStartUpPosition(StartUpPosition::BesideOwner, &main);
  // The opener assigns the same decode again right after this step.
  showPicture(services().pictures->natural(main.viewerFile()));
  setRanges();
  applyFitRule();
}

void Form1::showPicture(const Picture& picture) {
  frameTimer_.stop();
  Image1->setPicture(picture);
  const Animation* animation = picture.animation();
  playsLeft_ = !animation ? 0 : animation->plays == 0 ? -1 : animation->plays;
  if (isVisible()) startFrameTimer();
}

void Form1::startFrameTimer() {
  const Animation* animation = Image1->picture().animation();
  if (!animation || playsLeft_ == 0) return;
  frameTimer_.start(animation->frames[Image1->frameShown()].delayMs);
}

void Form1::FrameTimer_Timer() {
  const Animation* animation = Image1->picture().animation();
  if (!animation || playsLeft_ == 0 || !isVisible()) return;
  int next = Image1->frameShown() + 1;
  if (next >= animation->frames.size()) {
    // Once the plays are over the last frame stays.
    if (playsLeft_ > 0 && --playsLeft_ == 0) {
      frameTimer_.stop();
      return;
    }
    next = 0;
  }
  Image1->showFrame(next);
  frameTimer_.start(animation->frames[next].delayMs);
}

void Form1::showEvent(QShowEvent* event) {
  Form::showEvent(event);
  if (!frameTimer_.isActive()) startFrameTimer();
}

int Form1::firstScreenRows(qreal ratio) {
  const qreal points = FormSet::instance().isLoaded<Form1>() ? form<Form1>().ScaleHeight()
                                                             : kDesignHeight / kTwipsPerPoint;
  return qCeil(points / kPointsPerPixel * ratio);
}

void Form1::hideEvent(QHideEvent* event) {
  // Hidden or unloaded, the window does no work. Unloaded part way through
  // its picture, the decode of the rest stops too.
  const DecodeProgress* progress = Image1->picture().progress();
  if (progress && !progress->ended() && !FormSet::instance().isLoaded<Form1>() &&
      services().pictures) {
    services().pictures->cancel(PictureLoader::Purpose::Viewer);
  }
  frameTimer_.stop();
  Form::hideEvent(event);
}

void Form1::Form_Resize() {
  applyFitRule();
  setRanges();
  // Laid out whether shown or not, so a bar appears in its place. An
  // interior lower than a bar gives a negative height, which the bar
  // ignores, keeping its last one.
  const ViewerLayout::Bars bars =
      ViewerLayout::barsFor(ScaleWidth(), ScaleHeight(), HScroll1->Height(), VScroll1->Width());
  HScroll1->setTop(bars.horizontalTop);
  HScroll1->setWidth(bars.horizontalWidth);
  VScroll1->setLeft(bars.verticalLeft);
  VScroll1->setHeight(bars.verticalHeight);
}

void Form1::applyFitRule() {
  ViewerLayout::Fit fit{ScaleWidth(),   ScaleHeight(), Image1->Width(),     Image1->Height(),
                        Image1->Left(), Image1->Top(), HScroll1->Visible(), VScroll1->Visible()};
  ViewerLayout::applyFitRule(fit);
  if (fit.verticalBarVisible != VScroll1->Visible()) VScroll1->setVisible(fit.verticalBarVisible);
  if (fit.horizontalBarVisible != HScroll1->Visible()) {
    HScroll1->setVisible(fit.horizontalBarVisible);
  }
  if (fit.pictureLeft != Image1->Left()) Image1->setLeft(fit.pictureLeft);
  if (fit.pictureTop != Image1->Top()) Image1->setTop(fit.pictureTop);
}

void Form1::setRanges() {
  // A range that no longer holds a bar's value moves the thumb (raising
  // Change); the picture follows it, so what is shown matches the thumb.
  hScale_ = ViewerLayout::barScale(ScaleWidth(), Image1->Width(), HScroll1->Height());
  HScroll1->setMax(hScale_.max);
  vScale_ = ViewerLayout::barScale(ScaleHeight(), Image1->Height(), VScroll1->Width());
  VScroll1->setMax(vScale_.max);
  // An arrow moves a short step, the track a window's breadth, less a step
  // so that what was at one edge is still in sight.
  const auto steps = [](QScrollBar* bar, float interior, int unit) {
    bar->setSingleStep(qMax(1, qRound(kStepPoints / float(unit))));
    bar->setPageStep(qMax(1, int((interior - kStepPoints) / float(unit))));
  };
  steps(HScroll1, ScaleWidth(), hScale_.unit);
  steps(VScroll1, ScaleHeight(), vScale_.unit);
}

void Form1::HScroll1_Scroll() {
  Image1->setLeft(hScale_.offsetFor(HScroll1->Value()));
}

void Form1::VScroll1_Scroll() {
  Image1->setTop(vScale_.offsetFor(VScroll1->Value()));
}

void Form1::Form_Click() {
  Unload(*this);
}

void Form1::Image1_Click() {
  Unload(*this);
}

}  // namespace ostrel
