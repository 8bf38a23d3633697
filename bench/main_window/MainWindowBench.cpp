#include <benchmark/benchmark.h>
#include <dirent.h>
#include <strings.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/QtServices.h"
#include "main_window/FileTypeFilter.h"
#include "main_window/Ostrel_View.h"
#include "toolkit/controls/FileListBox.h"
#include "toolkit/forms/FormSet.h"

namespace {

// A folder of n empty files, a third of them pictures or texts the default
// pattern lists, made once per size.
const QString& folderOf(int n) {
  static std::map<int, std::unique_ptr<QTemporaryDir>> folders;
  auto& dir = folders[n];
  if (!dir) {
    dir = std::make_unique<QTemporaryDir>();
    const char* kinds[] = {".gif", ".txt", ".dat", ".bmp", ".o", ".html"};
    for (int i = 0; i < n; ++i) {
      QFile f(dir->filePath(QStringLiteral("file%1%2")
                                .arg(i, 6, 10, QLatin1Char('0'))
                                .arg(QLatin1String(kinds[i % 6]))));
      f.open(QIODevice::WriteOnly);
    }
  }
  static QString path;
  path = dir->path();
  return path;
}

bool endsWithNoCase(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() > n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

// The baseline: readdir, keep the names the default pattern selects, sort.
void BM_PlainReaddirFilterSort(benchmark::State& state) {
  const QByteArray folder = QFile::encodeName(folderOf(static_cast<int>(state.range(0))));
  const char* suffixes[] = {".gif", ".bmp", ".jpg",  ".dib", ".txt", ".doc",
                            ".bat", ".ico", ".html", ".wmf", ".emf"};
  for (auto _ : state) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.constData());
    while (const dirent* e = readdir(dir)) {
      if (e->d_name[0] == '.' || e->d_type != DT_REG) continue;
      std::string name(e->d_name);
      for (const char* s : suffixes) {
        if (endsWithNoCase(name, s)) {
          names.push_back(std::move(name));
          break;
        }
      }
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return strcasecmp(a.c_str(), b.c_str()) < 0;
    });
    benchmark::DoNotOptimize(names);
  }
}

void BM_FileListFolder(benchmark::State& state) {
  const QString folder = folderOf(static_cast<int>(state.range(0)));
  const ostrel::FilePattern pattern(QString::fromLatin1(ostrel::kDefaultPattern));
  for (auto _ : state) {
    benchmark::DoNotOptimize(ostrel::FileListBox::listFolder(folder, pattern));
  }
}

// The whole control: listing plus handing the names to the view.
void BM_FileListSetPath(benchmark::State& state) {
  const QString folder = folderOf(static_cast<int>(state.range(0)));
  ostrel::FileListBox list(nullptr, QStringLiteral("File1"));
  list.setPattern(QString::fromLatin1(ostrel::kDefaultPattern));
  for (auto _ : state) {
    list.setPath(folder);
    benchmark::DoNotOptimize(list.ListCount());
  }
}

BENCHMARK(BM_PlainReaddirFilterSort)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileListFolder)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileListSetPath)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Until the window has painted once.
void paintOnce(QWidget& w) {
  w.show();
  w.grab();
  QCoreApplication::processEvents();
}

void BM_StartupBareWindow(benchmark::State& state) {
  for (auto _ : state) {
    QWidget w;
    w.resize(288, 350);
    paintOnce(w);
  }
}

void BM_StartupMainWindow(benchmark::State& state) {
  QDir::setCurrent(folderOf(100));
  for (auto _ : state) {
    paintOnce(ostrel::form<ostrel::Ostrel_View>());
    state.PauseTiming();
    ostrel::FormSet::instance().reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state.ResumeTiming();
  }
}

BENCHMARK(BM_StartupBareWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartupMainWindow)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ostrel::QtServices services;
  services.install();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
