#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QFile>
#include <random>

#include "capture/CaptureEngine.h"
#include "capture/Clock.h"
#include "capture/LiveViewBuffer.h"
#include "capture/ViewLock.h"
#include "recording/RecordFile.h"
#include "support/EventViewRig.h"
#include "ui/BoxAnswer.h"
#include "view/ui/CellPainter.h"
#include "view/ui/EventGrid.h"
#include "view/ui/EventView.h"

namespace {

EventRecord numbered(uint32_t n) {
  EventRecord r = zeroRecord();
  r.eventNumber = n;
  r.timeStamp = 46000.5 + n / 86400.0;
  return r;
}

// A record file of count records numbered by their place, the first being the file-start mark.
void writeFile(const QString& path, uint32_t count, const std::function<void(EventRecord&)>& shape = {}) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  for (uint32_t i = 0; i < count; ++i) {
    EventRecord r = numbered(i);
    if (i == 0) r.markType = Mark::SystemType;
    r.counters[CntD1] = i;
    if (shape) shape(r);
    f.write(reinterpret_cast<const char*>(&r), sizeof r);
  }
}

// A grid of 20 fully visible rows (with lines: 17 pixels each, the header included).
struct EventViewTest : ::testing::Test, EventViewRig {
  QTemporaryDir dir;
  bool recording = false;
  bool hold = false;

  EventViewTest() : EventViewRig(QSize(1000, 17 * 21 + 5)) {}
  void SetUp() override {
    view->setRecordingQuery([this] { return recording; });
    view->setHoldQuery([this] { return hold; });
    view->ApplyViewLayout();
  }
  void open(uint32_t count, const std::function<void(EventRecord&)>& shape = {}) {
    const QString path = dir.filePath("v.vrd");
    writeFile(path, count, shape);
    ASSERT_TRUE(openView(path));
  }
  void key(int k) { view->DrawGrid1KeyDown(k, Qt::NoModifier); }
  QImage paint() {
    QImage image(grid->size(), QImage::Format_RGB32);
    QPainter p(&image);
    grid->paintCells(p, image.rect());
    return image;
  }
};

TEST_F(EventViewTest, HomeOnAShortFileLeavesEventZeroAsPredecessor) {
  ASSERT_EQ(view->capacity(), 20);
  open(5);
  key(Qt::Key_Home);
  EXPECT_EQ(bar->maximum(), 5);
  EXPECT_EQ(buffer->at(0).eventNumber, 0u);
  for (uint32_t i = 1; i <= 4; ++i) EXPECT_EQ(buffer->at(int(i)).eventNumber, i);
  EXPECT_EQ(buffer->at(5).eventNumber, 0u);  // nothing more: the row stays empty
  // Event 1 sets the base relative times count from.
  EXPECT_DOUBLE_EQ(state.relativeBase, numbered(1).timeStamp);
}

TEST_F(EventViewTest, EndPageDownAndArrowsThroughALongFile) {
  open(1000);
  key(Qt::Key_End);
  EXPECT_EQ(bar->value(), 1000 - 20 - 1);
  EXPECT_EQ(buffer->at(20).eventNumber, 999u);  // the last record is the last row

  grid->selectCell(0, 5);
  key(Qt::Key_Home);
  EXPECT_EQ(bar->value(), 0);
  key(Qt::Key_PageDown);  // mid-page: only the selection moves
  EXPECT_EQ(bar->value(), 0);
  EXPECT_EQ(grid->selectedRow(), 20);
  key(Qt::Key_PageDown);
  EXPECT_EQ(bar->value(), 20);
  EXPECT_EQ(buffer->at(1).eventNumber, 21u);
  key(Qt::Key_Down);
  EXPECT_EQ(bar->value(), 21);
  view->DrawGrid1MouseWheelUp();  // Up from the last row only moves the selection
  EXPECT_EQ(bar->value(), 21);
  EXPECT_EQ(grid->selectedRow(), 19);

  // A file shorter than a page less one: End changes nothing.
  file.CloseRecordFile(RecordFile::Handle::View);
  open(10);
  bar->setValue(3);
  key(Qt::Key_End);
  EXPECT_EQ(bar->value(), 3);
}

TEST_F(EventViewTest, StatisticsOfTheClickedEventAgainstTheFileTotals) {
  open(30, [](EventRecord& r) {
    r.d2Flag = r.eventNumber % 2;
    r.signalBytes[SigM5Dcd] = 1;
    r.lineQuality = 95;
  });
  QSignalSpy spy(view.get(), &EventView::statisticsShown);
  view->DrawGrid1Click(3, 7);
  ASSERT_EQ(spy.size(), 1);
  const auto s = spy.takeFirst().at(0).value<CellStatistics>();
  EXPECT_TRUE(s.text.startsWith(QStringLiteral("Tx:  7 / 29 ")));
  EXPECT_TRUE(s.lights[1]);  // D2 of event 7
  EXPECT_TRUE(s.lights[6]);  // M5
  EXPECT_FALSE(s.lights[0]);
  EXPECT_EQ(s.quality, 95);

  // The data-only view: a D2 row names the event of the D1 row above it.
  view->chooseView(ViewMode::DataOnly);
  spy.clear();
  view->DrawGrid1Click(5, 1);
  view->DrawGrid1Click(5, 2);
  ASSERT_EQ(spy.size(), 2);
  EXPECT_EQ(spy[0].at(0).value<CellStatistics>().text, spy[1].at(0).value<CellStatistics>().text);
  EXPECT_TRUE(spy[0].at(0).value<CellStatistics>().text.startsWith(QStringLiteral("Tx:  4 / 29 ")));

  // An empty slot: zeros before the slashes, the totals after them, no lights.
  view->chooseView(ViewMode::Vertical);
  spy.clear();
  key(Qt::Key_End);
  view->DrawGrid1Click(0, 1);
  file.CloseRecordFile(RecordFile::Handle::View);
  buffer->clear();
  view->DrawGrid1Click(0, 20);
  const auto empty = spy.last().at(0).value<CellStatistics>();
  EXPECT_TRUE(empty.text.startsWith(QStringLiteral("Tx:  0 / 29 ")));
  for (bool lit : empty.lights) EXPECT_FALSE(lit);
}

TEST_F(EventViewTest, ViewChoicesPressTheirButtonsAndBoundTheBuffer) {
  for (const char* name : {"actDetailedData", "actDataDump", "actHex", "actOct", "actUSASCII", "actControlChars"}) {
    auto* a = new QAction(&window);
    a->setObjectName(QString::fromLatin1(name));
    a->setCheckable(true);
  }
  const auto checked = [this](const char* name) {
    return window.findChild<QAction*>(QString::fromLatin1(name))->isChecked();
  };
  view->chooseView(ViewMode::DataDump);
  view->chooseCode(CharacterCode::Octal);
  EXPECT_TRUE(checked("actDataDump"));
  EXPECT_TRUE(checked("actOct"));
  EXPECT_TRUE(checked("actUSASCII"));  // the dump keeps a character code beside the number
  view->chooseView(ViewMode::Vertical);
  EXPECT_TRUE(checked("actDetailedData"));
  EXPECT_FALSE(checked("actOct"));
  EXPECT_EQ(state.codes.characterCode(), CharacterCode::UsAscii);

  // A very tall data-only grid asks for more than the buffer holds: it is cut at 9 999.
  grid->resize(3000, 17 * 2000);
  view->chooseView(ViewMode::DataOnly);
  EXPECT_LE(view->layout().eventsPerLine, 324);
  EXPECT_EQ(view->capacity(), LiveViewBuffer::kMaxCapacity);
  open(50);
  // The rows past the buffer draw nothing and read nothing.
  QImage tail(3000, 200, QImage::Format_RGB32);
  QPainter p(&tail);
  p.translate(0, -17 * 1990);
  grid->paintCells(p, QRect(0, 17 * 1990, 3000, 200));
}

TEST_F(EventViewTest, PaintedCellsShowTracesMarksAndControlPictures) {
  open(6, [](EventRecord& r) {
    r.signalBytes[SigS1Dtr] = r.eventNumber >= 2 ? 1 : 0;  // rises at event 2
    if (r.eventNumber == 3) {
      r.markCode = Mark::UserStart;
      r.markType = Mark::SystemType;
    }
    if (r.eventNumber == 4) {
      r.d1Flag = 1;
      r.d1Byte = 0x0D;
    }
  });
  const QImage image = paint();
  const auto colourAt = [&image](QPoint p) { return QColor(image.pixel(p)); };
  const QColor info = GridColours::fromPalette(grid->palette()).info;

  // S1 (column 5) in the middle of event 3: the high level 18 pixels right of the left
  // edge in gray, silver to the left of it; event 1 is low, its area unfilled.
  const QRect s1 = grid->cellRect(5, 3);
  EXPECT_EQ(colourAt({s1.left() + 18, s1.center().y()}), QColor(128, 128, 128));
  EXPECT_EQ(colourAt({s1.left() + 8, s1.center().y()}), QColor(192, 192, 192));
  const QRect low = grid->cellRect(5, 1);
  EXPECT_EQ(colourAt({low.left() + 8, low.center().y()}), info);

  // The mark column of event 3 holds teal letters.
  const QRect mark = grid->cellRect(0, 3);
  int teal = 0;
  for (int x = mark.left(); x <= mark.right(); ++x)
    for (int y = mark.top(); y <= mark.bottom(); ++y) teal += colourAt({x, y}) == QColor(0, 128, 128);
  EXPECT_GT(teal, 5);

  // 0x0D with the CTRL pictures: ink in the upper ("CTL") and lower ("+M") part of the cell.
  view->clickControlRange(ControlMode::ControlChars);
  const QImage ctl = paint();
  const QRect cell = grid->cellRect(3, 4);
  const auto inkIn = [&](const QImage& img, int top, int bottom) {
    int n = 0;
    for (int x = cell.left(); x <= cell.right(); ++x)
      for (int y = cell.top() + top; y <= cell.top() + bottom; ++y) n += QColor(img.pixel(x, y)) != info;
    return n;
  };
  EXPECT_GT(inkIn(ctl, 0, 5), 3);
  EXPECT_GT(inkIn(ctl, 7, 15), 3);
  EXPECT_NE(ctl.copy(cell), image.copy(cell));
}

TEST_F(EventViewTest, AShortLastLineShowsWhatItHolds) {
  open(5, [](EventRecord& r) {
    r.d1Flag = r.eventNumber > 0;
    r.d1Byte = 'W';
  });
  view->chooseView(ViewMode::DataDump);
  const QImage image = paint();
  const QColor background = GridColours::fromPalette(grid->palette()).window;  // the D1 row
  const auto inked = [&](int column) {
    const QRect r = grid->cellRect(column, 1);
    for (int x = r.left(); x <= r.right(); ++x)
      for (int y = r.top(); y <= r.bottom(); ++y)
        if (QColor(image.pixel(x, y)) != background) return true;
    return false;
  };
  // Events 1 to 4 in the first line, in the character and the number columns; nothing after them.
  for (int c = 2; c <= 5; ++c) {
    EXPECT_TRUE(inked(c)) << c;
    EXPECT_TRUE(inked(c + 17)) << c + 17;
  }
  EXPECT_FALSE(inked(6));
  EXPECT_FALSE(inked(23));
}

TEST_F(EventViewTest, ForeignRecordsAreDrawnByPositionWithoutHarm) {
  std::mt19937 random(7);
  open(400, [&random](EventRecord& r) {
    auto* bytes = reinterpret_cast<uint8_t*>(&r);
    for (std::size_t i = 0; i < sizeof r; ++i) bytes[i] = uint8_t(random());
  });
  for (ViewMode v : {ViewMode::Vertical, ViewMode::DataOnly, ViewMode::DataDump})
    for (CharacterCode c : {CharacterCode::UsAscii, CharacterCode::Ebcdic, CharacterCode::Binary})
      for (auto t : {CellText::TimeMode::Absolute, CellText::TimeMode::Relative, CellText::TimeMode::Delta}) {
        view->chooseView(v);
        view->chooseCode(c);
        view->chooseTime(t);
        view->clickControlRange(ControlMode::CommandChars);
        paint();
        key(Qt::Key_PageDown);
        key(Qt::Key_End);
        view->DrawGrid1Click(18, 3);
      }
  SUCCEED();
}

TEST_F(EventViewTest, TheRedrawThreadFollowsRecordingAndHoldShowsTheBar) {
  recording = true;
  buffer->clear();
  QSignalSpy gauges(view.get(), &EventView::gaugeShown);
  QSignalSpy bar(view.get(), &EventView::holdBarShown);
  view->startRedrawThread();
  ASSERT_TRUE(view->redrawThreadRunning());
  const auto appendSome = [this](int n) {
    for (int i = 0; i < n; ++i) buffer->append(numbered(uint32_t(buffer->liveCount() + 1)));
  };
  appendSome(3);
  for (int i = 0; i < 100 && view->redrawSteps() == 0; ++i) runFor(10);
  EXPECT_GE(view->redrawSteps(), 1);
  ASSERT_GE(gauges.size(), 1);
  EXPECT_EQ(gauges[0].at(0).toInt(), 0);  // the gauges take turns, current load first

  hold = true;
  QStringList shown;
  for (int step = 0; step < 32; ++step) {
    const int before = view->redrawSteps();
    appendSome(1);
    for (int i = 0; i < 100 && view->redrawSteps() == before; ++i) runFor(5);
    shown << bar.last().at(0).toString();
  }
  EXPECT_EQ(shown[0], QStringLiteral(" |"));
  EXPECT_EQ(shown[29], QStringLiteral(" ") + QString(30, QLatin1Char('|')));
  EXPECT_EQ(shown[30], QStringLiteral(" |"));  // starts again with one

  view->stopRedrawThread();
  EXPECT_FALSE(view->redrawThreadRunning());
  appendSome(5);
  const int after = view->redrawSteps();
  runFor(60);
  EXPECT_EQ(view->redrawSteps(), after);  // nothing runs on after the stop
}

}  // namespace
