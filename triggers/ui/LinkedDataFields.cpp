#include "triggers/ui/LinkedDataFields.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "settings/Texts.h"
#include "triggers/TextNotation.h"

using namespace TextNotation;

namespace {

// A caret or backslash at the end of a text still waits for its second character: it
// stays in the field, so "^A" and "\^" can be typed one key at a time.
QString pendingTail(const QString& text) {
  bool escape = false, caret = false;
  for (const QChar c : text) {
    if (escape)
      escape = false;
    else if (caret)
      caret = false;
    else if (c == QLatin1Char('\\'))
      escape = true;
    else if (c == QLatin1Char('^'))
      caret = true;
  }
  return escape ? QStringLiteral("\\") : caret ? QStringLiteral("^") : QString();
}

QString textToHex(const QString& text) { return RemoveZeroNotation(StrToHexWithControl(text), Kind::Hex); }
QString hexToText(const QString& hex) { return BinToStrWithControl(HexToBin(hex)); }

QString binToHex(const QString& bin) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  QString out;
  for (qsizetype i = 0; i + 8 <= bin.size(); i += 8) {
    int v = 0;
    for (int k = 0; k < 8; ++k) v = v * 2 + (bin[i + k] == QLatin1Char('1') ? 1 : 0);
    out += QLatin1Char(kDigits[v >> 4]);
    out += QLatin1Char(kDigits[v & 15]);
  }
  return out;
}

// The place in a grouped text just after the n-th digit.
int groupedPosition(int n, int group) { return n + (n > 0 ? (n - 1) / group : 0); }

// Digits of a hex or binary field: validated, zero bytes removed; only the digits before
// the caret count for where the caret goes.
struct Digits {
  QString all;
  int beforeCaret;
};
Digits digitsOf(const QLineEdit* field, Kind kind) {
  const QString raw = field->text().toUpper();
  auto clean = [kind](const QString& s) {
    const QString v = kind == Kind::Hex ? ValidateHexString(s) : ValidateBinString(s);
    return RemoveZeroNotation(v, kind);
  };
  Digits d{clean(raw), 0};
  d.beforeCaret = field->cursorPosition() >= raw.size()
                      ? int(d.all.size())
                      : qMin(int(clean(raw.left(field->cursorPosition())).size()), int(d.all.size()));
  return d;
}

}  // namespace

LinkedDataFields::LinkedDataFields(QWidget* parent, int asciiText, int hexText, int binText)
    : QWidget(parent), texts_{asciiText, hexText, binText} {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  QLineEdit** fields[3] = {&asc_, &hex_, &bin_};
  const char* names[3] = {"edDataAsc", "edDataHex", "edDataBin"};
  for (int i = 0; i < 3; ++i) {
    labels_[i] = new QLabel(this);
    *fields[i] = new QLineEdit(this);
    (*fields[i])->setObjectName(QString::fromLatin1(names[i]));
    (*fields[i])->setFont(fixed);
    labels_[i]->setBuddy(*fields[i]);
    grid->addWidget(labels_[i], i, 0);
    grid->addWidget(*fields[i], i, 1);
  }
  grid->setColumnStretch(1, 1);
  connect(asc_, &QLineEdit::textEdited, this, &LinkedDataFields::asciiEdited);
  connect(hex_, &QLineEdit::textEdited, this, &LinkedDataFields::hexEdited);
  connect(bin_, &QLineEdit::textEdited, this, &LinkedDataFields::binEdited);
  InitialLoads();
}

void LinkedDataFields::InitialLoads() {
  for (int i = 0; i < 3; ++i) labels_[i]->setText(Texts::text(texts_[i]));
}

void LinkedDataFields::setHex(const QString& digits) {
  const QString hex = ValidateHexString(RemoveBlanks(digits).toUpper());
  hex_->setText(GroupDigits(hex, 2));
  showBytes(hex, hex_);
}

QString LinkedDataFields::hex() const { return RemoveBlanks(hex_->text()); }

// The two fields other than the edited one, from whole bytes.
void LinkedDataFields::showBytes(const QString& hexDigits, QLineEdit* except) {
  const QString whole = hexDigits.left(hexDigits.size() & ~qsizetype(1));
  if (except != asc_) asc_->setText(hexToText(whole));
  if (except != hex_) hex_->setText(GroupDigits(whole, 2));
  if (except != bin_) bin_->setText(GroupDigits(HexToBin(whole), 8));
}

void LinkedDataFields::asciiEdited() {
  const QString raw = asc_->text();
  const int caret = asc_->cursorPosition();
  const QString hex = textToHex(raw);
  asc_->setText(hexToText(hex) + pendingTail(raw));
  if (caret >= raw.size()) {
    asc_->setCursorPosition(int(asc_->text().size()));
  } else {
    const QString prefix = raw.left(caret);
    asc_->setCursorPosition(
        qMin(int(asc_->text().size()), int(hexToText(textToHex(prefix)).size() + pendingTail(prefix).size())));
  }
  showBytes(hex, asc_);
  emit changed();
}

void LinkedDataFields::hexEdited() {
  const Digits d = digitsOf(hex_, Kind::Hex);
  hex_->setText(GroupDigits(d.all, 2));
  hex_->setCursorPosition(groupedPosition(d.beforeCaret, 2));
  showBytes(d.all, hex_);
  emit changed();
}

void LinkedDataFields::binEdited() {
  const Digits d = digitsOf(bin_, Kind::Bin);
  bin_->setText(GroupDigits(d.all, 8));
  bin_->setCursorPosition(groupedPosition(d.beforeCaret, 8));
  showBytes(binToHex(d.all), bin_);
  emit changed();
}
