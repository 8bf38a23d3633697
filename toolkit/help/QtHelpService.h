#pragma once

#include <QCoreApplication>
#include <QHash>
#include <QLocale>
#include <QPointer>
#include <QStringList>
#include <optional>

#include "toolkit/help/HelpService.h"
#include "toolkit/help/HelpViewer.h"

namespace ostrel {

// The help call served by our own viewer window (HelpViewer), one window per
// help file, reused while it is open. Trouble with the file itself (missing,
// a folder, a special file, unreadable, too large) is reported by the viewer
// in a message box titled "Help", and the call then returns false; only a
// call that names no help file at all raises ToolkitError. A translated book
// beside the named file is shown instead when the user's language has one
// (localizedHelpFile); the viewer is still the named file's.
class QtHelpService : public HelpService {
  Q_DECLARE_TR_FUNCTIONS(QtHelpService)

 public:
  QtHelpService() = default;
  ~QtHelpService() override;
  QtHelpService(const QtHelpService&) = delete;
  QtHelpService& operator=(const QtHelpService&) = delete;

  bool WinHelp(QWidget* owner, const QString& helpFile, unsigned command,
               const QString& key) override;

  // The open viewer of helpFile, or null.
  HelpViewer* viewerFor(const QString& helpFile) const;

  // The UI languages the book is chosen for; the system locale's by default.
  void setLanguages(const QStringList& uiLanguages) { languages_ = uiLanguages; }

 private:
  static QString keyOf(const QString& helpFile);
  // The file's bytes, or nothing after telling the user why not.
  std::optional<QByteArray> readHelpFile(QWidget* owner, const QString& helpFile) const;
  void quit(const QString& helpFile);

  QHash<QString, QPointer<HelpViewer>> viewers_;
  QStringList languages_ = QLocale::system().uiLanguages();
};

}  // namespace ostrel
