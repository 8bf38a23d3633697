#include "app/Module1.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>

#include "tests/support/TempDir.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/files/SafeFileWriter.h"

namespace ostrel {
namespace {

// A save over the user's file size limit, in a child process as the limit
// and the signal are the whole process's.
int saveOverTheSizeLimitAfterStartUp() {
  const test::TempDir tmp;
  const pid_t child = ::fork();
  if (child == 0) {
    qputenv("XDG_CACHE_HOME", QFile::encodeName(tmp.file("cache")));
    ignoreFileSizeSignal();
    const struct rlimit limit { 4096, 4096 };
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      SafeFileWriter::write(tmp.file("big.txt"), QByteArray(64 * 1024, 'x'));
    } catch (const ToolkitError& e) {
      ::_exit(e.Description().contains(QStringLiteral("larger than the file system allows")) ? 0
                                                                                             : 2);
    }
    ::_exit(3);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

TEST(Module1, AFileSizeLimitGivesTheTooLargeMessageInsteadOfEndingTheProgram) {
  const int status = saveOverTheSizeLimitAfterStartUp();
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace ostrel
