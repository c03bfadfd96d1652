#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <string>

#include "app/MainForm.h"
#include "app/MessageForm.h"
#include "app/RecordFileCommands.h"
#include "capture/ui/TapDialog.h"
#include "recording/CaptureSession.h"
#include "recording/Recorder.h"
#include "ui/BoxAnswer.h"

namespace {

template <class Pred>
bool waitUntil(Pred done, int ms = 5000) {
  for (int waited = 0; waited < ms && !done(); waited += 5) runFor(5);
  return done();
}

std::string drain(int fd) {
  std::string out;
  char buf[256];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, std::size_t(n));
  return out;
}

// Ports > Virtual tap in the window: the dialog's answer starts a recording through
// the tap, the program on the link and the device hear each other, and both lines
// are in the record file; stopping removes the link.
TEST(TapWindow, VirtualTapRecordsAProgramAndItsDevice) {
  QTemporaryDir dir;
  const QString user = dir.path() + "/";
  QDir().mkpath(user + "recordings");
  TMessageForm box;
  GuiMessages messages{box};
  QStringList said;
  BoxRecorder answer{box, said};
  MainFormOptions o;
  o.arguments = {"tap.vrd"};
  o.userPath = user;
  o.simulate = true;
  auto main = std::make_unique<TFormMain>(o, messages);
  main->show();
  ASSERT_TRUE(waitUntil([&] { return main->startupDone(); }));
  main->recordFileCommands().setModeChooser([](int) { return int(Recorder::Replace); });

  const int device = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  char name[128];
  ASSERT_TRUE(device >= 0 && ::grantpt(device) == 0 && ::unlockpt(device) == 0 && ::ptsname_r(device, name, sizeof name) == 0);
  termios t;
  ::tcgetattr(device, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(device, TCSANOW, &t);
  const QString link = dir.filePath("ttyV0");

  QTimer::singleShot(50, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* d = qobject_cast<TFormTap*>(w);
      if (!d || !d->isVisible()) continue;
      d->deviceBox()->setEditText(QString::fromLocal8Bit(name));
      d->linkEdit()->setText(link);
      d->okButton()->click();
    }
  });
  QAction* tap = main->action("actVirtualTap");
  ASSERT_TRUE(tap && tap->isEnabled());
  tap->trigger();
  ASSERT_TRUE(waitUntil([&] { return main->session().recorder.running(); })) << said.join("|").toStdString();
  EXPECT_FALSE(tap->isEnabled());  // no new tap under a running recording

  const int app = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(app, 0);
  ::tcgetattr(app, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(app, TCSANOW, &t);
  ASSERT_EQ(::write(app, "ATZ\r", 4), 4);
  std::string atDevice;
  EXPECT_TRUE(waitUntil([&] { return (atDevice += drain(device)).size() >= 4; }));
  EXPECT_EQ(atDevice, "ATZ\r");
  ASSERT_EQ(::write(device, "OK\r\n", 4), 4);
  std::string atApp;
  EXPECT_TRUE(waitUntil([&] { return (atApp += drain(app)).size() >= 4; }));
  EXPECT_EQ(atApp, "OK\r\n");
  runFor(50);
  ::close(app);

  main->btnStopClick();
  ASSERT_TRUE(waitUntil([&] { return !main->session().recorder.running(); }));
  struct stat st {};
  EXPECT_NE(::lstat(QFile::encodeName(link).constData(), &st), 0) << "the link outlived the recording";
  QFile f(user + "recordings/tap.vrd");
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray data = f.readAll();
  std::string d1, d2;
  for (qsizetype i = 0; i + 80 <= data.size(); i += 80) {
    if (data[i + 18]) d1 += data[i + 16];
    if (data[i + 19]) d2 += data[i + 17];
  }
  EXPECT_EQ(d1, "ATZ\r");
  EXPECT_EQ(d2, "OK\r\n");
  ::close(device);
  main->closeWithoutQuestions();
}

}  // namespace
