#pragma once
#include <QString>

// What the central error report shows: title and text built from text numbers.
struct ErrorReport {
  QString title;
  QString text;
  bool fullForm = false;  // no message text: the long form asking for a problem report
};

// Title: the title text (or "No title available"), then " [message number]". With a
// message text: that text and the extra text. Without one: the full form with the
// application title, program path, source file and line.
ErrorReport composeErrorReport(int titleText, int messageText, const QString& extra, const QString& sourceFile,
                               int sourceLine, const QString& applicationTitle, const QString& programPath);
