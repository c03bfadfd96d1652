#include "app/EnvironmentCommands.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "app/MainForm.h"
#include "app/MainTexts.h"
#include "app/MessageForm.h"
#include "recording/CaptureSession.h"
#include "settings/Environment.h"
#include "settings/EnvironmentPorts.h"
#include "settings/Texts.h"
#include "triggers/TriggerList.h"

namespace TextNo {
constexpr int EnvDefaultExtension = 8067, EnvFilter = 8069;
constexpr int EnvLoadWarnings = 9760, EnvUnreadable = 9761, EnvSaveFailed = 9762;
}  // namespace TextNo

namespace {
QString tx(int n) { return Texts::text(n); }
}  // namespace

EnvironmentCommands::EnvironmentCommands(TFormMain& form, GuiMessages& messages, QString userPath)
    : form_(form), messages_(messages), userPath_(std::move(userPath)) {
  chooser_ = [this](bool save, const QString& start) {
    const QString title = tx(save ? TextNo::SaveEnvironment : TextNo::LoadEnvironment).remove(QLatin1Char('&'));
    QFileDialog dialog(&form_, title, start, tx(TextNo::EnvFilter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(tx(TextNo::EnvDefaultExtension));
    dialog.selectFile(start);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                   : QString();
  };
}

QString EnvironmentCommands::qualified(const QString& name) const { return qualifyEnvironmentName(name, userPath_); }

bool EnvironmentCommands::load(const QString& path, bool keepRecordFile) {
  Environment env;
  EnvironmentWarnings warnings;
  QString why;
  if (!LoadEnvironment(path, env, warnings, &why)) {
    messages_.form().ShowMessage(tx(TextNo::EnvUnreadable).arg(QDir::toNativeSeparators(path), why), tx(TextNo::Warning),
                                 MessageKind::Warning, ButtonSet::Ok);
    return false;
  }
  CaptureSession& s = form_.session();
  QStringList lines = warnings.lines;
  applyEnvironmentPorts(env, s.ports, &lines);
  const Configuration& c = form_.configuration();
  EnvironmentWarnings offered;
  for (auto [name, port] : {std::pair{"ComA", &env.comA}, std::pair{"ComB", &env.comB}})
    checkOfferedPortValues(QLatin1String(name), *port, c.baudrates, c.databits, c.parities, c.stopbits, offered);
  lines << offered.lines;
  form_.refreshPortCombos();
  if (!keepRecordFile && !env.recordFile.isEmpty()) form_.useRecordFile(env.recordFile);
  form_.setHeaderTexts(env.general, env.customer, env.description);
  form_.triggerList().setAll(env.triggers);
  form_.setEnvironmentFileName(path);
  form_.setEnvironmentChanged(false);
  if (!lines.isEmpty())
    messages_.form().ShowMessage(tx(TextNo::EnvLoadWarnings).arg(QDir::toNativeSeparators(path), lines.join('\n')),
                                 tx(TextNo::Warning), MessageKind::Warning, ButtonSet::Ok);
  return true;
}

Environment EnvironmentCommands::current() const {
  Environment env;
  CaptureSession& s = form_.session();
  takeEnvironmentPorts(s.ports, s.comA.comNumber(), s.comB.comNumber(), env);
  env.recordFile = form_.recordFileName();
  env.general = form_.headerGeneral();
  env.customer = form_.headerCustomer();
  env.description = form_.headerDescription();
  env.triggers = form_.triggerList().records();
  return env;
}

bool EnvironmentCommands::save(const QString& path) {
  QString why;
  if (!SaveEnvironment(path, current(), &why)) {
    messages_.form().ShowMessage(tx(TextNo::EnvSaveFailed).arg(QDir::toNativeSeparators(path), why), tx(TextNo::Warning),
                                 MessageKind::Error, ButtonSet::Ok);
    return false;
  }
  form_.setEnvironmentFileName(path);
  form_.setEnvironmentChanged(false);
  return true;
}

void EnvironmentCommands::loadAtStart(const QString& name, bool namedByUser, bool keepRecordFile) {
  const QString path = qualified(name);
  if (!QFileInfo(path).isFile()) {
    // A default never saved is an environment of defaults; a file the user named is missed.
    // A missing file the user named is said once; the job goes on under the default name.
    if (namedByUser)
      messages_.form().ShowMessage(tx(TextNo::EnvironmentMissing).arg(QDir::toNativeSeparators(path)),
                                   tx(TextNo::Warning), MessageKind::Warning, ButtonSet::Ok);
    form_.setEnvironmentFileName(qualified(QStringLiteral("Default.ven")));
    return;
  }
  // A file that cannot be read is not taken as the job: nothing is ever saved over it unasked.
  if (!load(path, keepRecordFile)) form_.setEnvironmentFileName(qualified(QStringLiteral("Default.ven")));
}

bool EnvironmentCommands::saveDialog() {
  const QString file = chooser_(true, qualified(form_.environmentFileName()));
  return !file.isEmpty() && save(file);
}

bool EnvironmentCommands::loadDialog() {
  const QString file = chooser_(false, qualified(form_.environmentFileName()));
  if (file.isEmpty() || !load(file, false)) return false;
  form_.showRecordFile();
  return true;
}
