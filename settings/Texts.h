#pragma once
#include <cstddef>
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// Every user-visible text is numbered: German under n, English under n + 10000.
// The language offset selects which of the two a lookup returns.
//
// The table lives in resources/texts.txt, with the texts of single subsystems in
// resources/texts-*.txt beside it; all are compiled into the program and read once, on
// the first lookup. One line per number: NUMBER<TAB>German<TAB>English, lines
// starting with # are comments, and \n, \t, \\ stand for a line break, a tab and a
// backslash. A text that is empty on purpose is written \e, so that an empty field is
// always a mistake.
namespace Texts {

constexpr int kEnglishOffset = 10000;

void setLanguageOffset(int offset);  // 0 = German, 10000 = English
int languageOffset();

// The text of number n in the current language; an unknown number yields "".
QString text(int n);

// One line of the table.
struct Entry {
  int number = 0;
  QString german;
  QString english;
  int line = 0;                 // line of the table file, counted from 1
  bool emptyOnPurpose = false;  // one of the texts is written \e
};

// Reads a table. Malformed lines are left out; the first one is described in *error as
// "line N: what is wrong" (error is cleared when every line is sound). Numbers run from
// 1 to 999999; a number may appear once, and never 10000 above another one, where its
// German text would sit on the other's English text.
QList<Entry> parseTable(const QByteArray& data, QString* error = nullptr);

// One field of the table with its escapes resolved; false for an unknown escape, a
// backslash at the end or bytes that are no UTF-8.
bool unescapeField(QByteArrayView field, QString* out);

// The table files as compiled into the program (texts.txt first), and the entries of
// all of them as the lookup uses them. A number that a later file repeats is dropped.
struct CompiledFile {
  QString name;      // file name below resources/
  QByteArray bytes;  // its content
};
QList<CompiledFile> compiledFiles();
// One table as the build compiles it in (see vorlog_text_tables in settings/CMakeLists.txt).
struct RawTable {
  const char* name;
  const char* bytes;
  std::size_t size;
};
QList<CompiledFile> filesOf(const RawTable* tables, std::size_t count);
const QList<Entry>& entries();

// A program with a table of its own (the alerter) puts it in place of the compiled one:
// from then on text() and entries() read these files, with the same rules. Call it once
// at start, before the first lookup and before any other thread looks texts up.
void useTables(const QList<CompiledFile>& files);

}  // namespace Texts
