#include "toolkit/printing/CupsQueue.h"

#include <cups/cups.h>

#include <QFile>

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
  State state;
  cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue_.constData(),
                                       instance_.isEmpty() ? nullptr : instance_.constData());
  if (dest == nullptr) return state;
  const auto option = [dest](const char* name) {
    return QString::fromUtf8(cupsGetOption(name, dest->num_options, dest->options));
  };
  state.known = true;
  state.stopped = option("printer-state").toInt() == IPP_PSTATE_STOPPED;
  state.accepting = option("printer-is-accepting-jobs") != QLatin1String("false");
  state.message = option("printer-state-message").trimmed();
  state.reasons = option("printer-state-reasons").trimmed();
  if (state.reasons == QLatin1String("none")) state.reasons.clear();
  cupsFreeDests(1, dest);
  return state;
}

QString CupsQueue::wordsOf(const State& state) {
  return state.message.isEmpty() ? state.reasons : state.message;
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
  // A queue that rejects jobs keeps its reason in its state message.
  const QString own = wordsOf(state());
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
