#pragma once
#include <QAbstractTableModel>
#include <cstdint>
#include <functional>
#include <vector>

#include "triggers/TriggerRecord.h"

// The ordered trigger list, as the trigger panel shows it. The order matters: the
// engine arms the active triggers group by group in list order. Every change sets the
// environment-changed flag through environmentChanged(). While the recorder is loaded
// the engine holds the triggers, and the list refuses every change.
class TriggerList : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { ColCaption, ColNumber, ColCondition, ColEvent, ColDescription, ColSeenAt, ColumnCount };
  static constexpr int kDefaultWidths[ColumnCount] = {150, 20, 100, 100, 175, 100};

  explicit TriggerList(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // The check box of column 0 toggles Active.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  int count() const { return int(records_.size()); }
  const TriggerRecord& at(int i) const { return records_[size_t(i)]; }
  const std::vector<TriggerRecord>& records() const { return records_; }

  // Each returns false and changes nothing while locked or when the index is out of range.
  // insert: at index (before the trigger there), or appended for -1; false also when full.
  bool insert(int index, TriggerRecord t);
  bool replace(int index, const TriggerRecord& t);
  bool remove(int index);
  bool moveUp(int index);
  bool moveDown(int index);
  bool setActive(int index, bool active);
  bool enableAll();
  bool disableAll();
  bool reverseAll();

  // Replaces the whole list (an environment was loaded); does not signal a change.
  // Keeps at most kMaxTriggers; returns how many were left out.
  int setAll(std::vector<TriggerRecord> triggers);

  void setLocked(bool locked) {
    if (locked_ == locked) return;
    locked_ = locked;
    emit lockedChanged(locked);
  }
  bool locked() const { return locked_; }

  // "Seen at Ev#": the event number of a trigger's last mark in the current recording.
  void setSeenAt(int number, uint32_t eventNumber);
  void clearSeenAt();
  // 0 when the trigger has no mark in this recording.
  uint32_t seenAt(int index) const;

 signals:
  void environmentChanged();
  // The recorder was loaded or unloaded: the window locks or frees its list commands.
  void lockedChanged(bool locked);

 private:
  void renumber();
  bool setEveryActive(const std::function<bool(bool)>& state);
  void changed();

  std::vector<TriggerRecord> records_;
  std::vector<uint32_t> seenAt_;  // parallel to records_; 0 = none
  bool locked_ = false;
};
