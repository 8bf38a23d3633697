#pragma once

#include <QCoreApplication>
#include <QString>
#include <functional>

#include "toolkit/jobs/JobHandle.h"
#include "toolkit/jobs/JobService.h"
#include "toolkit/printing/PrintDocument.h"

class QObject;

namespace ostrel {

class TextSnapshot;

// The printer object: Print adds text to the document being built, EndDoc
// sends the document to the printer and starts a new one.
class Printer {
  Q_DECLARE_TR_FUNCTIONS(Printer)

 public:
  // The font documents are printed in; the application's font family at a
  // size that reads well on paper unless set otherwise.
  QString FontName() const;
  void setFontName(const QString& family) { fontName_ = family; }
  float FontSize() const { return fontSize_; }
  void setFontSize(float points) { fontSize_ = points; }

  // Adds text and a line end to the document.
  void Print(const QString& text);
  // The same for a document's text as it stands, sharing its characters.
  void Print(const TextSnapshot& text);

  // What a print ends in: what the user is still to be told when it
  // printed (usually nothing), or the error that stopped it.
  using Done = std::function<void(JobOutcome<QString>)>;
  // Sends the document to the printer as a job, off the interface thread,
  // and starts a new one. done hears the outcome on the interface thread,
  // unless the job is cancelled or context is gone first. Throws
  // ToolkitError(err::PrinterError) when no printer is set up. An empty
  // document prints nothing and returns an empty handle.
  JobHandle EndDoc(QObject* context, Done done);
  // Drops the document without printing.
  void KillDoc() { document_.clear(); }

 private:
  PrintDocument document_;
  QString fontName_;
  float fontSize_ = 10;
};

// The program's one printer object.
Printer& printer();

}  // namespace ostrel
