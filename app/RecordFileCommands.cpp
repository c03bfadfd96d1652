#include "app/RecordFileCommands.h"

#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <cstring>
#include <thread>

#include "app/HelpCommands.h"
#include "app/MainForm.h"
#include "app/MessageForm.h"
#include "recording/CaptureSession.h"
#include "recording/RecordFileCopy.h"
#include "recording/Recorder.h"
#include "recording/ui/ConfirmModeDialog.h"
#include "settings/Texts.h"
#include "tools/BackgroundJob.h"
#include "tools/FileIdentity.h"
#include "tools/ui/ExportDialog.h"
#include "tools/ui/GotoDialog.h"
#include "tools/ui/PolledJob.h"
#include "view/ui/EventView.h"

namespace TextNo {
constexpr int NewTitle = 901, OpenTitle = 902, SaveTitle = 903, FileOperation = 3000, Cancel = 6003;
constexpr int RecordFilter = 8077;
constexpr int CannotShow = 9910, NothingToSave = 9911, SaveFailed = 9912, NotRecordFile = 9913, Saving = 9914;
}  // namespace TextNo

namespace {
QString tx(int n) { return Texts::text(n); }
QString native(const QString& path) { return QDir::toNativeSeparators(path); }
QString reasonOf(int error) { return QString::fromLocal8Bit(std::strerror(error)); }
}  // namespace

RecordFileCommands::RecordFileCommands(TFormMain& form, GuiMessages& messages, QString userPath)
    : form_(form), messages_(messages), userPath_(std::move(userPath)) {
  chooser_ = [this](Command command, const QString& start) {
    const int title = command == Command::New    ? TextNo::NewTitle
                      : command == Command::Open ? TextNo::OpenTitle
                                                 : TextNo::SaveTitle;
    const QFileInfo from(start);
    QFileDialog dialog(&form_, tx(title), from.isDir() ? start : from.absolutePath(), tx(TextNo::RecordFilter));
    const bool save = command == Command::SaveAs;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // New takes a name that is not there yet; save as asks before replacing a file.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("vrd"));
    if (!from.isDir() && command != Command::New) dialog.selectFile(from.fileName());
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                   : QString();
  };
  modeChooser_ = [this](int mode) { return confirmDialog().ask(mode).mode; };
}

RecordFileCommands::~RecordFileCommands() = default;

TFormConfirmMode& RecordFileCommands::confirmDialog() {
  if (!confirm_) {
    confirm_ = new TFormConfirmMode(&form_);
    QObject::connect(confirm_, &TFormConfirmMode::helpRequested, &form_.helpCommands(), &HelpCommands::QuarnelHelp);
  }
  return *confirm_;
}

QString RecordFileCommands::complete(const QString& name) const {
  const QString placed = name.contains(QLatin1Char('/')) ? name : userPath_ + QStringLiteral("recordings/") + name;
  return QDir::cleanPath(QFileInfo(placed).absoluteFilePath());
}

QString RecordFileCommands::currentPath() const { return complete(form_.recordFileName()); }

// The file commands wait while a recording (or its pause) holds the file.
bool RecordFileCommands::busy() const {
  const Recorder& r = form_.recorder();
  return r.running() || r.recordDown();
}

int RecordFileCommands::currentMode() const {
  const Recorder& r = form_.recorder();
  if (r.replaceDown()) return Recorder::Replace;
  if (r.appendDown()) return Recorder::Append;
  return r.recordMode();
}

// The choice is pressed on the recorder's buttons, so that the recording uses it and
// the window shows it.
void RecordFileCommands::applyMode(int mode) {
  Recorder& r = form_.recorder();
  if (mode == Recorder::Replace && !r.replaceDown()) form_.btnRECreplaceClick();
  if (mode == Recorder::Append && !r.appendDown()) form_.btnRECappendClick();
  r.setRecordMode(mode);
}

bool RecordFileCommands::ShowChangedRecordFile(const QString& path) {
  form_.cancelAnalysisWork();
  RecordFile& f = form_.session().file;
  const QString previous = f.name();
  f.setName(path);
  bool created = false;
  if (f.openViewCreatingMissing(&created) < 0) {
    const QString why = f.lastError();
    f.setName(previous);
    form_.showRecordFile();
    form_.refreshFileLine();
    messages_.form().ShowMessage(tx(TextNo::CannotShow).arg(native(path), why, native(form_.recordFilePath())),
                                 tx(TextNo::FileOperation), MessageKind::Error, ButtonSet::Ok);
    return false;
  }
  if (created) form_.setEnvironmentChanged(true);
  EventView& view = form_.eventView();
  view.ApplyViewLayout();
  {
    const QSignalBlocker quiet(form_.scrollBar());
    form_.scrollBar()->setValue(0);
  }
  view.ScrollBar1Change();
  form_.refreshFileLine();
  // The goto, search, measure and export ranges start over for the file now shown,
  // also when it holds as many records as the one before.
  const int64_t records = f.viewRecordCount();
  form_.gotoForm().setRecordCount(records);
  form_.exportForm().setRecordCount(records);
  return true;
}

bool RecordFileCommands::btnNewRecordFileClick() {
  if (busy()) return false;
  const QString chosen = chooser_(Command::New, QFileInfo(currentPath()).absolutePath());
  if (chosen.isEmpty()) return false;
  const QString path = complete(chosen);
  // Records already there: the user says now whether the next recording replaces them
  // or goes on after them, rather than learning it at the record button.
  const QFileInfo existing(path);
  if (existing.isFile() && existing.size() > 0) {
    const int mode = modeChooser_(currentMode());
    if (mode != Recorder::Append && mode != Recorder::Replace) return false;
    applyMode(mode);
  }
  if (!ShowChangedRecordFile(path)) return false;
  form_.setEnvironmentChanged(true);
  return true;
}

bool RecordFileCommands::btnOpenRecordFileClick() {
  if (busy()) return false;
  const QString chosen = chooser_(Command::Open, currentPath());
  if (chosen.isEmpty()) return false;
  if (!ShowChangedRecordFile(complete(chosen))) return false;
  form_.setEnvironmentChanged(true);
  return true;
}

bool RecordFileCommands::btnSaveRecordFileClick() {
  if (busy()) return false;
  const QString old = currentPath();
  const QString chosen = chooser_(Command::SaveAs, old);
  if (chosen.isEmpty()) return false;
  const QString target = complete(chosen);
  // The file itself under another spelling (a link, "./name"): nothing to copy, and
  // replacing it would empty the recording before it is read.
  if (target == old || identityOf(target) == identityOf(old)) return false;

  const RecordFileCopy copy = copyWithProgress(old, target);
  const auto fail = [&](const QString& reason) {
    messages_.form().ShowMessage(tx(TextNo::SaveFailed).arg(native(old), native(target), reason),
                                 tx(TextNo::FileOperation), MessageKind::Error, ButtonSet::Ok);
    return false;
  };
  switch (copy.outcome) {
    case RecordFileCopy::Outcome::Copied: break;
    case RecordFileCopy::Outcome::Stopped: return false;
    case RecordFileCopy::Outcome::Empty:
      messages_.form().ShowMessage(tx(TextNo::NothingToSave).arg(native(old)), tx(TextNo::FileOperation),
                                   MessageKind::Information, ButtonSet::Ok);
      return false;
    case RecordFileCopy::Outcome::NotRegular: return fail(tx(TextNo::NotRecordFile));
    case RecordFileCopy::Outcome::SourceFailed:
    case RecordFileCopy::Outcome::TargetFailed: return fail(reasonOf(copy.error));
  }
  if (!ShowChangedRecordFile(target)) return false;
  form_.setEnvironmentChanged(true);
  return true;
}

// The copy runs beside the window; a small window with a bar and Cancel appears when it
// takes longer than a moment.
RecordFileCopy RecordFileCommands::copyWithProgress(const QString& from, const QString& to) {
  RecordFileCopy result;
  BackgroundJob job;
  job.start([&](WorkControl& c) { result = copyRecordFile(from, to, {&c.stop, &c.done, &c.total}); });
  using namespace std::chrono;
  const auto until = steady_clock::now() + milliseconds(150);
  while (job.running() && steady_clock::now() < until) std::this_thread::sleep_for(milliseconds(5));
  if (job.running()) {
    QDialog box(&form_);
    box.setObjectName(QStringLiteral("FormSaveProgress"));
    box.setWindowTitle(tx(TextNo::SaveTitle));
    box.setModal(true);
    auto* text = new QLabel(tx(TextNo::Saving).arg(native(from), native(to)), &box);
    QProgressBar* bar = PolledJob::makeBar(&box, "pbSave");
    auto* cancel = new QPushButton(tx(TextNo::Cancel), &box);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(text);
    layout->addWidget(bar);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    QObject::connect(cancel, &QPushButton::clicked, &box, [&job] { job.requestStop(); });
    // Escape or the close button stop the copy too; the window closes when it has ended.
    QObject::connect(&box, &QDialog::rejected, &box, [&job] { job.requestStop(); });
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, &box, [&] {
      bar->setValue(job.control().percent());
      if (!job.running()) box.accept();
    });
    poll.start();
    while (job.running()) box.exec();
  }
  job.join();
  return result;
}
