#pragma once
#include <QDialog>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Virtual tap": the serial device, the link path the application opens instead, and
// the device's line settings until the application sets its own.
class TFormTap : public QDialog {
  Q_OBJECT
 public:
  struct Choice {
    bool ok = false;
    QString device;
    QString link;
    QString baud = QStringLiteral("9600"), dataBits = QStringLiteral("8"), parity = QStringLiteral("N"),
            stopBits = QStringLiteral("1");
  };

  explicit TFormTap(QWidget* parent = nullptr);
  // Offers devices (paths) and the lists of the port panel, preset from previous.
  void preset(const QStringList& devices, const QStringList& bauds, const Choice& previous);
  Choice choice() const;
  // Shows the dialog and waits; Cancel, Escape or an empty field give ok false.
  Choice ask(const QStringList& devices, const QStringList& bauds, const Choice& previous);

  QComboBox* deviceBox() const { return device_; }
  QLineEdit* linkEdit() const { return link_; }
  QPushButton* okButton() const { return ok_; }

 private:
  void InitialLoads();
  void updateOk();

  QComboBox* device_;
  QLineEdit* link_;
  QComboBox* baud_;
  QComboBox* dataBits_;
  QComboBox* parity_;
  QComboBox* stopBits_;
  QLabel* labels_[6];
  QLabel* note_;
  QPushButton* ok_;
  QPushButton* cancel_;
};
