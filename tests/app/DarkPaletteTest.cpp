#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QTest>
#include <QTextBrowser>

#include "about/frmAbout.h"
#include "main_window/Ostrel_View.h"
#include "picture_viewer/Form1.h"
#include "tests/support/MainWindowClicks.h"
#include "text_window/Form2.h"
#include "toolkit/controls/TextBox.h"
#include "toolkit/forms/FormSet.h"
#include "toolkit/help/HelpBook.h"
#include "toolkit/help/HelpViewer.h"
#include "toolkit/text/TextDocument.h"

namespace ostrel {
namespace {

// A dark theme as desktops set it: Fusion with light text on dark grounds.
QPalette darkPalette() {
  const QColor window(0x35, 0x35, 0x35), base(0x2a, 0x2a, 0x2a), text(0xee, 0xee, 0xee);
  QPalette p(text, window, window.lighter(160), window.darker(160), window.darker(130), text,
             Qt::red, base, window);
  p.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
  p.setColor(QPalette::HighlightedText, Qt::black);
  p.setColor(QPalette::ToolTipBase, base);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, text.darker(150));
  return p;
}

double luminance(QRgb c) {
  auto channel = [](int v) {
    const double s = v / 255.0;
    return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

double contrast(QRgb a, QRgb b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QRgb commonest(const QImage& image) {
  QHash<QRgb, int> counts;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y) | 0xFF000000u];
  QRgb best = 0;
  int most = -1;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it)
    if (it.value() > most) std::tie(best, most) = std::pair(it.key(), it.value());
  return best;
}

// How far the drawn text stands out: the strongest contrast of any pixel of
// the text's area against that area's commonest colour, its background.
double textContrast(const QImage& area) {
  const QRgb ground = commonest(area);
  double best = 1;
  for (int y = 0; y < area.height(); ++y)
    for (int x = 0; x < area.width(); ++x)
      best = std::max(best, contrast(area.pixel(x, y), ground));
  return best;
}

// The part of a widget where its text is drawn, in the widget's coordinates,
// or an empty rectangle for a widget that shows no text.
QRect textArea(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text().isEmpty() ? QRect() : w->rect();
  if (auto* box = qobject_cast<QCheckBox*>(w)) {
    if (box->text().isEmpty()) return {};
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
  }
  if (auto* button = qobject_cast<QAbstractButton*>(w))
    return button->text().isEmpty() ? QRect() : w->rect();
  if (auto* combo = qobject_cast<QComboBox*>(w))
    return combo->currentText().isEmpty() ? QRect() : w->rect();
  if (auto* view = qobject_cast<QAbstractItemView*>(w))
    return view->model() && view->model()->rowCount() > 0 ? view->viewport()->geometry() : QRect();
  if (auto* edit = qobject_cast<TextBox*>(w))
    return edit->document().length() == 0 ? QRect() : edit->viewport()->geometry();
  if (auto* browser = qobject_cast<QTextBrowser*>(w))
    return browser->document()->isEmpty() ? QRect() : browser->viewport()->geometry();
  return {};
}

class DarkPaletteTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(darkPalette());
  }

  // Every text of the window reads against its background, and the window
  // itself is drawn dark; returns how many texts were looked at.
  static int checkWindow(QWidget* window) {
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    const QImage shot = window->grab().toImage();
    const std::string name = window->objectName().toStdString();
    EXPECT_LT(luminance(commonest(shot)), 0.1) << name << ": the window is not drawn dark";
    int texts = 0;
    for (QWidget* w : window->findChildren<QWidget*>()) {
      if (!w->isVisibleTo(window)) continue;
      const QRect area = textArea(w);
      if (area.isEmpty()) continue;
      ++texts;
      const std::string what =
          name + "/" + w->objectName().toStdString() + " (" + w->metaObject()->className() + ")";
      const QPalette& p = w->palette();
      EXPECT_NE(p.color(w->foregroundRole()), p.color(w->backgroundRole())) << what;
      const QRect inWindow(w->mapTo(window, area.topLeft()), area.size());
      EXPECT_GE(textContrast(shot.copy(inWindow & shot.rect())), 3.0) << what;
    }
    return texts;
  }

  test::TempDir dir;
};

TEST_F(DarkPaletteTest, EveryWindowsTextsReadOnADarkTheme) {
  dir.write(QStringLiteral("notes.txt"), "Some text to read.\r\nA second line.\r\n");
  test::clickFile(dir, QStringLiteral("notes.txt"));
  EXPECT_GE(checkWindow(&form<Ostrel_View>()), 10);
  EXPECT_GE(checkWindow(&form<Form2>()), 6) << "the text box among them";
  EXPECT_GE(checkWindow(&form<frmAbout>()), 4);

  QImage picture(24, 16, QImage::Format_RGB32);
  picture.fill(Qt::darkGreen);
  ASSERT_TRUE(picture.save(dir.file(QStringLiteral("small.bmp"))));
  checkWindow(&test::viewPicture(dir, QStringLiteral("small.bmp")));

  HelpViewer help(dir.file(QStringLiteral("BOOK.HLP")));
  help.setObjectName(QStringLiteral("HelpViewer"));
  help.setBook(HelpBook::parse("# Topic\nK: word; other word\nSome **help** text.\n"));
  EXPECT_GE(checkWindow(&help), 3);
}

}  // namespace
}  // namespace ostrel
