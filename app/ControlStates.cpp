#include "app/ControlStates.h"

#include <QAction>
#include <QWidget>

bool ControlStates::isEnabled(const QObject* object) {
  if (auto* a = qobject_cast<const QAction*>(object)) return a->isEnabled();
  if (auto* w = qobject_cast<const QWidget*>(object)) return w->isEnabled();
  return false;
}

void ControlStates::setEnabled(QObject* object, bool enabled) {
  if (auto* a = qobject_cast<QAction*>(object)) a->setEnabled(enabled);
  else if (auto* w = qobject_cast<QWidget*>(object)) w->setEnabled(enabled);
}

void ControlStates::lock(const QList<std::pair<QObject*, bool>>& targets) {
  if (locked_) return;
  locked_ = true;
  saved_.clear();
  for (const auto& [o, enabled] : targets) {
    if (!o) continue;
    saved_.push_back({o, isEnabled(o)});
    setEnabled(o, enabled);
  }
}

void ControlStates::restore() {
  if (!locked_) return;
  for (const Saved& s : saved_)
    if (s.object) setEnabled(s.object, s.enabled);
  saved_.clear();
  locked_ = false;
}
