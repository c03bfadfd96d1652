#pragma once
#include <QDialog>
#include <QStringList>

#include "settings/ui/WidgetTexts.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TMessageForm;

// TFormSelector: picks the values a hardware profile offers out of a standard list.
// "Save" hands back the picked values and the standard list (baud rates can be added
// to and removed from it); nothing changes before.
class TFormSelector : public QDialog {
  Q_OBJECT
 public:
  enum Mode { None = 0, BaudRates = 1, DataBits = 2, StopBits = 3 };

  explicit TFormSelector(TMessageForm& box, QWidget* parent = nullptr);
  void InitialLoads();
  // Fills both lists: each standard value in "Selected" when the profile offers it.
  void edit(Mode mode, const QStringList& standard, const QStringList& offered);
  Mode mode() const { return mode_; }
  QStringList available() const;
  QStringList selected() const;

  void lbAvailableClick();
  void btnToSelectedClick();
  void ToAvailableClick();
  void btnAddValueClick();
  void btnDelValueClick();
  void btnResetValuesClick();
  void btnSaveClick();
  void btnCancelClick();

 signals:
  // values: what the profile offers now; standard: the whole standard list.
  void saved(int mode, const QStringList& values, const QStringList& standard);
  void helpRequested(int topic);

 private:
  void sortList(QListWidget* list);
  static void moveCurrent(QListWidget* from, QListWidget* to);

  TMessageForm& box_;
  Mode mode_ = None;
  QListWidget* lbAvailable_;
  QListWidget* lbSelected_;
  QLineEdit* edAvailableValues_;
  QPushButton *btnAddValue_, *btnDelValue_, *btnResetValues_;
  CaptionTexts captions_;
};
