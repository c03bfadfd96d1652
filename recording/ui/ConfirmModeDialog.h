#pragma once
#include <QDialog>

class QGroupBox;
class QPushButton;
class QRadioButton;

// "Confirmation of saving mode": what becomes of the records already in a file that is
// chosen for the next recording, replaced or kept with the new ones appended.
class TFormConfirmMode : public QDialog {
  Q_OBJECT
 public:
  // What the user chose; mode as the recorder counts it (0 cancel, 1 append, 2 replace).
  struct Choice {
    int mode = 0;
  };

  explicit TFormConfirmMode(QWidget* parent = nullptr);
  void InitialLoads();
  // Preselects replace for mode 2, append otherwise.
  void preset(int recordMode);
  Choice choice() const;
  // Shows the dialog and waits; Cancel or Escape give mode 0.
  Choice ask(int recordMode);

  QRadioButton* replaceButton() const { return rbReplace_; }
  QRadioButton* appendButton() const { return rbAppend_; }
  QPushButton* okButton() const { return btnOk_; }
  QPushButton* cancelButton() const { return btnCancel_; }
  QPushButton* helpButton() const { return btnHelp_; }

 signals:
  // The Help button: the manual page of this dialog.
  void helpRequested(int topic);

 private:
  QGroupBox* group_;
  QRadioButton* rbReplace_;
  QRadioButton* rbAppend_;
  QPushButton* btnOk_;
  QPushButton* btnCancel_;
  QPushButton* btnHelp_;
};
