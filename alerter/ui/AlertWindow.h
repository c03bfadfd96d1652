#pragma once
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "alerter/AlertSession.h"
#include "alerter/InstanceSlots.h"

class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QPlainTextEdit;
class QToolButton;

// The alerter's window: 324 × 100 pixels without a border, stacked with the other
// alerters' windows from the lower right corner of the work area. It shows what it was
// asked to do in its memo, plays the sound or starts the command of its command line,
// and fades in and out unless told not to ("N").
class AlertWindow : public QWidget, private Klaxor::AlertActions {
  Q_OBJECT

 public:
  // Counts the window in and places it; nothing is shown or played before start().
  AlertWindow(QStringList arguments, QString userPath, QWidget* parent = nullptr);
  ~AlertWindow() override;

  // Runs the switches and shows the window.
  void start();

  // The close button: stops the sound, counts the window out and closes it.
  void btnCloseClick();

  int instance() const { return slots_.instance(); }
  const Klaxor::AlertState& state() const { return state_; }
  QStringList memoLines() const;
  QMediaPlayer* player() const { return player_; }
  const QTimer& alertTimer() const { return alertTimer_; }
  bool fadedIn() const { return fadedIn_; }

 signals:
  // The window is fully opaque and on screen (after the fade-in, or its first paint with "N").
  void fullyVisible();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Klaxor::AlertActions
  void addMemoLine(const QString& line) override;
  void log(const QString& target, const QString& message) override;
  void playSound(const QString& file, int volume) override;
  int startCommand(const Klaxor::CommandLine& command) override;
  void enableTimer() override;

  void AlertTimerTimer();
  void MediaPlayerNotify();
  void soundFailed(const QString& reason);
  void ensurePlayer();
  void applyVolume(int volume);
  void fadeStep();
  void reportSlotProblems();  // on standard error, each once

  QStringList arguments_;
  QString userPath_;
  InstanceSlots slots_;
  Klaxor::AlertState state_;

  QLabel* picture_ = nullptr;
  QPlainTextEdit* memo_ = nullptr;
  QToolButton* btnClose_ = nullptr;
  QLabel* lblVersion_ = nullptr;
  QLabel* lblSubtitle_ = nullptr;
  QMediaPlayer* player_ = nullptr;  // made with the first sound
  QAudioOutput* audio_ = nullptr;

  QTimer alertTimer_;
  QTimer openWatch_;  // a sound that neither starts nor fails in time counts as failed
  QTimer fadeTimer_;
  bool waitingForLength_ = false;
  bool soundFailed_ = false;
  bool firstPaint_ = true;
  bool fadedIn_ = false;
  bool fadingOut_ = false;
  bool fadedOut_ = false;
  bool closeScheduled_ = false;
  qsizetype problemsReported_ = 0;
};
