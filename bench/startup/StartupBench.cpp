// Start-up of the whole program, exec to its first painted main window,
// beside a bare Qt window. Each iteration spawns one process in a folder of
// 100 files and waits for it to end itself after its first paint; the
// child's peak resident memory is reported as a counter.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const fs::path& workFolder() {
  static const fs::path folder = [] {
    fs::path f = fs::temp_directory_path() / ("ostrel-startup-" + std::to_string(getpid()));
    fs::create_directories(f);
    for (int i = 0; i < 100; ++i) std::ofstream(f / ("file" + std::to_string(i) + ".txt")) << i;
    return f;
  }();
  return folder;
}

// Runs the program once; returns false when it did not end with status 0.
bool runOnce(const char* exe, double& seconds, long& peakKiB) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  env.emplace_back("OSTREL_QUIT_AFTER_FIRST_PAINT=1");
  std::vector<char*> envp;
  envp.reserve(env.size() + 1);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = exe;
  char* argv[] = {program.data(), nullptr};

  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, exe, nullptr, nullptr, argv, envp.data()) != 0) return false;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return false;
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  peakKiB = usage.ru_maxrss;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void startup(benchmark::State& state, const char* exe) {
  fs::current_path(workFolder());
  long peakKiB = 0;
  for (auto _ : state) {
    double seconds = 0;
    if (!runOnce(exe, seconds, peakKiB)) {
      state.SkipWithError("the program did not start and end cleanly");
      break;
    }
    state.SetIterationTime(seconds);
  }
  state.counters["peak_rss_MiB"] = static_cast<double>(peakKiB) / 1024.0;
}

void BM_ProcessStartupBareWindow(benchmark::State& state) {
  startup(state, BARE_WINDOW_EXE);
}
void BM_ProcessStartupOstrelViewer(benchmark::State& state) {
  startup(state, OSTREL_VIEWER_EXE);
}

BENCHMARK(BM_ProcessStartupBareWindow)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessStartupOstrelViewer)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // Offscreen unless a display is chosen: under xvfb-run both processes
  // start against a real X server.
  if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  fs::remove_all(workFolder(), ignored);
  return 0;
}
