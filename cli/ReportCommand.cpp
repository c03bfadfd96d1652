#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <memory>

#include "cli/Args.h"
#include "cli/BesideEventLoop.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "recording/RecordFileName.h"
#include "settings/Configuration.h"
#include "settings/Environment.h"
#include "settings/Texts.h"
#include "settings/UserPath.h"
#include "tools/RecordReader.h"
#include "tools/ReportSummary.h"
#include "tools/WorkControl.h"
#include "tools/ui/ReportRenderer.h"

namespace TextNo {
constexpr int Progress = 9935, CannotPrint = 9934, Cancelled = 9936, Printed = 9937, Clamped = 9938;
constexpr int SectionValue = 9939, ViewValue = 9940, Needs = 9941, NumberValue = 9942, EnvUnreadable = 9943;
constexpr int SameFile = 9944;
}  // namespace TextNo

std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
  // Only the report paints; it does so offscreen, without a display or a widget library.
  bool report = false;
  for (int i = 1; i < argc; ++i) {
    const QString a = QString::fromLocal8Bit(argv[i]);
    if (a == QLatin1String("--lang")) {
      ++i;
      continue;
    }
    if (a.startsWith(QLatin1String("--"))) continue;
    report = a == QLatin1String("report");
    break;
  }
  if (!report) return std::make_unique<QCoreApplication>(argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // The offscreen platform asks for a runtime folder that a headless session may not
  // have; it works without one, so that notice would only clutter the report's output.
  static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) return;
    if (previous) previous(type, context, text);
  });
  return std::make_unique<QGuiApplication>(argc, argv);
}

int runReport(const QStringList& in) {
  const Args a = Args::parse(in, {"pdf", "from", "to", "sections", "env", "view"}, {"new-page", "json", "quiet"});
  auto usage = [](const QString& why) {
    printErr(QStringLiteral("vorlog-cli report: %1\n").arg(why));
    return 2;
  };
  if (!a.error.isEmpty()) return usage(a.error);
  if (a.positional.size() != 1 || !a.has("pdf") || a.value("pdf").isEmpty()) return usage(Texts::text(TextNo::Needs));
  auto fail = [](const QString& why) {
    printErr(QStringLiteral("vorlog-cli: ") + why + QLatin1Char('\n'));
    return 1;
  };

  Configuration configuration;
  configuration.load();
  ReportOptions o;
  o.view = ViewState::fromConfiguration(configuration);
  o.printedAt = QDateTime::currentDateTime();
  o.newPage = a.has("new-page");
  if (a.has("sections")) {
    o.header = o.details = o.summary = false;
    for (const QString& raw : a.value("sections").split(QLatin1Char(','), Qt::SkipEmptyParts)) {
      const QString s = raw.trimmed().toLower();
      if (s == QLatin1String("header"))
        o.header = true;
      else if (s == QLatin1String("details"))
        o.details = true;
      else if (s == QLatin1String("summary"))
        o.summary = true;
      else
        return usage(Texts::text(TextNo::SectionValue).arg(raw));
    }
  }
  if (a.has("view")) {
    static const QMap<QString, ViewMode> kViews{
        {"vertical", ViewMode::Vertical}, {"data", ViewMode::DataOnly}, {"dump", ViewMode::DataDump}};
    if (!kViews.contains(a.value("view"))) return usage(Texts::text(TextNo::ViewValue).arg(a.value("view")));
    o.view.codes.setViewMode(kViews.value(a.value("view")));
  }
  bool ok = true;
  for (auto [name, target] : {std::pair{"from", &o.from}, std::pair{"to", &o.to}}) {
    if (!a.has(name)) continue;
    o.all = false;
    *target = a.value(name).toLongLong(&ok);
    if (!ok || *target < 1) return usage(Texts::text(TextNo::NumberValue).arg(QStringLiteral("--") + name));
  }
  // The header texts of the job given, else of the environment the window works with.
  const QString envName = a.has("env") ? resolveEnvironmentName(a.value("env"), userPath())
                                       : qualifyEnvironmentName(configuration.environmentFile, userPath());
  if (a.has("env") || !configuration.environmentFile.isEmpty()) {
    Environment env;
    EnvironmentWarnings warnings;
    QString error;
    if (!LoadEnvironment(envName, env, warnings, &error) || (a.has("env") && !QFileInfo::exists(envName)))
      return fail(Texts::text(TextNo::EnvUnreadable).arg(envName, error.isEmpty() ? QStringLiteral("-") : error));
    o.headerTexts = {env.general, env.customer, env.description};
  }

  RecordReader reader(resolveRecordFileName(a.positional[0], userPath()));
  if (!reader.isOpen()) return fail(reader.message());
  o.jobName = ReportSummary::jobName(reader.path());
  if (reader.recordCount() > 1) {
    EventRecord first;
    if (reader.readOne(1, first)) o.view.relativeBase = first.timeStamp;
  }
  ReportRenderer renderer(reader, o);
  QStringList rangeArguments;
  const int refused = (o.details || o.summary) ? renderer.rangeMessage(&rangeArguments) : 0;
  if (refused != 0) {
    QString text = Texts::text(refused);
    for (const QString& arg : rangeArguments) text = text.arg(arg);
    return fail(text);
  }
  if (renderer.range().clamped)
    printErr(QStringLiteral("vorlog-cli: ") +
             Texts::text(TextNo::Clamped).arg(o.to).arg(renderer.range().last) + QLatin1Char('\n'));

  // The PDF grows under a temporary name beside the target and replaces it only when the
  // whole report is in it; the record file itself is never a target.
  const QString target = a.value("pdf");
  if (identityOf(target) == reader.identity()) return fail(Texts::text(TextNo::SameFile));
  QSaveFile out(target);
  if (QFileInfo(target).isDir() || !out.open(QIODevice::WriteOnly))
    return fail(Texts::text(TextNo::CannotPrint).arg(target, out.errorString()));
  QPdfWriter writer(&out);
  writer.setResolution(96);
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
  writer.setTitle(o.jobName);
  writer.setCreator(Texts::text(1));
  const int pages = renderer.countPages(writer);

  // The report paints beside the event loop, which shows the progress and turns Ctrl-C
  // into a stop that keeps no half report.
  WorkControl control;
  ReportResult result;
  runBesideEventLoop(
      control, a.has("quiet"), [&] { result = renderer.render(writer, &control, pages); },
      [&] { return Texts::text(TextNo::Progress).arg(control.done.load()).arg(pages); });

  if (result.status != ReportResult::Status::Done) {
    out.cancelWriting();
    if (result.status == ReportResult::Status::Stopped) return fail(Texts::text(TextNo::Cancelled));
    if (result.messageNumber == TextNo::CannotPrint) result.arguments = {target, out.errorString()};
    return fail(result.message());
  }
  if (!out.commit()) return fail(Texts::text(TextNo::CannotPrint).arg(target, out.errorString()));

  if (a.has("json")) {
    ReportSummary::Summary summary = result.summary;
    if (!o.summary && !ReportSummary::read(reader, renderer.range(), summary)) return fail(reader.message());
    printOut(ReportSummary::json(summary, reader.path(), result.pages) + QLatin1Char('\n'));
  } else if (!a.has("quiet")) {
    printOut(Texts::text(TextNo::Printed).arg(result.pages).arg(target) + QLatin1Char('\n'));
  }
  return 0;
}
