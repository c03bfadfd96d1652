#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QRegularExpression>

#include "settings/Texts.h"

namespace {

// The source tree: given by the build, or found from this file's own path.
QString sourceDir() {
#ifdef VORLOG_SOURCE_DIR
  return QStringLiteral(VORLOG_SOURCE_DIR);
#else
  return QDir::cleanPath(QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../.."));
#endif
}

QByteArray readSource(const QString& relative) {
  QFile f(sourceDir() + QLatin1Char('/') + relative);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray();
  return f.readAll();
}

QHash<int, Texts::Entry> tableByNumber() {
  QHash<int, Texts::Entry> byNumber;
  for (const Texts::Entry& e : Texts::entries()) byNumber.insert(e.number, e);
  return byNumber;
}

// Splits the argument list that starts right after an opening parenthesis at `open`.
QStringList callArguments(const QString& code, qsizetype open) {
  QStringList args;
  QString current;
  int depth = 0;
  for (qsizetype i = open; i < code.size(); ++i) {
    const QChar c = code[i];
    if (c == QLatin1Char('(')) ++depth;
    if (c == QLatin1Char(')') && depth-- == 0) break;
    if (c == QLatin1Char(',') && depth == 0) {
      args << current;
      current.clear();
    } else {
      current += c;
    }
  }
  args << current;
  return args;
}

// Every text number the code names: Texts::text(N), the TextNo blocks, and the title
// and message numbers handed to the error report and the message box.
QMap<int, QString> numbersUsedByCode() {
  QMap<int, QString> used;  // number -> where
  static const QRegularExpression textCall(QStringLiteral(R"(Texts::text\(\s*(\d+))"));
  static const QRegularExpression textNoBlock(QStringLiteral(R"(namespace\s+TextNo\s*\{([^}]*)\})"));
  static const QRegularExpression assigned(QStringLiteral(R"(=\s*(\d+))"));
  static const QRegularExpression number(QStringLiteral(R"(\b(\d+)\b)"));
  static const QRegularExpression reportCall(QStringLiteral(R"(\b(VORLOG_REPORT|showMessage)\s*\()"));

  for (const char* folder : {"settings", "capture", "recording", "cli", "app"}) {
    QDirIterator it(sourceDir() + QLatin1Char('/') + QLatin1String(folder),
                    {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString path = it.next();
      QFile f(path);
      if (!f.open(QIODevice::ReadOnly)) continue;
      const QString code = QString::fromUtf8(f.readAll());
      const QString name = QDir(sourceDir()).relativeFilePath(path);
      auto note = [&](const QString& digits, qsizetype at) {
        const int line = int(code.left(at).count(QLatin1Char('\n'))) + 1;
        used.insert(digits.toInt(), QStringLiteral("%1:%2").arg(name).arg(line));
      };
      for (auto m = textCall.globalMatch(code); m.hasNext();) {
        const auto match = m.next();
        note(match.captured(1), match.capturedStart());
      }
      for (auto m = textNoBlock.globalMatch(code); m.hasNext();) {
        const auto block = m.next();
        for (auto n = assigned.globalMatch(block.captured(1)); n.hasNext();)
          note(n.next().captured(1), block.capturedStart());
      }
      for (auto m = reportCall.globalMatch(code); m.hasNext();) {
        const auto call = m.next();
        const QStringList args = callArguments(code, call.capturedEnd());
        // VORLOG_REPORT(sink, title, message, extra); showMessage(title, message, kind, buttons)
        const int first = call.captured(1) == QLatin1String("VORLOG_REPORT") ? 1 : 0;
        for (int a = first; a < first + 2 && a < args.size(); ++a)
          for (auto n = number.globalMatch(args[a]); n.hasNext();) note(n.next().captured(1), call.capturedStart());
      }
    }
  }
  return used;
}

// Reads NUMBER<TAB>English lines with the table's escapes.
QList<QPair<int, QString>> quotedEnglishTexts(QStringList* problems) {
  QList<QPair<int, QString>> quoted;
  const QList<QByteArray> lines = readSource(QStringLiteral("tests/base/quoted_texts.txt")).split('\n');
  for (int i = 0; i < lines.size(); ++i) {
    const QByteArray& line = lines[i];
    if (line.isEmpty() || line.startsWith('#')) continue;
    const qsizetype tab = line.indexOf('\t');
    bool ok = tab > 0;
    const int n = ok ? line.left(tab).toInt(&ok) : 0;
    QString english;
    if (!ok || !Texts::unescapeField(line.mid(tab + 1), &english)) {
      *problems << QStringLiteral("quoted_texts.txt line %1 is malformed").arg(i + 1);
      continue;
    }
    quoted.append({n, english});
  }
  return quoted;
}

TEST(TextsTable, CompiledTablesAreTheDataFilesAndParseCleanly) {
  const QStringList onDisk = QDir(sourceDir() + QStringLiteral("/resources"))
                                 .entryList({QStringLiteral("texts*.txt")}, QDir::Files, QDir::Name);
  const QList<Texts::CompiledFile> compiled = Texts::compiledFiles();
  ASSERT_FALSE(compiled.isEmpty());
  EXPECT_EQ(compiled.first().name, QStringLiteral("texts.txt"));
  QStringList compiledNames;
  QHash<int, QString> owner;  // number -> file that defines it
  qsizetype total = 0;
  for (const Texts::CompiledFile& file : compiled) {
    compiledNames << file.name;
    // A build that missed an edit of a table would ship old texts.
    EXPECT_TRUE(file.bytes == readSource(QStringLiteral("resources/") + file.name))
        << qPrintable(file.name) << " differs from the file on disk: re-run cmake";
    QString error;
    const QList<Texts::Entry> parsed = Texts::parseTable(file.bytes, &error);
    EXPECT_TRUE(error.isEmpty()) << qPrintable(file.name) << " " << qPrintable(error);
    for (const Texts::Entry& e : parsed) {
      for (int n : {e.number, e.number - Texts::kEnglishOffset, e.number + Texts::kEnglishOffset})
        EXPECT_FALSE(owner.contains(n)) << qPrintable(file.name) << " line " << e.line << ": " << e.number
                                        << " clashes with " << n << " of " << qPrintable(owner.value(n));
      owner.insert(e.number, file.name);
    }
    total += parsed.size();
  }
  compiledNames.sort();
  EXPECT_EQ(compiledNames, onDisk);
  EXPECT_EQ(total, Texts::entries().size());
  EXPECT_GT(total, 600);
}

TEST(TextsTable, QuotedEnglishTextsMatchCharacterForCharacter) {
  QStringList problems;
  const auto quoted = quotedEnglishTexts(&problems);
  EXPECT_TRUE(problems.isEmpty()) << qPrintable(problems.join(QLatin1Char('\n')));
  ASSERT_GT(quoted.size(), 400);
  const auto table = tableByNumber();
  for (const auto& [n, english] : quoted) {
    ASSERT_TRUE(table.contains(n)) << n << " is quoted but not in the table";
    EXPECT_EQ(table.value(n).english.toStdString(), english.toStdString()) << "text " << n;
  }
}

TEST(TextsTable, BothLanguagesPresentAndShapedAlike) {
  for (const Texts::Entry& e : Texts::entries()) {
    if (!e.emptyOnPurpose) {
      EXPECT_FALSE(e.german.isEmpty()) << e.number;
      EXPECT_FALSE(e.english.isEmpty()) << e.number;
    }
    // Texts are glued to numbers and other texts (" day(s)", "Page ", "LINE\t: "), filled
    // in with arguments ("%s") and laid out in lines: both languages must agree on that.
    EXPECT_EQ(e.german.startsWith(QLatin1Char(' ')), e.english.startsWith(QLatin1Char(' '))) << e.number;
    EXPECT_EQ(e.german.endsWith(QLatin1Char(' ')), e.english.endsWith(QLatin1Char(' '))) << e.number;
    EXPECT_EQ(e.german.count(QLatin1Char('%')), e.english.count(QLatin1Char('%'))) << e.number;
    EXPECT_EQ(e.german.count(QLatin1Char('\n')), e.english.count(QLatin1Char('\n'))) << e.number;
    EXPECT_EQ(e.german.count(QLatin1Char('\t')), e.english.count(QLatin1Char('\t'))) << e.number;
  }
}

TEST(TextsTable, EveryNumberTheCodeAsksForExistsInBothLanguages) {
  const QMap<int, QString> used = numbersUsedByCode();
  // The scan must really have seen the code, not an empty folder.
  ASSERT_TRUE(used.contains(3004) && used.contains(2000) && used.contains(4273)) << qPrintable(sourceDir());
  const auto table = tableByNumber();
  for (auto it = used.cbegin(); it != used.cend(); ++it) {
    ASSERT_TRUE(table.contains(it.key())) << it.key() << " asked for at " << qPrintable(it.value());
    EXPECT_FALSE(table.value(it.key()).german.isEmpty()) << it.key() << " at " << qPrintable(it.value());
    EXPECT_FALSE(table.value(it.key()).english.isEmpty()) << it.key() << " at " << qPrintable(it.value());
  }
  Texts::setLanguageOffset(0);
  EXPECT_EQ(Texts::text(4274), QString::fromUtf8("AUSWERTEBETRIEB"));
  Texts::setLanguageOffset(Texts::kEnglishOffset);
  EXPECT_EQ(Texts::text(4274), QStringLiteral("EXAMINE MODE"));
}

TEST(TextsParser, ReadsCommentsEscapesAndWindowsLineEnds) {
  QString error = QStringLiteral("stale");
  const QByteArray table =
      "\xEF\xBB\xBF# comment\r\n"
      "\r\n"
      "   \n"
      "5\tZeile\\n\\tEinr\xC3\xBC"
      "ckung\\\\\tLine\\n\\tindent\\\\\r\n"
      "60000\tgleich\tsame\n"
      "7\t\\e\tshown in English only";  // no line end at the very end
  const QList<Texts::Entry> e = Texts::parseTable(table, &error);
  EXPECT_TRUE(error.isEmpty()) << qPrintable(error);
  ASSERT_EQ(e.size(), 3);
  EXPECT_EQ(e[0].number, 5);
  EXPECT_EQ(e[0].line, 4);
  EXPECT_EQ(e[0].german, QString::fromUtf8("Zeile\n\tEinrückung\\"));
  EXPECT_EQ(e[0].english, QStringLiteral("Line\n\tindent\\"));
  EXPECT_FALSE(e[0].emptyOnPurpose);
  EXPECT_EQ(e[1].number, 60000);
  EXPECT_TRUE(e[2].german.isEmpty());
  EXPECT_TRUE(e[2].emptyOnPurpose);
}

TEST(TextsParser, MalformedLinesAreLeftOutAndNamedByLine) {
  struct Case {
    const char* table;
    int line;
    const char* why;
  };
  const Case cases[] = {
      {"1\tEins\tOne\n2\tZwei\n", 2, "found 2 field(s)"},
      {"1\tEins\tOne\t\n", 1, "found 4 field(s)"},
      {"# x\nA1\tEins\tOne\n", 2, "is no text number"},
      {"0\tNull\tZero\n", 1, "is no text number"},
      {"-3\tMinus\tMinus\n", 1, "is no text number"},
      {"1000000\tZu gro\xC3\x9F\tToo big\n", 1, "is no text number"},
      {"1\tEins\tOne\n\n1\tNochmal\tAgain\n", 3, "already defined on line 1"},
      {"10001\tX\tX\n1\tEins\tOne\n", 2, "differ by 10000"},
      {"1\t\tOne\n", 1, "empty German text"},
      {"1\tEins\t\n", 1, "empty English text"},
      {"1\tEins\\x\tOne\n", 1, "bad escape"},
      {"1\tEins\tOne\\\n", 1, "bad escape"},
      {"1\tEins\tOne\\e\n", 1, "bad escape"},
      {"1\tEins\xC3\tOne\n", 1, "no UTF-8"},
  };
  for (const Case& c : cases) {
    QString error;
    const QList<Texts::Entry> e = Texts::parseTable(QByteArray(c.table), &error);
    EXPECT_TRUE(error.startsWith(QStringLiteral("line %1: ").arg(c.line))) << c.table << " -> " << qPrintable(error);
    EXPECT_TRUE(error.contains(QLatin1String(c.why))) << c.table << " -> " << qPrintable(error);
    for (const Texts::Entry& entry : e) EXPECT_NE(entry.line, c.line) << c.table;
  }
  // The sound lines around a broken one still count, and only the first fault is named.
  QString error;
  const auto e = Texts::parseTable("1\tEins\tOne\nkaputt\n3\tDrei\tThree\nauch kaputt\n", &error);
  EXPECT_EQ(e.size(), 2);
  EXPECT_TRUE(error.startsWith(QStringLiteral("line 2: "))) << qPrintable(error);
}

}  // namespace
