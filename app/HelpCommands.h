#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "shell/HelpPages.h"

class QDialog;
class QWidget;
class TMessageForm;
class TSupportTools;

// The help pages and the support links of the window: every Help button ends here with
// its topic. Pages and links go to the desktop's programs (browser, mail program).
class HelpCommands : public QObject {
  Q_OBJECT
 public:
  // parent: the window the support window and notes belong to.
  HelpCommands(TMessageForm& box, QString userPath, QWidget* parent);
  ~HelpCommands() override;

  // Opens the manual page of the topic. A page that is not there is reported with the
  // paths looked at; a browser that cannot be started with its own message.
  void QuarnelHelp(int topic);
  void QuarnelHomepage();
  void ReportaProblemtoQuarnel();
  void SuggestaNewFeature();
  // Opens a link; when no program takes it, a small window shows the address to copy.
  bool openLink(const QUrl& url);

  // Empty when the manual's start page is there; else one line naming where it was looked
  // for, so that a missing manual is told at start and not only at the first Help.
  QString manualProblem() const;

  void showSupportWindow();
  TSupportTools& supportWindow();
  // The window's "could not open" note for links, while it is shown (tests read it).
  QDialog* linkFailureWindow() const { return linkFailure_; }

  // Where the installed manual lies; tests point it at a folder of their own.
  void setInstalledRoot(const QString& root) { pages_ = HelpPages(root, userPath_); }

 signals:
  void updateCheckRequested();

 private:
  void showLinkFailure(const QUrl& url);

  TMessageForm& box_;
  QString userPath_;
  QWidget* parent_;
  HelpPages pages_;
  QPointer<TSupportTools> support_;
  QPointer<QDialog> linkFailure_;
};
