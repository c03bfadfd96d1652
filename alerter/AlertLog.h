#pragma once
#include <QDateTime>
#include <QString>

// The alerter's outside log. Every entry has the priority user.notice (13): with an
// empty target it goes to the system log through syslog(3) under the program
// identifier, otherwise it is appended to the target file as one line,
//   2026-12-08T07:43:33.123+01:00 KLAXOR[4711]: No soundfile provided
// in one write, so that alerters logging at the same moment do not mix their lines.
namespace Klaxor {

// The line for a target file; line breaks inside the message become blanks.
QString logLine(const QDateTime& when, const QString& ident, qint64 pid, const QString& message);

// Writes one entry; false with *error set when the target file cannot be written.
bool writeLog(const QString& target, const QString& ident, const QString& message, QString* error = nullptr);

}  // namespace Klaxor
