#include "settings/Configuration.h"
#include "settings/Texts.h"

#include <SimpleIni.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <charconv>
#include <iterator>
#include <optional>
#include <string>

#include "settings/IniFile.h"
#include "settings/UserPath.h"

using namespace ConfigKeys;

namespace {

using IniFile::fail;
using IniFile::oneLine;
using IniFile::parseInteger;
using IniFile::prepare;

using IniFile::ReadResult;

ReadResult readFile(const QString& path, QByteArray* bytes, QString* reason) {
  QFile file(path);
  if (!file.exists()) return ReadResult::Missing;
  if (!file.open(QIODevice::ReadOnly)) {
    if (reason) *reason = file.errorString();
    return ReadResult::Failed;
  }
  *bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    if (reason) *reason = file.errorString();
    return ReadResult::Failed;
  }
  return ReadResult::Read;
}

// The parser stops at the first NUL byte; what follows it is not part of the file for us.
QByteArray parsedPart(const QByteArray& bytes) {
  const qsizetype nul = bytes.indexOf('\0');
  return nul < 0 ? bytes : bytes.left(nul);
}

bool isAllDigits(const QString& s) {
  if (s.isEmpty()) return false;
  for (QChar c : s)
    if (!c.isDigit()) return false;
  return true;
}

// Form names become keys: only plain component names can be written without
// breaking the line they are on.
bool isFormName(const QString& s) {
  if (s.isEmpty() || isAllDigits(s)) return false;
  for (QChar c : s)
    if (!(c.isLetterOrNumber() || c == QLatin1Char('_')) || c.unicode() > 127) return false;
  return true;
}

class Reader {
 public:
  explicit Reader(const CSimpleIniA& ini) : ini_(ini) {}

  const char* raw(const char* section, const char* key) const { return ini_.GetValue(section, key, nullptr); }

  int integer(const char* section, const char* key, int def) const {
    return parseInteger(raw(section, key)).value_or(def);
  }
  int integer(const Key& k) const { return integer(k.section, k.name, k.intDefault); }
  // A value outside [lo, hi] is damage, not a wish: the default.
  int integer(const char* section, const char* key, int def, int lo, int hi) const {
    const int v = integer(section, key, def);
    return v < lo || v > hi ? def : v;
  }
  int integer(const Key& k, int lo, int hi) const { return integer(k.section, k.name, k.intDefault, lo, hi); }

  // Any integer but 0 is true; "true" and "false" as a hand-edited file may have them.
  bool boolean(const char* section, const char* key, bool def) const {
    const char* v = raw(section, key);
    if (const auto n = parseInteger(v)) return *n != 0;
    if (!v) return def;
    const QByteArray t = QByteArray(v).trimmed().toLower();
    return t == "true" ? true : t == "false" ? false : def;
  }
  bool boolean(const Key& k) const { return boolean(k.section, k.name, k.intDefault != 0); }

  // An empty string counts as missing: none of these names means anything when empty.
  // Control characters are read as the blanks they are written as, so a value reads
  // back the same after every save.
  QString text(const char* section, const char* key, const char* def) const {
    const char* v = raw(section, key);
    const QString s = v ? oneLine(QString::fromUtf8(v)).trimmed() : QString();
    return s.isEmpty() ? QString::fromUtf8(def) : s;
  }
  QString text(const Key& k) const { return text(k.section, k.name, k.textDefault); }

  // A list with nothing in it would leave the port settings nothing to offer.
  QStringList list(const Key& k) const {
    QStringList items = decodeList(text(k));
    return items.isEmpty() ? decodeList(QString::fromUtf8(k.textDefault)) : items;
  }

  QList<QPair<QString, QString>> entries(const char* section) const {
    CSimpleIniA::TNamesDepend keys;
    ini_.GetAllKeys(section, keys);
    keys.sort(CSimpleIniA::Entry::LoadOrder());
    QList<QPair<QString, QString>> result;
    for (const auto& key : keys)
      result.push_back({QString::fromUtf8(key.pItem), QString::fromUtf8(ini_.GetValue(section, key.pItem, ""))});
    return result;
  }

 private:
  const CSimpleIniA& ini_;
};

class Writer : public IniFile::Writer {
 public:
  using IniFile::Writer::Writer;
  using IniFile::Writer::boolean;
  using IniFile::Writer::integer;
  using IniFile::Writer::text;
  void text(const Key& k, const QString& value) { text(k.section, k.name, value); }
  void integer(const Key& k, int value) { integer(k.section, k.name, value); }
  void boolean(const Key& k, bool value) { boolean(k.section, k.name, value); }
  void list(const Key& k, const QStringList& items) { text(k, encodeList(items)); }
};

std::string columnKey(int i) { return kColumnStem + std::to_string(i); }

std::string skinSection(int n) { return kSkin + std::to_string(n); }

void readDialog(const Reader& r, const char* section, DialogPlacement* d) {
  d->left = r.integer(section, kDialogLeft, kDialogLeftDefault, -kPixelLimit, kPixelLimit);
  d->top = r.integer(section, kDialogTop, kDialogTopDefault, -kPixelLimit, kPixelLimit);
  d->windowState = r.integer(section, kDialogWindowState, 0, 0, 2);
  d->visible = r.boolean(section, kDialogVisible, false);
}

void writeDialog(Writer& w, const char* section, const DialogPlacement& d) {
  w.integer(section, kDialogLeft, d.left);
  w.integer(section, kDialogTop, d.top);
  w.integer(section, kDialogWindowState, d.windowState);
  w.boolean(section, kDialogVisible, d.visible);
}

void readView(const Reader& r, ViewColumns* v) {
  const ViewColumnTable& t = viewTable(v->table);
  for (int i = 0; i < t.columns; ++i)
    v->widths[i] = r.integer(t.section, columnKey(i).c_str(), designedColumnWidth(v->table, i), 0, kPixelLimit);
  v->characterMode1 = r.integer(t.section, kCharacterMode1, kCharacterMode1Default, 1, 6);
  v->characterMode2 = r.integer(t.section, kCharacterMode2, kCharacterMode2Default);  // others mean none
}

void writeView(Writer& w, const ViewColumns& v) {
  const ViewColumnTable& t = viewTable(v.table);
  for (int i = 0; i < t.columns; ++i)
    w.integer(t.section, columnKey(i).c_str(), i < v.widths.size() ? v.widths[i] : designedColumnWidth(v.table, i));
  w.integer(t.section, kCharacterMode1, v.characterMode1);
  w.integer(t.section, kCharacterMode2, v.characterMode2);
}

}  // namespace

ViewColumns::ViewColumns(ConfigKeys::ViewTable t) : table(t), widths(designedWidths()) {}

QList<int> ViewColumns::designedWidths() const {
  QList<int> w;
  for (int i = 0; i < viewTable(table).columns; ++i) w.push_back(designedColumnWidth(table, i));
  return w;
}

Configuration::Configuration()
    : profile(QString::fromUtf8(Profile.textDefault)),
      baudrates(decodeList(QString::fromUtf8(Baudrates.textDefault))),
      databits(decodeList(QString::fromUtf8(Databits.textDefault))),
      parities(decodeList(QString::fromUtf8(Parities.textDefault))),
      stopbits(decodeList(QString::fromUtf8(Stopbits.textDefault))),
      installLang(QString::fromUtf8(InstallLang.textDefault)),
      bottomPanels{BottomLeft.intDefault, BottomTop.intDefault, BottomWidth.intDefault, BottomHeight.intDefault},
      centerPanel{CenterLeft.intDefault, CenterTop.intDefault, CenterWidth.intDefault, 0},
      environmentFile(QString::fromUtf8(EnvironmentFilename.textDefault)),
      triggerListColumns(std::begin(kTriggerListWidths), std::end(kTriggerListWidths)),
      skins(SkinMax.intDefault) {
  for (size_t i = 0; i < std::size(kShippedSkins); ++i) skins[qsizetype(i)] = kShippedSkins[i].entry();
}

bool Configuration::load(const QString& path) {
  *this = Configuration();
  QByteArray bytes;
  const bool found = readFile(path, &bytes, nullptr) == ReadResult::Read;  // unreadable: the defaults
  CSimpleIniA ini;
  prepare(ini);
  if (found) ini.LoadData(bytes.constData(), size_t(bytes.size()));
  const Reader r(ini);

  profile = r.text(Profile);
  baudrates = r.list(Baudrates);
  databits = r.list(Databits);
  parities = r.list(Parities);
  stopbits = r.list(Stopbits);

  // The installer's language is applied once; from then on "xx" lets the user's own
  // choice in GlobalLang win. Any other text keeps GlobalLang and is written back as is.
  installLang = r.text(InstallLang);
  languageOffset = r.integer(GlobalLang);
  const QString chosen = installLang.trimmed().toLower();
  if (chosen == QLatin1String("en")) {
    languageOffset = kLanguageEnglish;
    installLang = QString::fromLatin1(kInstallLangApplied);
  } else if (chosen == QLatin1String("de")) {
    languageOffset = kLanguageGerman;
    installLang = QString::fromLatin1(kInstallLangApplied);
  }

  pinNaming = r.integer(DefLang, 0, 1);  // toggled as 1 - value, so nothing else may stand
  displayMode = r.integer(DisplayMode);
  if (displayMode != 1 && displayMode != 3 && displayMode != 4) displayMode = DisplayMode.intDefault;
  recordMode = r.integer(RecordMode, 1, 2);        // 0 would make the record command give up
  characterControl = r.integer(CharacterControl);  // 7, 8, anything else: neither
  signalMode = r.integer(SignalMode);              // 1 filled, anything else: trace only
  timeControl = r.integer(TimeControl, 0, 2);

  // Sizes of 0 and positions off every screen are put right by the window itself;
  // negative sizes and numbers beyond any screen are damage.
  window.left = r.integer(WindowLeft, -kPixelLimit, kPixelLimit);
  window.top = r.integer(WindowTop, -kPixelLimit, kPixelLimit);
  window.width = r.integer(WindowWidth, 0, kPixelLimit);
  window.height = r.integer(WindowHeight, 0, kPixelLimit);
  window.windowState = r.integer(WindowState, 0, 2);

  // The name keys are the ones read; the numbered keys are written for older readers.
  for (const auto& [key, value] : r.entries(kMonitor)) {
    if (!isFormName(key)) continue;
    const int monitor = parseInteger(value.toUtf8().constData()).value_or(kMonitorDefault);
    setMonitor(key, monitor < 0 ? kMonitorDefault : monitor);  // beyond the last: the window takes the last
  }

  bottomPanels.left = r.integer(BottomLeft, -kPixelLimit, kPixelLimit);
  bottomPanels.top = r.integer(BottomTop, -kPixelLimit, kPixelLimit);
  bottomPanels.width = r.integer(BottomWidth, 0, kPixelLimit);
  bottomPanels.height = r.integer(BottomHeight, 0, kPixelLimit);
  centerPanel.left = r.integer(CenterLeft, -kPixelLimit, kPixelLimit);
  centerPanel.top = r.integer(CenterTop, -kPixelLimit, kPixelLimit);
  centerPanel.width = r.integer(CenterWidth, 0, kPixelLimit);

  readDialog(r, kGotoWindow, &gotoDialog);
  readDialog(r, kExportWindow, &exportDialog);
  readDialog(r, kReportWindow, &reportDialog);
  searchPageIndex = r.integer(SearchPageIndex, 0, kPageCount - 1);
  controlSearchPageIndex = r.integer(ControlSearchPageIndex, 0, kPageCount - 1);

  environmentFile = r.text(EnvironmentFilename);
  gridOptions = r.integer(GridOptions);  // bits other than the grid lines pass through
  viewHold = r.boolean(ViewHold);
  recorderAppend = r.boolean(RecorderAppend);
  recorderReplace = r.boolean(RecorderReplace);

  readView(r, &dataDump);
  readView(r, &dataOnly);
  readView(r, &vertical);
  for (int i = 0; i < kTriggerListColumns; ++i)
    triggerListColumns[i] = r.integer(kTriggerList, columnKey(i).c_str(), kTriggerListWidths[i], 0, kPixelLimit);

  checkForUpdatesAtProgStart = r.boolean(CheckForUpdatesAtProgStart);
  updateBaseAddress = r.text(UpdateBaseAddress);
  releasePage = r.text(ReleasePage);
  displayHoldOnProgStart = r.boolean(DisplayHoldOnProgStart);
  beginRecordOnProgStart = r.boolean(BeginRecordOnProgStart);

  skinMax = r.integer(SkinMax);
  if (skinMax < 0) skinMax = SkinMax.intDefault;
  if (skinMax > kSkinLimit) skinMax = kSkinLimit;
  skins.resize(skinMax);
  for (int n = 1; n <= skinMax; ++n) {
    const std::string section = skinSection(n);
    // The shipped skins stand in for a section the file does not have; a section the
    // user wrote, even one named "None", is taken as written.
    const SkinEntry shipped = n <= int(std::size(kShippedSkins)) ? kShippedSkins[n - 1].entry() : SkinEntry{};
    const bool described = r.raw(section.c_str(), kSkinName) != nullptr;
    skins[n - 1].name = described ? r.text(section.c_str(), kSkinName, kSkinNameDefault) : shipped.name;
    skins[n - 1].dark = r.boolean(section.c_str(), kSkinDark, described ? kSkinDarkDefault : shipped.dark);
  }
  skinCurrent = r.integer(SkinCurrent);
  if (skinCurrent < 0) skinCurrent = SkinCurrent.intDefault;

  for (const auto& [key, value] : r.entries(kPorts)) ports.push_back({key, value});
  return found;
}

bool Configuration::save(const QString& path, QString* error) const {
  CSimpleIniA ini;
  QByteArray old;
  if (!IniFile::loadForRewrite(ini, path, readFile, parsedPart, &old, error)) return false;

  Writer w(ini);
  w.text(Profile, profile);
  w.list(Baudrates, baudrates);
  w.list(Databits, databits);
  w.list(Parities, parities);
  w.list(Stopbits, stopbits);

  w.text(InstallLang, installLang);
  w.integer(GlobalLang, languageOffset);
  w.integer(DefLang, pinNaming);
  w.integer(DisplayMode, displayMode);
  w.integer(RecordMode, recordMode);
  w.integer(CharacterControl, characterControl);
  w.integer(SignalMode, signalMode);
  w.integer(TimeControl, timeControl);

  if (window.windowState == 0) {
    w.integer(WindowLeft, window.left);
    w.integer(WindowTop, window.top);
    w.integer(WindowWidth, window.width);
    w.integer(WindowHeight, window.height);
  }
  w.integer(WindowState, window.windowState);

  for (qsizetype i = 0; i < monitors.size(); ++i) {
    w.integer(kMonitor, std::to_string(i).c_str(), monitors[i].monitor);
    if (isFormName(monitors[i].formName))
      w.integer(kMonitor, monitors[i].formName.toUtf8().constData(), monitors[i].monitor);
  }

  w.integer(BottomLeft, bottomPanels.left);
  w.integer(BottomTop, bottomPanels.top);
  w.integer(BottomWidth, bottomPanels.width);
  w.integer(BottomHeight, bottomPanels.height);
  w.integer(CenterLeft, centerPanel.left);
  w.integer(CenterTop, centerPanel.top);
  w.integer(CenterWidth, centerPanel.width);

  writeDialog(w, kGotoWindow, gotoDialog);
  w.integer(SearchPageIndex, searchPageIndex);
  w.integer(ControlSearchPageIndex, controlSearchPageIndex);
  writeDialog(w, kExportWindow, exportDialog);
  writeDialog(w, kReportWindow, reportDialog);

  w.text(EnvironmentFilename, environmentFile);
  w.integer(GridOptions, gridOptions);
  w.boolean(ViewHold, viewHold);
  w.boolean(RecorderAppend, recorderAppend);
  w.boolean(RecorderReplace, recorderReplace);

  writeView(w, dataDump);
  writeView(w, dataOnly);
  writeView(w, vertical);
  for (int i = 0; i < kTriggerListColumns; ++i)
    w.integer(kTriggerList, columnKey(i).c_str(),
              i < triggerListColumns.size() ? triggerListColumns[i] : kTriggerListWidths[i]);

  w.boolean(CheckForUpdatesAtProgStart, checkForUpdatesAtProgStart);
  w.boolean(DisplayHoldOnProgStart, displayHoldOnProgStart);
  w.boolean(BeginRecordOnProgStart, beginRecordOnProgStart);

  return IniFile::save(ini, old, path, error);
}

bool Configuration::load() { return load(configurationFilePath()); }

bool Configuration::save(QString* error) const {
  if (!ensureUserPath()) return fail(error, configurationFilePath(), Texts::text(9410).arg(userPath()));
  return save(configurationFilePath(), error);
}

bool Configuration::saveSkinCurrent(const QString& path, int skin, QString* error) {
  CSimpleIniA ini;
  QByteArray old;
  if (!IniFile::loadForRewrite(ini, path, readFile, parsedPart, &old, error)) return false;
  Writer(ini).integer(SkinCurrent, skin);
  return IniFile::save(ini, old, path, error);
}

int Configuration::LoadLanguageConfig(const QString& path) {
  QByteArray bytes;
  if (readFile(path, &bytes, nullptr) != ReadResult::Read) return GlobalLang.intDefault;
  CSimpleIniA ini;
  prepare(ini);
  ini.LoadData(bytes.constData(), size_t(bytes.size()));
  return Reader(ini).integer(GlobalLang);
}

int Configuration::monitorOf(const QString& formName) const {
  for (const FormMonitor& m : monitors)
    if (m.formName.compare(formName, Qt::CaseInsensitive) == 0) return m.monitor;
  return kMonitorDefault;
}

void Configuration::setMonitor(const QString& formName, int monitor) {
  for (FormMonitor& m : monitors)
    if (m.formName.compare(formName, Qt::CaseInsensitive) == 0) {
      m.monitor = monitor;
      return;
    }
  monitors.push_back({formName, monitor});
}

void Configuration::setGridLines(bool verticalLines, bool horizontalLines) {
  gridOptions &= ~(kGridVerticalLines | kGridHorizontalLines);
  if (verticalLines) gridOptions |= kGridVerticalLines;
  if (horizontalLines) gridOptions |= kGridHorizontalLines;
}

ViewColumns& Configuration::view(int mode) { return mode == 4 ? dataDump : mode == 3 ? dataOnly : vertical; }

const ViewColumns& Configuration::view(int mode) const {
  return mode == 4 ? dataDump : mode == 3 ? dataOnly : vertical;
}

// An item is quoted when reading it bare would change it: blanks and commas split the
// list, a quote opens a quoted item, and the reader trims every Unicode blank (U+00A0,
// U+3000, ...) from the ends of the value. Control characters are written as blanks, so
// quoting them keeps at least the item whole.
QString encodeList(const QStringList& items) {
  QString out;
  for (qsizetype i = 0; i < items.size(); ++i) {
    if (i) out += QLatin1Char(',');
    const QString& item = items[i];
    bool quote = item.isEmpty() || item.front().isSpace() || item.back().isSpace();
    for (QChar c : item)
      if (c.unicode() <= ' ' || c.unicode() == 0x7f || c == QLatin1Char(',') || c == QLatin1Char('"')) quote = true;
    if (!quote) {
      out += item;
      continue;
    }
    QString escaped = item;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    out += QLatin1Char('"') + escaped + QLatin1Char('"');
  }
  return out;
}

// Commas and blanks separate items; a quoted item runs to its closing quote, with
// doubled quotes standing for one. Empty items count only when quoted, so a stray
// comma in a hand-edited list adds no empty value.
QStringList decodeList(const QString& text) {
  QStringList items;
  const qsizetype n = text.size();
  qsizetype i = 0;
  auto blank = [&](qsizetype k) { return text[k].unicode() <= ' '; };
  while (i < n) {
    while (i < n && (blank(i) || text[i] == QLatin1Char(','))) ++i;
    if (i >= n) break;
    QString item;
    if (text[i] == QLatin1Char('"')) {
      ++i;
      while (i < n) {
        if (text[i] == QLatin1Char('"')) {
          if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
            item += QLatin1Char('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
    } else {
      while (i < n && !blank(i) && text[i] != QLatin1Char(',')) item += text[i++];
    }
    items.push_back(item);
  }
  return items;
}
