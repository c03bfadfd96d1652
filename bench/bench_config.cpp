// What reading Vorlog.ini costs at start: Configuration::load on a full file as a
// user's machine has it (every key the program writes, the port numbering, a few
// skins, the monitors of all forms), and the save that rewrites it on exit.
//
//   build/bench/bench_config --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <QFile>
#include <QString>
#include <string>

#include "BenchTempDir.h"
#include "settings/Configuration.h"

namespace {

bool writeTypicalFile(const QString& path) {
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(
        "[Ports]\nCOM1=/dev/ttyUSB0\nCOM2=/dev/ttyUSB1\nCOM3=/dev/ttyACM0\nCOM4=/dev/pts/3\n"
        "[Skin]\nMax=6\nCurrent=2\n"
        "[Skin1]\nName=Fusion Light\nDark=0\n[Skin2]\nName=Carbon\nDark=1\n[Skin3]\nName=None\n");
  }
  Configuration c;
  const char* forms[] = {"FormMain",       "SupportTools", "FormWebUpdate", "FormJump",     "FormGoto",
                         "FormExport",     "FormTrig",     "FormReport",    "FormEnvConf",  "FormConfirmRecordMode",
                         "FormTrigParams", "MessageForm",  "FormOptions",   "LanguageForm", "ProgressForm",
                         "FormSelector"};
  for (const char* form : forms) c.setMonitor(QString::fromLatin1(form), 1);
  c.environmentFile = QStringLiteral("/home/operator/jobs/line 7 (night shift).ven");
  return c.save(path);
}

void BM_LoadConfiguration(benchmark::State& state) {
  TempDir dir;
  const QString path = QString::fromStdString(dir.file("Vorlog.ini"));
  if (!dir.ok() || !writeTypicalFile(path)) {
    state.SkipWithError("cannot write the configuration file");
    return;
  }
  state.counters["file_bytes"] = double(QFile(path).size());
  for (auto _ : state) {
    Configuration c;
    benchmark::DoNotOptimize(c.load(path));
    benchmark::DoNotOptimize(c.languageOffset);
  }
}
BENCHMARK(BM_LoadConfiguration)->Unit(benchmark::kMicrosecond);

void BM_SaveConfiguration(benchmark::State& state) {
  TempDir dir;
  const QString path = QString::fromStdString(dir.file("Vorlog.ini"));
  if (!dir.ok() || !writeTypicalFile(path)) {
    state.SkipWithError("cannot write the configuration file");
    return;
  }
  Configuration c;
  c.load(path);
  for (auto _ : state) benchmark::DoNotOptimize(c.save(path));
}
BENCHMARK(BM_SaveConfiguration)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
