#include "settings/Texts.h"

#include <QHash>
#include <QStringDecoder>
#include <QtGlobal>
#include <atomic>
#include <cstddef>
#include <memory>

// The bytes of resources/texts*.txt, generated into the build tree by CMake.
namespace TextsData {
extern const Texts::RawTable kFiles[];
extern const std::size_t kFileCount;
}  // namespace TextsData

namespace {

std::atomic<int> gOffset{Texts::kEnglishOffset};

constexpr int kMaxNumber = 999999;

struct Table {
  QList<Texts::Entry> entries;
  QHash<int, QString> byNumber;  // German under n, English under n + 10000
};

Table buildTable(const QList<Texts::CompiledFile>& files) {
  Table result;
  for (const Texts::CompiledFile& file : files) {
    QString error;
    // A broken line loses only its own number; the tests catch it before it ships.
    const QList<Texts::Entry> entries = Texts::parseTable(file.bytes, &error);
    if (!error.isEmpty()) qWarning("%s: %s", qPrintable(file.name), qPrintable(error));
    for (const Texts::Entry& e : entries) {
      const int english = e.number + Texts::kEnglishOffset;
      if (result.byNumber.contains(e.number) || result.byNumber.contains(english)) {
        qWarning("%s: line %d: text %d is taken by another table", qPrintable(file.name), e.line, e.number);
        continue;
      }
      result.byNumber.insert(e.number, e.german);
      result.byNumber.insert(english, e.english);
      result.entries.append(e);
    }
  }
  return result;
}

// Set once by useTables(); the compiled table otherwise.
std::atomic<const Table*> gInstalled{nullptr};

const Table& table() {
  if (const Table* installed = gInstalled.load()) return *installed;
  static const Table compiled = buildTable(Texts::compiledFiles());
  return compiled;
}

bool parseNumber(QByteArrayView field, int* number) {
  if (field.isEmpty() || field.size() > 6) return false;
  int n = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > kMaxNumber) return false;
  *number = n;
  return true;
}

bool isUtf8(QByteArrayView bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString decoded = decoder.decode(bytes);  // the decoder works when its result is taken
  return !decoder.hasError();
}

// Resolves the escapes of one field; checks the UTF-8 only when asked, since the table
// is checked as a whole first.
bool unescape(QByteArrayView field, QString* out, bool checkUtf8) {
  if (checkUtf8 && !isUtf8(field)) return false;
  if (!field.contains('\\')) {
    *out = QString::fromUtf8(field);
    return true;
  }
  QByteArray bytes;
  bytes.reserve(field.size());
  for (qsizetype i = 0; i < field.size(); ++i) {
    const char c = field[i];
    if (c != '\\') {
      bytes += c;
      continue;
    }
    if (++i == field.size()) return false;
    switch (field[i]) {
      case 'n':
        bytes += '\n';
        break;
      case 't':
        bytes += '\t';
        break;
      case '\\':
        bytes += '\\';
        break;
      case 'e':
        if (field.size() != 2) return false;  // \e stands for the whole field only
        break;
      default:
        return false;
    }
  }
  *out = QString::fromUtf8(bytes);
  return true;
}

}  // namespace

namespace Texts {

void setLanguageOffset(int offset) { gOffset = offset == 0 ? 0 : kEnglishOffset; }
int languageOffset() { return gOffset; }

QString text(int n) { return table().byNumber.value(n + gOffset); }

bool unescapeField(QByteArrayView field, QString* out) { return unescape(field, out, true); }

QList<Entry> parseTable(const QByteArray& data, QString* error) {
  QList<Entry> entries;
  entries.reserve(data.count('\n') + 1);
  QHash<int, int> lineOf;  // number -> line where it was defined
  lineOf.reserve(entries.capacity());
  QString firstError;
  auto fail = [&](int line, const QString& why) {
    if (firstError.isEmpty()) firstError = QStringLiteral("line %1: %2").arg(QString::number(line), why);
  };

  // Checking the whole table at once is cheaper than checking every field; only a
  // table with a fault goes through the fields one by one.
  const bool checkEachField = !isUtf8(data);
  int lineNo = 0;
  qsizetype pos = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;  // an editor's byte order mark
  while (pos < data.size()) {
    qsizetype end = data.indexOf('\n', pos);
    if (end < 0) end = data.size();
    QByteArrayView line = QByteArrayView(data).sliced(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (line.endsWith('\r')) line.chop(1);  // a table saved with Windows line ends
    if (line.trimmed().isEmpty() || line.startsWith('#')) continue;

    const qsizetype tab1 = line.indexOf('\t');
    const qsizetype tab2 = tab1 < 0 ? -1 : line.indexOf('\t', tab1 + 1);
    const qsizetype tab3 = tab2 < 0 ? -1 : line.indexOf('\t', tab2 + 1);
    if (tab2 < 0 || tab3 >= 0) {
      fail(lineNo,
           QStringLiteral("expected NUMBER<TAB>German<TAB>English, found %1 field(s)").arg(line.count('\t') + 1));
      continue;
    }
    const QByteArrayView numberField = line.first(tab1);
    const QByteArrayView germanField = line.sliced(tab1 + 1, tab2 - tab1 - 1);
    const QByteArrayView englishField = line.sliced(tab2 + 1);
    Entry e;
    e.line = lineNo;
    if (!parseNumber(numberField, &e.number)) {
      fail(lineNo, QStringLiteral("\"%1\" is no text number (1 to %2)")
                       .arg(QString::fromUtf8(numberField.first(qMin<qsizetype>(numberField.size(), 20))),
                            QString::number(kMaxNumber)));
      continue;
    }
    if (germanField.isEmpty() || englishField.isEmpty()) {
      fail(lineNo, QStringLiteral("empty %1 text of %2 (write \\e for a text that is empty on purpose)")
                       .arg(germanField.isEmpty() ? QStringLiteral("German") : QStringLiteral("English"))
                       .arg(e.number));
      continue;
    }
    if (!unescape(germanField, &e.german, checkEachField) || !unescape(englishField, &e.english, checkEachField)) {
      fail(lineNo, QStringLiteral("bad escape or no UTF-8 in the texts of %1").arg(e.number));
      continue;
    }
    e.emptyOnPurpose = germanField == "\\e" || englishField == "\\e";
    if (lineOf.contains(e.number)) {
      fail(lineNo, QStringLiteral("%1 is already defined on line %2").arg(e.number).arg(lineOf.value(e.number)));
      continue;
    }
    int clash = 0;
    for (int other : {e.number - kEnglishOffset, e.number + kEnglishOffset})
      if (lineOf.contains(other)) clash = other;
    if (clash) {
      fail(lineNo, QStringLiteral("%1 and %2 (line %3) differ by %4: the German text of one would be the English "
                                  "text of the other")
                       .arg(e.number)
                       .arg(clash)
                       .arg(lineOf.value(clash))
                       .arg(kEnglishOffset));
      continue;
    }
    lineOf.insert(e.number, lineNo);
    entries.append(std::move(e));
  }
  if (error) *error = firstError;
  return entries;
}

QList<CompiledFile> filesOf(const RawTable* tables, std::size_t count) {
  QList<CompiledFile> files;
  for (std::size_t i = 0; i < count; ++i)
    files.append({QString::fromUtf8(tables[i].name), QByteArray::fromRawData(tables[i].bytes, qsizetype(tables[i].size))});
  return files;
}

QList<CompiledFile> compiledFiles() { return filesOf(TextsData::kFiles, TextsData::kFileCount); }

const QList<Entry>& entries() { return table().entries; }

void useTables(const QList<CompiledFile>& files) {
  // entries() hands out a reference into the table, so it stays until the process ends.
  static std::unique_ptr<const Table> installed;
  auto next = std::make_unique<const Table>(buildTable(files));
  gInstalled = next.get();
  installed = std::move(next);
}

}  // namespace Texts
