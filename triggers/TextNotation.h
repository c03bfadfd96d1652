#pragma once
#include <QByteArray>
#include <QString>

// The notations of a data sequence shared by the trigger editor and the goto dialog:
// text (the display code page, control bytes in caret form, "\^" and "\\" escaped),
// hexadecimal (two upper-case digits per byte) and binary (eight digits per byte).
namespace TextNotation {

QString StrToHexWithControl(const QString& text);
QString HexToBin(const QString& hex);
QString BinToStrWithControl(const QString& bin);
QByteArray HexToStr(const QString& hex);
QString GroupDigits(const QString& digits, int n);
QString RemoveBlanks(const QString& text);
// The caret form of 0x00 in a text, "00" at byte positions of hex digits, "00000000" at
// byte positions of binary digits.
enum class Kind { Text, Hex, Bin };
QString RemoveZeroNotation(const QString& text, Kind kind);
QString ValidateHexString(const QString& text);
QString ValidateBinString(const QString& text);

// Bytes to hex digits without blanks and back (odd last digit ignored).
QString bytesToHex(const QByteArray& bytes);
// A stored pattern: only hex digits, an even number of them, at most 255 bytes; lower case accepted.
bool isValidPattern(const QString& hex, QString* normalised = nullptr);

}  // namespace TextNotation
