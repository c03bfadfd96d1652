#pragma once
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <deque>

#include "app/MessageForm.h"

// Answers the message boxes that open from now on by clicking their buttons, in
// order, as a user would (slot 1 = btn1 ... 3 = btn3).
class BoxAnswer {
 public:
  BoxAnswer(TMessageForm& form, std::deque<int> order) : form_(form), slots_(std::move(order)) {
    timer_.setInterval(1);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (!form_.isShowingMessage() || slots_.empty()) return;
      auto* b = form_.findChild<QPushButton*>(QStringLiteral("btn%1").arg(slots_.front()));
      slots_.pop_front();
      if (b && b->isVisible()) b->click();
    });
    timer_.start();
  }
  bool allUsed() const { return slots_.empty(); }

 private:
  TMessageForm& form_;
  std::deque<int> slots_;
  QTimer timer_;
};

// Answers every message box with its first shown button (OK when it is the only one)
// and keeps the text each one said.
class BoxRecorder {
 public:
  BoxRecorder(TMessageForm& form, QStringList& said) {
    timer_.setInterval(2);
    QObject::connect(&timer_, &QTimer::timeout, [&form, &said] {
      if (!form.isShowingMessage()) return;
      for (int i = 1; i <= 3; ++i) {
        auto* b = form.findChild<QPushButton*>(QStringLiteral("btn%1").arg(i));
        if (!b || !b->isVisible()) continue;
        said << form.findChild<QLabel*>(QStringLiteral("lblText"))->text();
        b->click();
        break;
      }
    });
    timer_.start();
  }

 private:
  QTimer timer_;
};

// Runs the event loop for a while (timers, the simulated link).
inline void runFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}
