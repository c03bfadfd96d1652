#pragma once
#include <QLocale>

// The numbers of Klaxor's own text table (resources/klaxor/texts.txt). They overlap
// Vorlog's numbers, so the alerter installs its table in place of Vorlog's.
namespace KlaxorText {
constexpr int Caption = 1;
constexpr int Version = 3;             // "Version 1.0.0.0"
constexpr int Subtitle = 4;            // the fixed text below the version
constexpr int ProgramId = 5;           // "KLAXOR", the identifier of the log entries
constexpr int AlertOnce = 100;         // "Alert once..."
constexpr int RepeatedAlert = 101;     // "Repeated alert..."
constexpr int RunningCommand = 102;    // "Running command..."
constexpr int NoSoundFile = 300;       // "No soundfile provided"
constexpr int NoCommand = 301;         // "No command provided"
constexpr int CommandFailed = 302;     // "Command execution failed"
constexpr int NoMessageText = 303;     // "No message text provided"
constexpr int SoundNotPlayable = 304;  // %1 = the reason
constexpr int NoAudioDevice = 305;
constexpr int IniUnreadable = 400;  // %1 file, %2 reason
constexpr int IniUnwritable = 401;  // %1 file, %2 reason
constexpr int LockUnusable = 402;   // %1 file, %2 reason
constexpr int LogUnwritable = 403;  // %1 file, %2 reason, %3 the entry
}  // namespace KlaxorText

namespace Klaxor {

// Makes Texts::text() read Klaxor's table.
void useKlaxorTexts();

// 0 (German) when the locale's language is German, else 10000 (English).
int languageOffsetFor(const QLocale& locale);

}  // namespace Klaxor
