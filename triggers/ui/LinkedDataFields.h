#pragma once
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;

// The three linked fields of a data sequence: text notation (ASCII), hexadecimal and
// binary, one line each in a fixed-pitch font. An edit in one field (a user's edit: a
// text set by the program is not one) recomputes the other two with the conversions of
// TextNotation, normalises the edited field (zero bytes removed, digits validated, upper
// case, regrouped in twos or eights) and puts the caret back after the same byte or digit.
// Shared by the trigger editor and the goto dialog.
class LinkedDataFields : public QWidget {
  Q_OBJECT
 public:
  // Label texts by number: the editor's ASCII/HEX/BIN (9009, 9010, 9008) unless told.
  explicit LinkedDataFields(QWidget* parent = nullptr, int asciiText = 9009, int hexText = 9010, int binText = 9008);

  void setHex(const QString& digits);
  // Hexadecimal digits without blanks (an odd last digit stays: it is no whole byte).
  QString hex() const;
  int byteCount() const { return int(hex().size() / 2); }

  QLineEdit* asciiField() const { return asc_; }
  QLineEdit* hexField() const { return hex_; }
  QLineEdit* binField() const { return bin_; }
  void InitialLoads();

 signals:
  void changed();

 private:
  void asciiEdited();
  void hexEdited();
  void binEdited();
  void showBytes(const QString& hexDigits, QLineEdit* except);

  QLabel* labels_[3];
  int texts_[3];
  QLineEdit* asc_;
  QLineEdit* hex_;
  QLineEdit* bin_;
};
