#include "alerter/ui/AlertWindow.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "alerter/AlertLog.h"
#include "alerter/CommandStart.h"
#include "alerter/KlaxorTexts.h"
#include "alerter/StackPlacement.h"
#include "settings/Texts.h"

namespace {

constexpr int kTimerInterval = 1000;  // AlertTimer's own interval: a command closes after about 2 s
constexpr int kCloseDelay = 1000;     // from the timer to closing
constexpr int kOpenTimeout = 5000;    // a sound file that gives no length by then is not played
constexpr int kFadeStepMs = 10;
constexpr double kFadeStep = 0.02;
const QColor kGray(128, 128, 128);

void printProblem(const QString& text) {
  std::fprintf(stderr, "%s\n", qPrintable(text));
  std::fflush(stderr);
}

}  // namespace

AlertWindow::AlertWindow(QStringList arguments, QString userPath, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      arguments_(std::move(arguments)),
      userPath_(std::move(userPath)),
      slots_(userPath_) {
  setObjectName(QStringLiteral("FormAlert"));
  setWindowTitle(Texts::text(KlaxorText::Caption));
  setFixedSize(Klaxor::kWindowSize);
  // An alert must not take the keyboard away from what the user is typing into.
  setAttribute(Qt::WA_ShowWithoutActivating);

  picture_ = new QLabel(this);
  picture_->setObjectName(QStringLiteral("imgAlert"));
  picture_->setGeometry(10, 10, 36, 36);
  picture_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(36, 36));

  memo_ = new QPlainTextEdit(this);
  memo_->setObjectName(QStringLiteral("memAlert"));
  memo_->setGeometry(54, 8, 238, 62);
  memo_->document()->setDocumentMargin(2);
  memo_->setReadOnly(true);
  memo_->setFrameShape(QFrame::NoFrame);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo_->setFocusPolicy(Qt::NoFocus);
  QPalette memoPalette = memo_->palette();
  memoPalette.setColor(QPalette::Base, kGray);
  memoPalette.setColor(QPalette::Text, Qt::white);
  memo_->setPalette(memoPalette);
  QFont memoFont = memo_->font();
  memoFont.setPointSize(8);
  memo_->setFont(memoFont);

  btnClose_ = new QToolButton(this);
  btnClose_->setObjectName(QStringLiteral("btnClose"));
  btnClose_->setGeometry(298, 6, 20, 20);
  btnClose_->setAutoRaise(true);  // flat
  btnClose_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  btnClose_->setFocusPolicy(Qt::NoFocus);
  connect(btnClose_, &QToolButton::clicked, this, &AlertWindow::btnCloseClick);

  QFont small = font();
  small.setPointSize(7);
  lblVersion_ = new QLabel(Texts::text(KlaxorText::Version), this);
  lblVersion_->setObjectName(QStringLiteral("lblVersion"));
  lblSubtitle_ = new QLabel(Texts::text(KlaxorText::Subtitle), this);
  lblSubtitle_->setObjectName(QStringLiteral("lblSubtitle"));
  for (QLabel* label : {lblVersion_, lblSubtitle_}) {
    label->setFont(small);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  lblVersion_->setGeometry(54, 70, 262, 13);
  lblSubtitle_->setGeometry(54, 84, 262, 13);

  alertTimer_.setObjectName(QStringLiteral("AlertTimer"));
  alertTimer_.setInterval(kTimerInterval);
  connect(&alertTimer_, &QTimer::timeout, this, &AlertWindow::AlertTimerTimer);
  openWatch_.setSingleShot(true);
  connect(&openWatch_, &QTimer::timeout, this, [this] { soundFailed(QStringLiteral("no answer from the player")); });
  fadeTimer_.setTimerType(Qt::PreciseTimer);
  fadeTimer_.setInterval(kFadeStepMs);
  connect(&fadeTimer_, &QTimer::timeout, this, &AlertWindow::fadeStep);

  slots_.countIn();
  reportSlotProblems();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(Klaxor::stackPosition(screen->availableGeometry(), slots_.instance()));
  setWindowOpacity(0.0);
}

AlertWindow::~AlertWindow() {
  if (player_) player_->stop();
  slots_.countOut();
}

void AlertWindow::reportSlotProblems() {
  const QStringList problems = slots_.problems();
  for (qsizetype i = problemsReported_; i < problems.size(); ++i) printProblem(problems[i]);
  problemsReported_ = problems.size();
}

void AlertWindow::start() {
  Klaxor::runSwitches(arguments_, userPath_, *this, &state_);
  if (state_.noFade) {
    setWindowOpacity(1.0);
    fadedIn_ = true;
  }
  show();
}

QStringList AlertWindow::memoLines() const {
  const QString text = memo_->toPlainText();
  return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void AlertWindow::addMemoLine(const QString& line) {
  memo_->appendPlainText(line);
  // The lines are read from their start: a long file name must not scroll the others away.
  memo_->moveCursor(QTextCursor::End);
  memo_->moveCursor(QTextCursor::StartOfLine);
}

void AlertWindow::log(const QString& target, const QString& message) {
  QString error;
  if (!Klaxor::writeLog(target, Texts::text(KlaxorText::ProgramId), message, &error))
    printProblem(Texts::text(KlaxorText::LogUnwritable).arg(target, error, message));
}

void AlertWindow::ensurePlayer() {
  if (player_) return;
  player_ = new QMediaPlayer(this);
  audio_ = new QAudioOutput(this);
  player_->setAudioOutput(audio_);
  connect(player_, &QMediaPlayer::durationChanged, this, [this](qint64 length) {
    if (!waitingForLength_ || length <= 0) return;
    waitingForLength_ = false;
    openWatch_.stop();
    alertTimer_.setInterval(int(qMin<qint64>(length, INT_MAX)));
    alertTimer_.start();
  });
  connect(player_, &QMediaPlayer::mediaStatusChanged, this, &AlertWindow::MediaPlayerNotify);
  connect(player_, &QMediaPlayer::errorOccurred, this,
          [this](QMediaPlayer::Error, const QString& text) { soundFailed(text); });
}

void AlertWindow::applyVolume(int volume) { audio_->setVolume(float(volume) / float(Klaxor::kFullVolume)); }

void AlertWindow::playSound(const QString& file, int volume) {
  ensurePlayer();
  player_->stop();
  soundFailed_ = false;
  waitingForLength_ = false;
  openWatch_.stop();
  alertTimer_.stop();
  const QFileInfo info(file);
  if (!info.isFile()) {
    soundFailed(file + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(info.exists() ? EISDIR : ENOENT)));
    return;
  }
  // Without a device the player still runs through the sound, silently, so the window
  // closes as it would with sound.
  if (QMediaDevices::defaultAudioOutput().isNull()) {
    addMemoLine(Texts::text(KlaxorText::NoAudioDevice));
    log(state_.logTarget, Texts::text(KlaxorText::NoAudioDevice));
  }
  waitingForLength_ = true;
  openWatch_.start(kOpenTimeout);
  player_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
  applyVolume(volume);
  player_->play();
}

void AlertWindow::soundFailed(const QString& reason) {
  if (soundFailed_) return;
  soundFailed_ = true;
  waitingForLength_ = false;
  openWatch_.stop();
  if (player_) player_->stop();
  const QString line = Texts::text(KlaxorText::SoundNotPlayable).arg(reason);
  addMemoLine(line);
  log(state_.logTarget, line);
  // "S" closes by the timer as after a sound; "R" waits for the close button.
  alertTimer_.setInterval(kTimerInterval);
  alertTimer_.start();
}

void AlertWindow::MediaPlayerNotify() {
  switch (player_->mediaStatus()) {
    case QMediaPlayer::InvalidMedia:
      soundFailed(player_->errorString());
      break;
    case QMediaPlayer::EndOfMedia:
      if (waitingForLength_) {  // a sound that never told its length closes when it ends
        waitingForLength_ = false;
        openWatch_.stop();
        alertTimer_.setInterval(0);
        alertTimer_.start();
      }
      if (state_.mode == Klaxor::Mode::SoundEndless && state_.repeat) {
        player_->setPosition(0);
        applyVolume(state_.volume);
        player_->play();
      }
      break;
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::BufferedMedia:
      openWatch_.stop();  // it plays; one that never tells its length closes at its end
      break;
    default:
      break;
  }
}

int AlertWindow::startCommand(const Klaxor::CommandLine& command) { return Klaxor::startDetachedCommand(command); }

void AlertWindow::enableTimer() { alertTimer_.start(); }

void AlertWindow::AlertTimerTimer() {
  alertTimer_.stop();
  if (state_.repeat || closeScheduled_) return;  // an endless sound plays until the close button
  closeScheduled_ = true;
  QTimer::singleShot(kCloseDelay, this, &AlertWindow::btnCloseClick);
}

void AlertWindow::btnCloseClick() {
  state_.repeat = false;
  alertTimer_.stop();
  if (player_ && player_->playbackState() == QMediaPlayer::PlayingState) player_->stop();
  slots_.countOut();
  reportSlotProblems();
  close();
}

void AlertWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(QPen(kGray, 2));
  painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
  if (!firstPaint_) return;
  firstPaint_ = false;
  // After this paint has reached the screen.
  QTimer::singleShot(0, this, [this] {
    if (fadedIn_)
      emit fullyVisible();
    else
      fadeTimer_.start();
  });
}

void AlertWindow::fadeStep() {
  if (fadingOut_) {
    const double next = windowOpacity() - kFadeStep;
    setWindowOpacity(qMax(0.0, next));
    if (next > 0.0) return;
    fadeTimer_.stop();
    fadedOut_ = true;
    close();
    return;
  }
  const double next = windowOpacity() + kFadeStep;
  setWindowOpacity(qMin(1.0, next));
  if (next < 1.0 - 1e-9) return;
  fadeTimer_.stop();
  fadedIn_ = true;
  emit fullyVisible();
}

void AlertWindow::closeEvent(QCloseEvent* event) {
  // Closed another way than by the close button (window manager, end of the session).
  if (slots_.counted()) {
    state_.repeat = false;
    alertTimer_.stop();
    if (player_) player_->stop();
    slots_.countOut();
    reportSlotProblems();
  }
  if (!state_.noFade && !fadedOut_ && isVisible()) {
    event->ignore();
    if (!fadingOut_) {
      fadingOut_ = true;
      fadeTimer_.start();
    }
    return;
  }
  fadeTimer_.stop();
  event->accept();
}
