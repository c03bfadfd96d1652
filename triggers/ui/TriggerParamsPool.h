#pragma once
#include <QDialog>
#include <QLineEdit>
#include <QPointer>

class QPushButton;
class QTableWidget;

// TFormTrigParams: the placeholders of an external command with their descriptions.
// OK puts the chosen placeholder into the parameter field: at its caret, or appended
// when the caret is at the end. Not modal; stays on top of the editor.
class TFormTrigParams : public QDialog {
  Q_OBJECT
 public:
  explicit TFormTrigParams(QWidget* parent = nullptr);

  void setTarget(QLineEdit* field) { target_ = field; }
  void InitialLoads();
  // The placeholder of the selected row ("" without one).
  QString selectedPlaceholder() const;
  void selectRow(int row);

  void btnOKClick();
  void btnCancelClick() { close(); }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QTableWidget* grid_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPointer<QLineEdit> target_;
};
