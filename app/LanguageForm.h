#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// Tells the user that the texts already on screen change with the next start.
class TLanguageForm : public QDialog {
  Q_OBJECT
 public:
  explicit TLanguageForm(QWidget* parent = nullptr);
  // Fills the texts in the language now chosen.
  void InitialLoads();

 private:
  QLabel* heading_;
  QLabel* text_;
  QPushButton* ok_;
};
