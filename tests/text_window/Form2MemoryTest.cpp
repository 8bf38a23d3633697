// Opening and closing the text window again and again costs no memory for
// good: whatever a window makes goes with it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <algorithm>
#include <limits>

#include "main_window/Ostrel_View.h"
#include "tests/support/TempDir.h"
#include "text_window/Form2.h"
#include "toolkit/forms/FormSet.h"

namespace ostrel {
namespace {

// Resident memory in kilobytes, as /proc/self/statm counts it.
qint64 residentKb() {
  QFile statm(QStringLiteral("/proc/self/statm"));
  if (!statm.open(QIODevice::ReadOnly)) return -1;
  const QList<QByteArray> fields = statm.readAll().split(' ');
  return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) / 1024 : -1;
}

TEST(Form2Memory, OpeningAndClosingTheWindowLevelsOff) {
  test::TempDir tmp;
  QByteArray text;
  for (int i = 0; i < 20'000; ++i) text += "a line of some fifty characters, give or take.\r\n";
  tmp.write(QStringLiteral("a.txt"), text);
  Ostrel_View& main = form<Ostrel_View>();
  main.Dir1->setPath(tmp.path());
  main.File1->Refresh();
  const auto cycle = [&] {
    ASSERT_TRUE(main.File1->clickName(QStringLiteral("a.txt")));
    QCoreApplication::processEvents();
    form<Form2>().Text1->selectAll();  // lays out and paints what is in view
    form<Form2>().repaint();
    Unload<Form2>();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  };
  for (int i = 0; i < 60; ++i) cycle();  // caches and pools fill up first
  // A leak of a few kilobytes a window shows as megabytes in every round;
  // the allocator's own growth, now and then, in one round at most.
  constexpr int kRounds = 3;
  constexpr int kCycles = 100;
  qint64 least = std::numeric_limits<qint64>::max();
  for (int round = 0; round < kRounds; ++round) {
    const qint64 before = residentKb();
    ASSERT_GT(before, 0);
    for (int i = 0; i < kCycles; ++i) cycle();
    least = std::min(least, residentKb() - before);
  }
  EXPECT_LT(least, 1000) << least << " KB over " << kCycles << " windows in every round";
}

}  // namespace
}  // namespace ostrel
