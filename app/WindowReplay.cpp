#include "app/WindowReplay.h"

#include <QFileInfo>

#include "capture/PortRegistry.h"
#include "recording/RecordFileName.h"
#include "settings/MessageSink.h"
#include "settings/Texts.h"
#include "tools/ReplayLink.h"

namespace TextNo {
constexpr int Note = 9351, Finished = 9355, NoteFailed = 9361, Title = 9363, CannotReplay = 9360, BrokeOff = 9364;
}  // namespace TextNo

WindowReplay::WindowReplay(const Clock& clock, MessageSink& messages, QObject* parent)
    : QObject(parent), messages_(messages), link_(std::make_unique<ReplayLink>(clock)) {
  connect(link_.get(), &ReplayLink::replayStarted, this, &WindowReplay::noteChanged);
  connect(link_.get(), &ReplayLink::replayFinished, this, [this] {
    emit noteChanged();
    emit replayEnded();
  });
  connect(link_.get(), &ReplayLink::replayFailed, this, [this](const QString& message) {
    problem_ = message;
    emit noteChanged();
    emit replayEnded();
    VORLOG_REPORT(messages_, TextNo::Title, TextNo::BrokeOff, QStringLiteral("\n\n") + message);
  });
}

WindowReplay::~WindowReplay() = default;

void WindowReplay::offer(const QString& argument, const QString& userPath, PortRegistry& registry) {
  QString path;
  double speed = 1;
  if (!ReplayLink::parseArgument(argument, &path, &speed, &problem_) ||
      !link_->load(resolveRecordFileName(path, userPath), speed)) {
    if (problem_.isEmpty()) problem_ = link_->problem();
    VORLOG_REPORT(messages_, TextNo::Title, TextNo::CannotReplay, QStringLiteral("\n\n") + problem_);
  }
  link_->offerAsPorts(registry);
}

QString WindowReplay::statusNote() const {
  const QString file = QFileInfo(link_->path()).fileName();
  if (!problem_.isEmpty()) return Texts::text(TextNo::NoteFailed).arg(problem_);
  if (link_->finished()) return Texts::text(TextNo::Finished).arg(file);
  return Texts::text(TextNo::Note).arg(file, ReplayLink::speedText(link_->speed()));
}
