#pragma once
// What Vorlog.ini and the environment files share: one INI dialect, values one line
// each, and a save that keeps what the program does not write.
#include <SimpleIni.h>

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace IniFile {

// The last value of a key wins and a section named twice is one section; "Key=Value".
void prepare(CSimpleIniA& ini);
// The file's text as UTF-8 for the parser: UTF-8 as it is (without a byte-order mark);
// anything that is not valid UTF-8 was written by the Windows version, in Windows-1252.
QByteArray asUtf8(QByteArray bytes);
// A whole decimal number with blanks around it, or nothing (text, overflow).
std::optional<int> parseInteger(const char* text);
// Values are one line each: control characters would split the line and let the rest be
// read as keys of their own.
QString oneLine(QString value);
// "path: reason" into *error; always false.
bool fail(QString* error, const QString& path, const QString& reason);
// Writes the INI text through a temporary file and a rename, with the comments that
// stood at the very end of the old text (the library keeps only comments before a key).
bool save(const CSimpleIniA& ini, const QByteArray& oldText, const QString& path, QString* error);

enum class ReadResult { Read, Missing, Failed };
using FileReader = std::function<ReadResult(const QString& path, QByteArray* bytes, QString* reason)>;
// Loads the file a save is about to replace into ini, with its text in *oldText: read
// by the caller's reader and made parser-ready by clean. False with *error set when the
// file cannot be read (writing would lose what was not read) or may not be written.
bool loadForRewrite(CSimpleIniA& ini, const QString& path, const FileReader& read,
                    const std::function<QByteArray(QByteArray)>& clean, QByteArray* oldText, QString* error);

// Values as the files write them: integers in decimal, booleans as 1 and 0.
class Writer {
 public:
  explicit Writer(CSimpleIniA& ini) : ini_(ini) {}
  void text(const char* section, const char* key, const QString& value);
  void integer(const char* section, const char* key, int value);
  void boolean(const char* section, const char* key, bool value);

 private:
  CSimpleIniA& ini_;
};

}  // namespace IniFile
