#pragma once
#include <QDialog>
#include <QStringList>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TMessageForm;

// TFormEnvConf: the header texts of an environment (general, customer, description).
// The owner hands the texts in before showing and takes them back after OK; Cancel
// after a change asks first (1501) and then puts back the texts the dialog opened with.
class TFormEnvConf : public QDialog {
  Q_OBJECT
 public:
  explicit TFormEnvConf(TMessageForm& box, QWidget* parent = nullptr);

  void InitialLoads();
  // Lists in the order of EnvGeneral and EnvCustomer; the description one entry a line.
  void setTexts(const QStringList& general, const QStringList& customer, const QStringList& description);
  QStringList general() const;
  QStringList customer() const;
  QStringList description() const;
  void setFileName(const QString& name);

  // Shown modally on its first page; true after OK.
  bool edit(const QString& fileName);
  bool changed() const { return changed_; }

  void btnOKClick();
  void btnCancelClick();
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 signals:
  // The Help button: the manual page of this dialog.
  void helpRequested(int topic);

 private:
  void SetEnvironmentChanged() { changed_ = true; }
  void ReloadEnvSettings();

  TMessageForm& box_;
  QLabel* heading_;
  QLabel* fileName_;
  QTabWidget* tabs_;
  std::vector<QLineEdit*> general_, customer_;
  QPlainTextEdit* description_;
  std::vector<std::pair<QLabel*, int>> labels_;
  QPushButton* btnOK_;
  QPushButton* btnCancel_;
  QPushButton* btnHelp_;
  bool changed_ = false;
  QStringList openedGeneral_, openedCustomer_, openedDescription_;
};
