#pragma once
#include <QString>
#include <QStringList>

// Where the manual page of a help topic lies. The manual is installed per language below
// share/vorlog/help/ beside the programs (the build tree has the same layout); a copy of
// a page in the user path's help/ folder wins over the installed one, so a user can
// correct or translate a page without writing to the installation.
class HelpPages {
 public:
  struct Page {
    bool found = false;
    QString name;          // "hs310.htm"
    QString path;          // the page that opens; when missing, the installed path looked for
    QStringList searched;  // every path looked at, user copy first
  };

  // installedRoot: the folder holding help/ (share/vorlog/); userPath: the user's folder.
  HelpPages(QString installedRoot, QString userPath);

  // share/vorlog/ beside the running program's bin/.
  static QString defaultInstalledRoot();

  // "UserManual.htm" (text 2) for topic 0, "hs<topic>.htm" otherwise.
  static QString pageName(int topic);
  // The language's folder below the roots, "help/en/webhelp/" (text 17, read at every
  // call so that a change of language takes effect with the next page opened).
  static QString languageFolder();

  Page find(int topic) const;

 private:
  QString installedRoot_;
  QString userPath_;
};
