#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "capture/ui/TapDialog.h"
#include "settings/Texts.h"

namespace {

// Record starts only with a device and a link; the choice comes back as entered,
// and Cancel starts nothing.
TEST(TapDialog, RecordNeedsDeviceAndLinkAndHandsBackTheChoice) {
  TFormTap d;
  TFormTap::Choice previous;
  previous.baud = QStringLiteral("19200");
  previous.parity = QStringLiteral("E");
  bool okWhileEmpty = true;
  QTimer::singleShot(20, &d, [&] {
    EXPECT_EQ(d.windowTitle(), Texts::text(9381));
    okWhileEmpty = d.okButton()->isEnabled();
    d.linkEdit()->setText(QStringLiteral("/tmp/ttyV9"));
    EXPECT_TRUE(d.okButton()->isEnabled());  // the first offered device is preset
    d.okButton()->click();
  });
  TFormTap::Choice c = d.ask({QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyS4")}, {"9600", "19200"}, previous);
  EXPECT_FALSE(okWhileEmpty);
  EXPECT_TRUE(c.ok);
  EXPECT_EQ(c.device, QStringLiteral("/dev/ttyUSB0"));
  EXPECT_EQ(c.link, QStringLiteral("/tmp/ttyV9"));
  EXPECT_EQ(c.baud, QStringLiteral("19200"));
  EXPECT_EQ(c.parity, QStringLiteral("E"));
  EXPECT_EQ(c.dataBits, QStringLiteral("8"));

  QTimer::singleShot(20, &d, [&] { d.reject(); });
  EXPECT_FALSE(d.ask({}, {}, c).ok);
}

}  // namespace
