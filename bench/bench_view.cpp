// The event view: painting one full page of the grid (vertical and dump view, a grid
// of 1280 x 800 pixels), jumping to the end of and scrolling one page through a record
// file of 10 000 000 events with the resident memory before and after, and, while the
// window records the simulated link in stress mode at 921600 baud on both lines, the
// repaint rate of the grid and the delay of a key press.
//
//   build-bench/bench/bench_view
//   build-bench/bench/bench_view --benchmark_filter=Paint --benchmark_repetitions=10
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "BenchTempDir.h"
#include "../tests/support/EventViewRig.h"
#include "app/MainForm.h"
#include "app/MessageForm.h"
#include "capture/CaptureEngine.h"
#include "capture/Clock.h"
#include "capture/LiveViewBuffer.h"
#include "capture/ViewLock.h"
#include "recording/CaptureSession.h"
#include "recording/RecordFile.h"
#include "settings/MessageSink.h"
#include "view/ui/EventGrid.h"
#include "view/ui/EventView.h"

namespace {

long long residentKb() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
  return -1;
}

// A record file like a busy link: bytes on both lines, handshake edges, now and then a mark and an error.
bool writeRecordFile(const std::string& path, int64_t count) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::mt19937 random(3);
  std::vector<EventRecord> chunk(65536);
  int64_t written = 0;
  bool ok = true;
  while (ok && written < count) {
    const int64_t n = std::min<int64_t>(int64_t(chunk.size()), count - written);
    for (int64_t i = 0; i < n; ++i) {
      EventRecord& r = chunk[std::size_t(i)];
      r = zeroRecord();
      const int64_t e = written + i;
      r.eventNumber = uint32_t(e);
      r.timeStamp = 46000.5 + double(e) * 1e-4 / 86400.0;
      const uint32_t x = random();
      r.d1Flag = x & 1;
      r.d2Flag = !r.d1Flag;
      r.d1Byte = uint8_t(0x20 + (x >> 8) % 0x60);
      r.d2Byte = uint8_t((x >> 16) & 0xFF);
      for (int s = 0; s < SignalCount; ++s) r.signalBytes[s] = ((e >> (s + 3)) & 1) != 0;
      if (x % 97 == 0) r.errors[ErrPe2] = 1;
      if (x % 211 == 0) {
        r.markCode = Mark::TriggerStart;
        r.triggerNumber = 2;
      }
      r.lineQuality = 97;
    }
    const ssize_t want = ssize_t(n) * ssize_t(kRecordSize);
    ok = ::write(fd, chunk.data(), std::size_t(want)) == want;
    written += n;
  }
  return ::close(fd) == 0 && ok;
}

// One event view over a record file, in a grid of the given size.
struct ViewRig : EventViewRig {
  ViewRig(const std::string& path, QSize size, ViewMode mode) : EventViewRig(size) {
    view->setRecordingQuery([] { return false; });
    state.codes.setViewMode(mode);
    if (!openView(QString::fromStdString(path))) std::fprintf(stderr, "bench_view: cannot open %s\n", path.c_str());
  }
};

TempDir gDir;
std::string gSmall, gLarge;

void paintPage(benchmark::State& state, ViewMode mode) {
  ViewRig rig(gSmall, QSize(1280, 800), mode);
  rig.view->chooseTime(CellText::TimeMode::Delta);
  QImage image(1280, 800, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&image);
    rig.grid->paintCells(p, image.rect());
  }
  state.counters["events_per_page"] = rig.view->capacity();
  state.SetItemsProcessed(state.iterations() * rig.view->capacity());
}
void BM_PaintPageVertical(benchmark::State& state) { paintPage(state, ViewMode::Vertical); }
void BM_PaintPageDump(benchmark::State& state) { paintPage(state, ViewMode::DataDump); }
void BM_PaintPageDataOnly(benchmark::State& state) { paintPage(state, ViewMode::DataOnly); }
BENCHMARK(BM_PaintPageVertical)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintPageDump)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintPageDataOnly)->Unit(benchmark::kMicrosecond);

// Jumping to the end, and a page down from the last row, in the file of 10 000 000
// events, each with the page drawn; the resident memory after the small file and the
// large one. The file lies in the page cache, as a file just recorded or viewed does.
void BM_JumpToEnd10M(benchmark::State& state) {
  const long long rssBefore = residentKb();
  ViewRig rig(gLarge, QSize(1280, 800), ViewMode::Vertical);
  QImage image(1280, 800, QImage::Format_RGB32);
  for (auto _ : state) {
    rig.view->DrawGrid1KeyDown(Qt::Key_End, Qt::NoModifier);
    QPainter p(&image);
    rig.grid->paintCells(p, image.rect());
    p.end();
    state.PauseTiming();
    rig.view->DrawGrid1KeyDown(Qt::Key_Home, Qt::NoModifier);
    state.ResumeTiming();
  }
  state.counters["records"] = double(rig.bar->maximum());
  state.counters["rss_growth_kB"] = double(residentKb() - rssBefore);
}
BENCHMARK(BM_JumpToEnd10M)->Unit(benchmark::kMillisecond);

void BM_PageDown10M(benchmark::State& state) {
  const long long rssBefore = residentKb();
  ViewRig rig(gLarge, QSize(1280, 800), ViewMode::Vertical);
  rig.bar->setValue(5'000'000);
  const int lastRow = GridGeometry::visibleEventRows(ViewMode::Vertical, rig.grid->fullyVisibleRows());
  QImage image(1280, 800, QImage::Format_RGB32);
  for (auto _ : state) {
    rig.grid->selectCell(0, lastRow);
    rig.view->DrawGrid1KeyDown(Qt::Key_PageDown, Qt::NoModifier);
    QPainter p(&image);
    rig.grid->paintCells(p, image.rect());
    if (rig.bar->value() > 9'000'000) rig.bar->setValue(5'000'000);
  }
  state.counters["rss_growth_kB"] = double(residentKb() - rssBefore);
}
BENCHMARK(BM_PageDown10M)->Unit(benchmark::kMillisecond);

void BM_ResidentMemoryBySize(benchmark::State& state) {
  long long small = 0, large = 0;
  for (auto _ : state) {
    {
      ViewRig rig(gSmall, QSize(1280, 800), ViewMode::Vertical);
      rig.view->DrawGrid1KeyDown(Qt::Key_End, Qt::NoModifier);
      small = residentKb();
    }
    {
      ViewRig rig(gLarge, QSize(1280, 800), ViewMode::Vertical);
      rig.view->DrawGrid1KeyDown(Qt::Key_End, Qt::NoModifier);
      large = residentKb();
    }
  }
  state.counters["rss_kB_100k_file"] = double(small);
  state.counters["rss_kB_10M_file"] = double(large);
}
BENCHMARK(BM_ResidentMemoryBySize)->Iterations(3)->Unit(benchmark::kMillisecond);

// The window records the stress link for 10 s. Paint events of the grid are counted; a
// key press (Down) is posted every 50 ms and its delay taken when the grid receives it.
class LiveProbe : public QObject {
 public:
  int paints = 0;
  std::vector<double> delaysMs;
  QElapsedTimer clock;
  qint64 postedAt = -1;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    if (event->type() == QEvent::KeyPress && postedAt >= 0) {
      delaysMs.push_back(double(clock.nsecsElapsed() - postedAt) / 1e6);
      postedAt = -1;
    }
    return QObject::eventFilter(watched, event);
  }
};

void BM_LiveStress921600(benchmark::State& state) {
  for (auto _ : state) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() + "/recordings");
    TMessageForm box;
    GuiMessages messages(box);
    MainFormOptions o;
    o.userPath = QString::fromStdString(dir.path() + "/");
    o.simulate = true;
    o.scenario = QStringLiteral("stress");
    TFormMain main(o, messages);
    main.resize(1280, 1000);
    main.setBottomPanelHeight(150);
    main.show();
    QApplication::processEvents();
    CaptureSession& s = main.session();
    s.ports.baudRates.select(QStringLiteral("921600"));
    s.ports.InitInterface();
    s.file.setName(QString::fromStdString(dir.file("live.vrd")));

    LiveProbe probe;
    probe.clock.start();
    main.grid()->installEventFilter(&probe);
    QTimer keys;
    QObject::connect(&keys, &QTimer::timeout, [&] {
      if (probe.postedAt >= 0) return;
      probe.postedAt = probe.clock.nsecsElapsed();
      QApplication::postEvent(main.grid(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
    });
    main.btnRecordClick();
    const uint64_t before = s.engine.writtenCount();
    probe.paints = 0;
    QElapsedTimer wall;
    wall.start();
    keys.start(50);
    QTimer::singleShot(10000, [] { QApplication::exit(0); });
    QApplication::exec();
    keys.stop();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const uint64_t records = s.engine.writtenCount() - before;
    main.btnStopClick();
    main.closeWithoutQuestions();

    std::vector<double> d = probe.delaysMs;
    std::sort(d.begin(), d.end());
    state.counters["records_per_s"] = double(records) / seconds;
    state.counters["grid_repaints_per_s"] = double(probe.paints) / seconds;
    state.counters["key_delay_median_ms"] = d.empty() ? -1 : d[d.size() / 2];
    state.counters["key_delay_max_ms"] = d.empty() ? -1 : d.back();
    state.counters["keys"] = double(d.size());
  }
}
BENCHMARK(BM_LiveStress921600)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (!gDir.ok()) return 1;
  gSmall = gDir.file("small.vrd");
  gLarge = gDir.file("large.vrd");
  std::fprintf(stderr, "bench_view: writing record files of 100 000 and 10 000 000 events ...\n");
  if (!writeRecordFile(gSmall, 100'000) || !writeRecordFile(gLarge, 10'000'000)) {
    std::fprintf(stderr, "bench_view: cannot write the record files in %s\n", gDir.path().c_str());
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
