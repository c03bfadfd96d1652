#include "settings/IniFile.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QList>
#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <charconv>
#include <string>
#include <string_view>

namespace IniFile {
namespace {

bool isContentLine(const QByteArray& line) {
  const QByteArray t = line.trimmed();
  return !t.isEmpty() && t[0] != ';' && t[0] != '#';
}

QByteArray trailingComments(const QByteArray& text) {
  const QList<QByteArray> lines = text.split('\n');
  qsizetype last = lines.size() - 1;
  while (last >= 0 && !isContentLine(lines[last])) --last;
  if (last < 0) return {};  // only comments: the library keeps them as the file's comment
  QByteArray tail;
  bool any = false;
  for (qsizetype i = last + 1; i < lines.size(); ++i) {
    const QByteArray t = lines[i].trimmed();
    if (t.isEmpty() && !any) continue;
    any = true;
    tail += t + '\n';
  }
  while (tail.endsWith("\n\n")) tail.chop(1);
  return tail;
}

// Windows-1252 at 0x80 to 0x9F; the five unassigned bytes keep their C1 code points.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

QByteArray asUtf8(QByteArray bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString decoded = utf8(bytes);
  if (!utf8.hasError()) return bytes;
  QString text(bytes.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    text[i] = QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
  }
  return text.toUtf8();
}

void prepare(CSimpleIniA& ini) {
  ini.SetUnicode(true);
  ini.SetMultiKey(false);
  ini.SetSpaces(false);
}

std::optional<int> parseInteger(const char* text) {
  if (!text) return std::nullopt;
  std::string_view s(text);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  if (s.size() > 1 && s.front() == '+' && s[1] != '-') s.remove_prefix(1);
  int value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return value;
}

QString oneLine(QString value) {
  for (QChar& c : value)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) c = QLatin1Char(' ');
  return value;
}

bool fail(QString* error, const QString& path, const QString& reason) {
  if (error) *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason);
  return false;
}

bool save(const CSimpleIniA& ini, const QByteArray& oldText, const QString& path, QString* error) {
  std::string text;
  if (ini.Save(text, false) < 0) return fail(error, path, qt_error_string(ENOMEM));
  const QByteArray tail = trailingComments(oldText);
  if (!tail.isEmpty()) {
    text += '\n';
    text.append(tail.constData(), std::size_t(tail.size()));
  }
  // The new content goes to a temporary file beside the old one and replaces it only
  // when complete: a full disk or a crash never leaves an empty or half file.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return fail(error, path, file.errorString());
  if (file.write(text.data(), qint64(text.size())) != qint64(text.size())) {
    const QString why = file.errorString();
    file.cancelWriting();
    return fail(error, path, why);
  }
  if (!file.commit()) return fail(error, path, file.errorString());
  return true;
}

bool loadForRewrite(CSimpleIniA& ini, const QString& path, const FileReader& read,
                    const std::function<QByteArray(QByteArray)>& clean, QByteArray* oldText, QString* error) {
  prepare(ini);
  QString reason;
  switch (read(path, oldText, &reason)) {
    case ReadResult::Failed:
      return fail(error, path, reason);
    case ReadResult::Read:
      // The file is replaced, not rewritten, so its own write permission has to be asked for.
      if (::access(QFile::encodeName(path).constData(), W_OK) != 0) return fail(error, path, qt_error_string(errno));
      *oldText = clean(std::move(*oldText));
      if (ini.LoadData(oldText->constData(), size_t(oldText->size())) < 0)
        return fail(error, path, qt_error_string(ENOMEM));
      break;
    case ReadResult::Missing:
      break;
  }
  return true;
}

void Writer::text(const char* section, const char* key, const QString& value) {
  ini_.SetValue(section, key, oneLine(value).toUtf8().constData());
}
void Writer::integer(const char* section, const char* key, int value) {
  ini_.SetValue(section, key, std::to_string(value).c_str());
}
void Writer::boolean(const char* section, const char* key, bool value) {
  ini_.SetValue(section, key, value ? "1" : "0");
}

}  // namespace IniFile
