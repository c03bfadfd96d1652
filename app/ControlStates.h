#pragma once
#include <QList>
#include <QObject>
#include <QPointer>
#include <utility>

// The enabled state of controls and actions, taken before a recording locks them
// and given back exactly afterwards, so that a command that was unavailable before
// the recording stays unavailable after it.
class ControlStates {
 public:
  // Takes the state of each object (a QAction or a QWidget) and sets the one given
  // with it. Does nothing while a lock is held: a second lock must not take the
  // locked states as the ones to restore.
  void lock(const QList<std::pair<QObject*, bool>>& targets);
  // Gives every object locked since the first lock its saved state back.
  void restore();
  bool locked() const { return locked_; }

  static bool isEnabled(const QObject* object);
  static void setEnabled(QObject* object, bool enabled);

 private:
  struct Saved {
    QPointer<QObject> object;
    bool enabled;
  };
  QList<Saved> saved_;
  bool locked_ = false;
};
