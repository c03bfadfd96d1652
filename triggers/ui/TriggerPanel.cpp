#include "triggers/ui/TriggerPanel.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>

#include "app/MessageForm.h"
#include "settings/Texts.h"
#include "triggers/TriggerList.h"
#include "triggers/ui/TriggerEditor.h"

namespace {
namespace TextNo {
constexpr int Title = 2100, DeleteQuestion = 2111, ListFull = 9811, ListLocked = 9906;
}  // namespace TextNo
QString tx(int n) { return Texts::text(n); }
}  // namespace

TriggerPanel::TriggerPanel(TriggerList& list, TFormTrig& editor, TMessageForm& box, QWidget* panel,
                           const Actions& actions)
    : QObject(panel), list_(list), editor_(editor), box_(box), panel_(panel), a_(actions) {
  view_ = new QTableView(panel);
  view_->setObjectName(QStringLiteral("TriggerList"));
  view_->setModel(&list_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setShowGrid(true);
  view_->setWordWrap(false);
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
  view_->horizontalHeader()->setStretchLastSection(true);
  view_->horizontalHeader()->setHighlightSections(false);
  view_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setColumnWidths({});
  view_->installEventFilter(this);

  connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TriggerPanel::TriggerListSelectItem);
  connect(&list_, &TriggerList::lockedChanged, this, &TriggerPanel::TriggerListSelectItem);
  connect(&list_, &QAbstractItemModel::rowsRemoved, this, &TriggerPanel::TriggerListSelectItem);
  connect(&list_, &QAbstractItemModel::modelReset, this, &TriggerPanel::TriggerListSelectItem);
  connect(&list_, &QAbstractItemModel::rowsMoved, this, &TriggerPanel::TriggerListSelectItem);
  connect(&list_, &QAbstractItemModel::rowsInserted, this, &TriggerPanel::TriggerListSelectItem);
  connect(view_, &QTableView::doubleClicked, this, &TriggerPanel::btnEditTriggerClick);

  const std::pair<QAction*, void (TriggerPanel::*)()> handlers[] = {
      {a_.insert, &TriggerPanel::btnInsertTriggerClick},      {a_.remove, &TriggerPanel::btnRemoveTriggerClick},
      {a_.edit, &TriggerPanel::btnEditTriggerClick},          {a_.up, &TriggerPanel::btnMoveTriggerUpClick},
      {a_.down, &TriggerPanel::btnMoveTriggerDownClick},      {a_.reset, &TriggerPanel::btnResetTrigGridClick},
      {a_.all, &TriggerPanel::btnEnableAllTriggersClick},     {a_.none, &TriggerPanel::btnDisableAllTriggersClick},
      {a_.reverse, &TriggerPanel::btnReverseAllTriggersClick}};
  for (const auto& [action, handler] : handlers) {
    connect(action, &QAction::triggered, this, handler);
    // Shown in the menu, but acting only inside the panel.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    panel_->addAction(action);
  }
  TriggerListSelectItem();
}

int TriggerPanel::selectedRow() const {
  const QModelIndexList rows = view_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void TriggerPanel::selectRow(int row) {
  if (row < 0 || row >= list_.count()) {
    view_->clearSelection();
    return;
  }
  view_->setCurrentIndex(list_.index(row, TriggerList::ColCaption));
  view_->selectRow(row);
  view_->scrollTo(list_.index(row, 0));
  // A moved row keeps its selection: no selection change tells the commands.
  TriggerListSelectItem();
}

void TriggerPanel::TriggerListSelectItem() {
  const bool free = !list_.locked();
  const int row = selectedRow();
  a_.insert->setEnabled(free);
  a_.remove->setEnabled(free && row >= 0);
  a_.edit->setEnabled(free && row >= 0);
  a_.up->setEnabled(free && row > 0);
  a_.down->setEnabled(free && row >= 0 && row + 1 < list_.count());
  for (QAction* a : {a_.all, a_.none, a_.reverse}) a->setEnabled(free);
  a_.reset->setEnabled(true);  // widths only: the list itself stays as it is
}

void TriggerPanel::btnInsertTriggerClick() {
  if (list_.locked()) return;
  if (list_.count() >= kMaxTriggers) {
    box_.ShowMessage(tx(TextNo::ListFull), tx(TextNo::Title), MessageKind::Warning, ButtonSet::Ok);
    return;
  }
  TriggerRecord t;
  if (!editor_.insertTrigger(&t)) return;
  const int at = selectedRow();
  if (!list_.insert(at, t)) {
    box_.ShowMessage(tx(TextNo::ListLocked), tx(TextNo::Title), MessageKind::Warning, ButtonSet::Ok);
    return;
  }
  view_->setFocus(Qt::OtherFocusReason);
  selectRow(at < 0 ? list_.count() - 1 : at);
}

void TriggerPanel::btnEditTriggerClick() {
  const int row = selectedRow();
  if (list_.locked() || row < 0) return;
  TriggerRecord t;
  if (!editor_.editTrigger(list_.at(row), &t)) return;
  if (!list_.replace(row, t))
    box_.ShowMessage(tx(TextNo::ListLocked), tx(TextNo::Title), MessageKind::Warning, ButtonSet::Ok);
}

void TriggerPanel::btnRemoveTriggerClick() {
  const int row = selectedRow();
  if (list_.locked() || row < 0) return;
  if (box_.ShowMessage(tx(TextNo::DeleteQuestion), tx(TextNo::Title), MessageKind::Question, ButtonSet::YesNo) !=
      ResultYes)
    return;
  if (list_.remove(row)) view_->clearSelection();
  TriggerListSelectItem();
}

void TriggerPanel::btnMoveTriggerUpClick() {
  const int row = selectedRow();
  if (list_.moveUp(row)) selectRow(row - 1);
}

void TriggerPanel::btnMoveTriggerDownClick() {
  const int row = selectedRow();
  if (list_.moveDown(row)) selectRow(row + 1);
}

void TriggerPanel::btnResetTrigGridClick() {
  setColumnWidths({});
  widenColumnsToTitles();
}

void TriggerPanel::btnEnableAllTriggersClick() { list_.enableAll(); }
void TriggerPanel::btnDisableAllTriggersClick() { list_.disableAll(); }
void TriggerPanel::btnReverseAllTriggersClick() { list_.reverseAll(); }

void TriggerPanel::setColumnWidths(const QList<int>& widths) {
  // The last column stretches over the rest of the view.
  for (int i = 0; i + 1 < TriggerList::ColumnCount; ++i)
    view_->setColumnWidth(i, widths.value(i) > 0 ? widths.value(i) : TriggerList::kDefaultWidths[i]);
}

QList<int> TriggerPanel::columnWidths() const {
  QList<int> widths;
  for (int i = 0; i < TriggerList::ColumnCount; ++i) widths << view_->columnWidth(i);
  return widths;
}

void TriggerPanel::widenColumnsToTitles() {
  QHeaderView* header = view_->horizontalHeader();
  for (int i = 0; i + 1 < TriggerList::ColumnCount; ++i)
    view_->setColumnWidth(i, qMax(view_->columnWidth(i), header->sectionSizeHint(i)));
  // The longest condition text ("Data,Signal,Error") is read whole, in either language.
  TriggerRecord inactivity;
  inactivity.Type = TriggerType::Inactivity;
  const int event = view_->fontMetrics().horizontalAdvance(triggerEventText(inactivity)) + 12;
  view_->setColumnWidth(TriggerList::ColEvent, qMax(view_->columnWidth(TriggerList::ColEvent), event));
}

QAction* TriggerPanel::shortcutAction(const QKeyEvent* key) const {
  const QKeySequence pressed(key->keyCombination());
  for (QAction* a : {a_.insert, a_.remove, a_.edit, a_.up, a_.down})
    if (!a->shortcut().isEmpty() && a->shortcut() == pressed) return a;
  return nullptr;
}

// Inside the panel its own keys win over the window's (Ctrl+L is also "load environment").
bool TriggerPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_ && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (QAction* a = shortcutAction(key)) {
      key->accept();
      if (event->type() == QEvent::KeyPress && a->isEnabled()) a->trigger();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}
