#include "triggers/TriggerList.h"

#include "settings/Texts.h"

namespace TextNo {
constexpr int ColumnFirst = 8168;
}  // namespace TextNo

TriggerList::TriggerList(QObject* parent) : QAbstractTableModel(parent) {}

int TriggerList::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count(); }
int TriggerList::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant TriggerList::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= count()) return {};
  const TriggerRecord& t = at(index.row());
  if (role == Qt::CheckStateRole && index.column() == ColCaption) return t.Active ? Qt::Checked : Qt::Unchecked;
  if (role == Qt::ToolTipRole && index.column() == ColDescription) return t.Description;
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case ColCaption: return t.Name;
    case ColNumber: return QString::number(t.Number);
    case ColCondition: return triggerTypeText(t.Type);
    case ColEvent: return triggerEventText(t);
    case ColDescription: return t.Description;
    case ColSeenAt: return seenAt_[size_t(index.row())] ? QString::number(seenAt_[size_t(index.row())]) : QString();
    default: return {};
  }
}

QVariant TriggerList::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount) return {};
  return Texts::text(TextNo::ColumnFirst + section);
}

Qt::ItemFlags TriggerList::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == ColCaption && !locked_) f |= Qt::ItemIsUserCheckable;
  return f;
}

bool TriggerList::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !index.isValid() || index.column() != ColCaption) return false;
  return setActive(index.row(), value.toInt() == Qt::Checked);
}

void TriggerList::renumber() {
  for (size_t i = 0; i < records_.size(); ++i) records_[i].Number = int(i) + 1;
}

void TriggerList::changed() {
  renumber();
  emit environmentChanged();
}

bool TriggerList::insert(int index, TriggerRecord t) {
  if (locked_ || count() >= kMaxTriggers) return false;
  if (index < 0 || index > count()) index = count();
  beginInsertRows({}, index, index);
  records_.insert(records_.begin() + index, std::move(t));
  seenAt_.insert(seenAt_.begin() + index, 0);
  renumber();
  endInsertRows();
  // Every row below moved down: its number changed.
  if (index + 1 < count()) emit dataChanged(this->index(index + 1, 0), this->index(count() - 1, ColumnCount - 1));
  changed();
  return true;
}

bool TriggerList::replace(int index, const TriggerRecord& t) {
  if (locked_ || index < 0 || index >= count()) return false;
  records_[size_t(index)] = t;
  renumber();
  emit dataChanged(this->index(index, 0), this->index(index, ColumnCount - 1));
  changed();
  return true;
}

bool TriggerList::remove(int index) {
  if (locked_ || index < 0 || index >= count()) return false;
  beginRemoveRows({}, index, index);
  records_.erase(records_.begin() + index);
  seenAt_.erase(seenAt_.begin() + index);
  renumber();
  endRemoveRows();
  if (index < count()) emit dataChanged(this->index(index, 0), this->index(count() - 1, ColumnCount - 1));
  changed();
  return true;
}

bool TriggerList::moveUp(int index) {
  if (locked_ || index <= 0 || index >= count()) return false;
  beginMoveRows({}, index, index, {}, index - 1);
  std::swap(records_[size_t(index)], records_[size_t(index - 1)]);
  std::swap(seenAt_[size_t(index)], seenAt_[size_t(index - 1)]);
  renumber();
  endMoveRows();
  emit dataChanged(this->index(index - 1, 0), this->index(index, ColumnCount - 1));
  changed();
  return true;
}

bool TriggerList::moveDown(int index) {
  if (locked_ || index < 0 || index + 1 >= count()) return false;
  return moveUp(index + 1);
}

bool TriggerList::setActive(int index, bool active) {
  if (locked_ || index < 0 || index >= count()) return false;
  if (records_[size_t(index)].Active != active) {
    records_[size_t(index)].Active = active;
    emit dataChanged(this->index(index, ColCaption), this->index(index, ColCaption), {Qt::CheckStateRole});
  }
  changed();
  return true;
}

bool TriggerList::setEveryActive(const std::function<bool(bool)>& state) {
  if (locked_) return false;
  for (TriggerRecord& t : records_) t.Active = state(t.Active);
  if (count()) emit dataChanged(index(0, ColCaption), index(count() - 1, ColCaption), {Qt::CheckStateRole});
  changed();
  return true;
}

bool TriggerList::enableAll() { return setEveryActive([](bool) { return true; }); }
bool TriggerList::disableAll() { return setEveryActive([](bool) { return false; }); }
bool TriggerList::reverseAll() { return setEveryActive([](bool active) { return !active; }); }

int TriggerList::setAll(std::vector<TriggerRecord> triggers) {
  const int dropped = triggers.size() > size_t(kMaxTriggers) ? int(triggers.size()) - kMaxTriggers : 0;
  if (dropped) triggers.resize(size_t(kMaxTriggers));
  beginResetModel();
  records_ = std::move(triggers);
  seenAt_.assign(records_.size(), 0);
  renumber();
  endResetModel();
  return dropped;
}

void TriggerList::setSeenAt(int number, uint32_t eventNumber) {
  const int row = number - 1;
  if (row < 0 || row >= count()) return;
  seenAt_[size_t(row)] = eventNumber;
  emit dataChanged(index(row, ColSeenAt), index(row, ColSeenAt));
}

void TriggerList::clearSeenAt() {
  std::fill(seenAt_.begin(), seenAt_.end(), 0);
  if (count()) emit dataChanged(index(0, ColSeenAt), index(count() - 1, ColSeenAt));
}

uint32_t TriggerList::seenAt(int index) const {
  return index >= 0 && index < count() ? seenAt_[size_t(index)] : 0;
}
