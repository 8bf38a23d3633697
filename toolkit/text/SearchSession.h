#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "toolkit/ToolkitError.h"
#include "toolkit/jobs/JobLane.h"
#include "toolkit/jobs/JobService.h"
#include "toolkit/text/TextDocument.h"
#include "toolkit/text/TextSearch.h"

namespace ostrel {

// The searches of a find window, without the window: Find Next and Previous
// (going round the ends when asked), Replace All worked out in full, and the
// count of matches that runs beside them. Each runs as a job over a
// snapshot of the text, so the text may be edited meanwhile; nothing here
// ever waits for one. A newer search replaces the one before, and so does a
// newer count.
class SearchSession {
 public:
  enum class Direction { Forward, Backward };
  enum class Kind { Find, ReplaceAll };

  // How a search ended, for the window to show.
  struct Answer {
    Kind kind = Kind::Find;
    TextSearch search{QString(), TextSearch::Options()};
    // The document's revision the search looked at: an answer for another
    // revision is out of date.
    quint64 revision = 0;
    Direction direction = Direction::Forward;
    // Find: the match, and whether it was found beyond the end (or start).
    std::optional<TextSearch::Match> match;
    bool wrapped = false;
    // Replace All: how many matches, and the text they make (none when none).
    qint64 replacements = 0;
    std::optional<TextDocument::PreparedReplaceAll> prepared;
    // What stopped it; shown once.
    std::optional<ToolkitError> error;
  };
  using Answered = std::function<void(Answer&)>;

  struct Count {
    qint64 total = 0;
    qint64 before = 0;  // matches before the selection
    bool selectionIsMatch = false;
    bool finished = false;
  };

  // Replace All refuses more matches than this: their table alone would take
  // hundreds of megabytes.
  static constexpr qint64 kMostReplacements = 5'000'000;

  // answered is called on the interface thread once for each search that
  // is neither replaced, cancelled nor stopped first; counted when a count
  // has finished.
  SearchSession(JobService& jobs, Answered answered, std::function<void()> counted);

  void find(const TextSearch& search, const TextDocument& document, qint64 origin,
            Direction direction, bool wrap);
  void replaceAll(const TextSearch& search, const TextDocument& document, const QString& with);
  // Counts the matches of search, and where the selection stands among them.
  void count(const TextSearch& search, const TextDocument& document,
             const TextSearch::Match& selection);

  // Drops the running search: nothing answers.
  void cancel();
  // Drops the running count; the last finished one stays.
  void stopCounting();
  // Drops the running count and forgets the last one.
  void forgetCount();
  // The search and the count.
  void stop();

  bool searching() const { return search_.busy(); }
  bool counting() const { return count_.busy(); }
  // The running search's progress, 0 to 1000.
  int permille() const { return search_.current().permille(); }
  // The running count so far, else the last finished one, else nothing.
  std::optional<Count> currentCount() const;

 private:
  // The numbers a running count has reached, read by the window meanwhile.
  struct Tally {
    std::atomic<qint64> total{0};
    std::atomic<qint64> before{0};
    std::atomic<bool> selectionIsMatch{false};
  };

  static Answer findIn(const TextSearch& search, const TextSnapshot& text, qint64 origin,
                       Direction direction, bool wrap, JobControl& control);
  static Answer replaceIn(const TextSearch& search, const TextSnapshot& text, const QString& with,
                          JobControl& control);
  void started(Answer prototype, JobOutcome<Answer> outcome) const;

  JobService& jobs_;
  Answered answered_;
  std::function<void()> counted_;
  // The jobs answer to it: nothing arrives once the session is gone.
  QObject context_;
  JobLane search_;
  JobLane count_;
  std::shared_ptr<Tally> tally_;
  std::optional<Count> lastCount_;
};

}  // namespace ostrel
