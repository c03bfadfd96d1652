#pragma once
#include <QList>
#include <QObject>

class QAction;
class QKeyEvent;
class QTableView;
class QWidget;
class TFormTrig;
class TMessageForm;
class TriggerList;

// The trigger list of the bottom panel: a table view over TriggerList with the
// commands of its header buttons and menu. The commands are locked while the recorder
// is loaded (TriggerList::locked()). Their shortcuts act only while the focus is in the
// panel, so Ctrl+L there moves a trigger down and elsewhere loads an environment.
class TriggerPanel : public QObject {
  Q_OBJECT
 public:
  struct Actions {
    QAction* insert;
    QAction* remove;
    QAction* edit;
    QAction* up;
    QAction* down;
    QAction* reset;
    QAction* all;
    QAction* none;
    QAction* reverse;
  };

  // panel: the focus scope of the shortcuts; the view is created in it (not laid out).
  TriggerPanel(TriggerList& list, TFormTrig& editor, TMessageForm& box, QWidget* panel, const Actions& actions);

  QTableView* view() const { return view_; }
  int selectedRow() const;
  void selectRow(int row);

  void btnInsertTriggerClick();
  void btnRemoveTriggerClick();
  void btnEditTriggerClick();
  void btnMoveTriggerUpClick();
  void btnMoveTriggerDownClick();
  void btnResetTrigGridClick();
  void btnEnableAllTriggersClick();
  void btnDisableAllTriggersClick();
  void btnReverseAllTriggersClick();
  // Enables the commands for the selection and the lock.
  void TriggerListSelectItem();

  // Widths of the six columns; the last one takes the rest of the view.
  void setColumnWidths(const QList<int>& widths);
  QList<int> columnWidths() const;
  // A column narrower than its title shows a cut-off word.
  void widenColumnsToTitles();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* shortcutAction(const QKeyEvent* key) const;

  TriggerList& list_;
  TFormTrig& editor_;
  TMessageForm& box_;
  QWidget* panel_;
  Actions a_;
  QTableView* view_;
};
