#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// The support window: the program's version, the maker's home page and support mail,
// the prepared problem report and feature request, the manual and the update check.
// It only asks; the help commands open pages and links.
class TSupportTools : public QDialog {
  Q_OBJECT
 public:
  explicit TSupportTools(QWidget* parent = nullptr);
  void InitialLoads();

 signals:
  void helpRequested(int topic);
  void homepageRequested();
  void problemReportRequested();
  void featureRequestRequested();
  void updateCheckRequested();

 private:
  QLabel* lblProduct_;
  QLabel* lblAbout_;
  QLabel* lblVersion_;
  QLabel* lblHomeCaption_;
  QLabel* lblHome_;
  QLabel* lblMailCaption_;
  QLabel* lblMail_;
  QPushButton* btnManual_;
  QPushButton* btnHomepage_;
  QPushButton* btnProblem_;
  QPushButton* btnFeature_;
  QPushButton* btnWebUpdate_;
  QPushButton* btnClose_;
};
