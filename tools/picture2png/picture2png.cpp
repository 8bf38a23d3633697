// picture2png INPUT OUTPUT.png [WIDTHxHEIGHT]
//
// Loads INPUT through the program's picture loader and writes it as PNG: at
// its natural size, or stretched to WIDTHxHEIGHT exactly as the preview shows
// it (decoded for that size, then stretched). OUTPUT "-" loads and writes
// nothing, for timing. Exit status 0 on success; otherwise the error's
// description goes to standard error.

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImageWriter>
#include <QRegularExpression>
#include <cstdio>
#include <new>

#include "toolkit/ToolkitError.h"
#include "toolkit/picture/PictureLoader.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

QString tr(const char* text) {
  return QCoreApplication::translate("picture2png", text);
}

void complain(const QString& text) {
  std::fprintf(stderr, "picture2png: %s\n", qPrintable(text));
}

bool parseSize(const QString& text, QSize& size) {
  static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
  const QRegularExpressionMatch m = pattern.match(text);
  if (!m.hasMatch()) return false;
  size = QSize(m.captured(1).toInt(), m.captured(2).toInt());
  return !size.isEmpty();
}

int run(const QStringList& args) {
  if (args.size() < 3 || args.size() > 4) {
    complain(tr("usage: picture2png INPUT OUTPUT.png [WIDTHxHEIGHT]  (OUTPUT - writes nothing)"));
    return kExitUsage;
  }
  QSize stretch;
  if (args.size() == 4 && !parseSize(args[3], stretch)) {
    complain(tr("“%1” is not a size like 137x113.").arg(args[3]));
    return kExitUsage;
  }
  const QString input = args[1];
  const QString output = args[2];
  const ostrel::Picture picture = stretch.isEmpty()
                                      ? ostrel::PictureLoader::load(input)
                                      : ostrel::PictureLoader::loadForPreview(input, stretch);
  if (output == QLatin1String("-")) return 0;
  const QImage image = picture.toImage(stretch);
  QImageWriter writer(output, "png");
  if (!writer.write(image)) {
    complain(tr("cannot write “%1”: %2").arg(output, writer.errorString()));
    return kExitFailed;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // No display is needed to decode or draw pictures.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  try {
    return run(QCoreApplication::arguments());
  } catch (const ostrel::ToolkitError& e) {
    complain(QStringLiteral("%1 (error %2)").arg(e.Description()).arg(e.Number()));
  } catch (const std::bad_alloc&) {
    complain(tr("out of memory"));
  } catch (const std::exception& e) {
    complain(QString::fromLocal8Bit(e.what()));
  }
  return kExitFailed;
}
