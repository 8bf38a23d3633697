#include "toolkit/printing/CupsQueue.h"

#include <cups/cups.h>

#include <QFile>
#include <QStringList>
#include <iterator>

#include "toolkit/ToolkitError.h"

namespace ostrel {

CupsQueue::CupsQueue(const QString& name)
    : queue_(name.section(QLatin1Char('/'), 0, 0).toLocal8Bit()),
      instance_(name.section(QLatin1Char('/'), 1).toLocal8Bit()) {}

bool CupsQueue::anyReachable() {
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  cupsFreeDests(count, dests);
  return count > 0;
}

CupsQueue::State CupsQueue::state() const {
  // Asked over IPP: the destination list leaves the state message out.
  State state;
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                   "/printers/%s", queue_.constData());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
  static const char* const kWanted[] = {"printer-state", "printer-state-message",
                                        "printer-state-reasons", "printer-is-accepting-jobs"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                int(std::size(kWanted)), nullptr, kWanted);
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
  if (response == nullptr) return state;
  state.known = ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE;
  if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM)) {
    state.stopped = ippGetInteger(a, 0) == IPP_PSTATE_STOPPED;
  }
  if (ipp_attribute_t* a =
          ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN)) {
    state.accepting = ippGetBoolean(a, 0) != 0;
  }
  if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT)) {
    state.message = QString::fromUtf8(ippGetString(a, 0, nullptr)).trimmed();
  }
  if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD)) {
    QStringList reasons;
    for (int i = 0; i < ippGetCount(a); ++i) {
      const QString reason = QString::fromUtf8(ippGetString(a, i, nullptr));
      if (reason != QLatin1String("none")) reasons << reason;
    }
    state.reasons = reasons.join(QStringLiteral(", "));
  }
  ippDelete(response);
  return state;
}

QString CupsQueue::wordsOf(const State& state) {
  QString words = state.message.isEmpty() ? state.reasons : state.message;
  // They end a sentence of ours.
  while (words.endsWith(u'.')) words.chop(1);
  return words;
}

int CupsQueue::submit(const QString& file, const QString& title, int copies) const {
  cups_option_t* options = nullptr;
  int count = 0;
  if (copies > 1)
    count = cupsAddOption("copies", QByteArray::number(copies).constData(), count, &options);
  const int job =
      cupsPrintFile2(CUPS_HTTP_DEFAULT, queue_.constData(), QFile::encodeName(file).constData(),
                     title.toUtf8().constData(), count, options);
  cupsFreeOptions(count, options);
  if (job > 0) return job;
  QString words = QString::fromUtf8(cupsLastErrorString()).trimmed();
  while (words.endsWith(u'.')) words.chop(1);
  const State now = state();
  if (!now.known) {
    throw ToolkitError(err::PrinterError,
                       tr("The printer “%1” cannot be reached: %2.").arg(shownName(), words));
  }
  // A queue that rejects jobs keeps its reason in its state message.
  const QString own = wordsOf(now);
  if (!own.isEmpty() && !words.contains(own)) words += QStringLiteral(" (") + own + u')';
  throw ToolkitError(err::PrinterError,
                     tr("The printer “%1” refused the document: %2.").arg(shownName(), words));
}

int CupsQueue::jobState(int job) const {
  cups_job_t* jobs = nullptr;
  const int count =
      cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue_.constData(), 0, CUPS_WHICHJOBS_ALL);
  int found = 0;
  for (int i = 0; i < count; ++i) {
    if (jobs[i].id == job) found = jobs[i].state;
  }
  cupsFreeJobs(count, jobs);
  return found;
}

void CupsQueue::cancel(int job) const {
  cupsCancelJob2(CUPS_HTTP_DEFAULT, queue_.constData(), job, 0);
}

}  // namespace ostrel
