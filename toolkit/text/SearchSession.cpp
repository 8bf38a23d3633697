#include "toolkit/text/SearchSession.h"

#include <QCoreApplication>
#include <QLocale>

namespace ostrel {

namespace {

// The job's progress as a search reports it: false once it is cancelled.
TextSearch::Progress reporting(JobControl& control, int part = 0, int parts = 1) {
  return [&control, part, parts](qint64 done, qint64 total) {
    return control.report(part * total + done, qMax<qint64>(1, parts * total));
  };
}

}  // namespace

SearchSession::SearchSession(JobService& jobs, Answered answered, std::function<void()> counted)
    : jobs_(jobs), answered_(std::move(answered)), counted_(std::move(counted)) {}

SearchSession::Answer SearchSession::findIn(const TextSearch& search, const TextSnapshot& text,
                                            qint64 origin, Direction direction, bool wrap,
                                            JobControl& control) {
  Answer answer;
  const qint64 length = text.length();
  TextSearch::Result result;
  if (direction == Direction::Forward) {
    result = search.findNext(text, origin, length, reporting(control));
    if (!result.match && !result.cancelled && wrap && origin > 0) {
      answer.wrapped = true;
      result = search.findNext(text, 0, origin, reporting(control));
    }
  } else {
    result = search.findPrevious(text, 0, origin, reporting(control));
    if (!result.match && !result.cancelled && wrap && origin < length) {
      answer.wrapped = true;
      result = search.findPrevious(text, origin, length, reporting(control));
    }
  }
  control.throwIfCancelled();
  answer.match = result.match;
  return answer;
}

SearchSession::Answer SearchSession::replaceIn(const TextSearch& search, const TextSnapshot& text,
                                               const QString& with, JobControl& control) {
  Answer answer;
  std::vector<TextDocument::Range> ranges;
  bool tooMany = false;
  search.forEach(
      text, 0, text.length(),
      [&](const TextSearch::Match& m) {
        tooMany = static_cast<qint64>(ranges.size()) >= kMostReplacements;
        if (!tooMany) ranges.push_back({m.position, m.length});
        return !tooMany;
      },
      reporting(control, 0, 2));
  control.throwIfCancelled();
  if (tooMany) {
    throw ToolkitError(
        err::OutOfMemory,
        QCoreApplication::translate("SearchSession",
                                    "There are more than %1 matches, too many to replace at once. "
                                    "Nothing was replaced.")
            .arg(QLocale().toString(kMostReplacements)));
  }
  answer.replacements = static_cast<qint64>(ranges.size());
  if (answer.replacements > 0) {
    answer.prepared =
        TextDocument::prepareReplaceAll(text, std::move(ranges), with, reporting(control, 1, 2));
    control.throwIfCancelled();
  }
  return answer;
}

void SearchSession::started(Answer prototype, JobOutcome<Answer> outcome) const {
  Answer answer = outcome.value ? std::move(*outcome.value) : Answer();
  answer.kind = prototype.kind;
  answer.search = std::move(prototype.search);
  answer.revision = prototype.revision;
  answer.direction = prototype.direction;
  answer.error = std::move(outcome.error);
  answered_(answer);
}

void SearchSession::find(const TextSearch& search, const TextDocument& document, qint64 origin,
                         Direction direction, bool wrap) {
  Answer prototype;
  prototype.search = search;
  prototype.revision = document.revision();
  prototype.direction = direction;
  jobs_.start(
      search_, &context_, QStringLiteral("find"),
      [search, text = document.snapshot(), origin, direction, wrap](JobControl& control) {
        return findIn(search, text, origin, direction, wrap, control);
      },
      [this, prototype](JobOutcome<Answer> outcome) { started(prototype, std::move(outcome)); });
}

void SearchSession::replaceAll(const TextSearch& search, const TextDocument& document,
                               const QString& with) {
  Answer prototype;
  prototype.kind = Kind::ReplaceAll;
  prototype.search = search;
  prototype.revision = document.revision();
  jobs_.start(
      search_, &context_, QStringLiteral("replace all"),
      [search, text = document.snapshot(), with](JobControl& control) {
        return replaceIn(search, text, with, control);
      },
      [this, prototype](JobOutcome<Answer> outcome) { started(prototype, std::move(outcome)); });
}

void SearchSession::count(const TextSearch& search, const TextDocument& document,
                          const TextSearch::Match& selection) {
  auto tally = std::make_shared<Tally>();
  tally_ = tally;
  jobs_.start(
      count_, &context_, QStringLiteral("count"),
      [search, shared = document.snapshot(), selection, tally](JobControl& control) mutable {
        // A count runs while the user types: the document's edits must not
        // have to copy the table of pieces this would share with them.
        const TextSnapshot text = shared.detached();
        shared = TextSnapshot();
        search.forEach(
            text, 0, text.length(),
            [&](const TextSearch::Match& m) {
              if (m.position < selection.position) ++tally->before;
              if (m == selection) tally->selectionIsMatch = true;
              ++tally->total;
              return true;
            },
            reporting(control));
        control.throwIfCancelled();
        return Count{tally->total, tally->before, tally->selectionIsMatch, true};
      },
      [this](const JobOutcome<Count>& outcome) {
        if (outcome.error) {
          jobs_.report(*outcome.error);
          return;
        }
        lastCount_ = outcome.value;
        if (counted_) counted_();
      });
}

void SearchSession::cancel() {
  search_.cancel();
}

void SearchSession::stopCounting() {
  count_.cancel();
  tally_.reset();
}

void SearchSession::forgetCount() {
  stopCounting();
  lastCount_.reset();
}

void SearchSession::stop() {
  cancel();
  stopCounting();
}

std::optional<SearchSession::Count> SearchSession::currentCount() const {
  if (count_.busy() && tally_) {
    return Count{tally_->total, tally_->before, tally_->selectionIsMatch, false};
  }
  return lastCount_;
}

}  // namespace ostrel
