#include <gtest/gtest.h>

#include "capture/LiveViewBuffer.h"
#include "settings/Configuration.h"
#include "view/ViewNavigation.h"
#include "view/ViewState.h"

namespace {

using namespace ViewNavigation;

// A vertical page of 20 rows over a file of 1 000 records, scrolled to 100.
State page() {
  State s;
  s.scrollPosition = 100;
  s.maximum = 1000;
  s.smallStep = 1;
  s.largeStep = 20;
  s.row = 1;
  s.column = 0;
  s.lastEventRow = 20;
  s.lastColumn = 13;
  return s;
}

TEST(Navigation, PageKeysScrollOnlyFromTheEdgeRows) {
  State s = page();
  s.row = 7;
  Result r = keyDown(Key::PageDown, s);
  EXPECT_FALSE(r.scrolled);  // mid-page: only the selection moves, to the last row
  EXPECT_EQ(r.row, 20);
  s.row = 20;
  r = keyDown(Key::PageDown, s);
  EXPECT_EQ(r.scrollPosition, 120);
  s.row = 1;
  EXPECT_EQ(keyDown(Key::PageUp, s).scrollPosition, 80);
  s.scrollPosition = 5;
  EXPECT_EQ(keyDown(Key::PageUp, s).scrollPosition, 0);
  s.recording = true;
  EXPECT_FALSE(keyDown(Key::PageUp, s).scrolled);
}

TEST(Navigation, HomeAndEnd) {
  State s = page();
  EXPECT_EQ(keyDown(Key::Home, s).scrollPosition, 0);
  EXPECT_EQ(keyDown(Key::End, s).scrollPosition, 1000 - 20 - 1);
  // Shorter than a page less one: End stays; exactly a page less one: position 0.
  s.maximum = 18;
  EXPECT_EQ(keyDown(Key::End, s).scrollPosition, 100);
  s.maximum = 19;
  EXPECT_EQ(keyDown(Key::End, s).scrollPosition, 0);
  // The bottom button: End with the control key also selects the last row.
  s = page();
  s.row = 3;
  const Result bottom = keyDown(Key::End, s, true);
  EXPECT_EQ(bottom.row, 20);
  EXPECT_EQ(bottom.column, 13);
  s.recording = true;  // End works while recording, Home does not
  EXPECT_TRUE(keyDown(Key::End, s).scrolled);
  EXPECT_FALSE(keyDown(Key::Home, s).scrolled);
}

TEST(Navigation, ArrowsScrollAtTheEdgesAndWrapBetweenRows) {
  State s = page();
  Result r = keyDown(Key::Up, s);
  EXPECT_EQ(r.scrollPosition, 99);
  EXPECT_EQ(r.row, 1);
  s.row = 20;
  r = keyDown(Key::Down, s);
  EXPECT_EQ(r.scrollPosition, 101);
  EXPECT_EQ(r.row, 20);
  s.scrollPosition = 1000 - 20 - 1;  // the last page: Down does not scroll further
  EXPECT_FALSE(keyDown(Key::Down, s).scrolled);

  s = page();
  s.row = 5;
  r = keyDown(Key::Left, s);  // column 0: the previous row's last column
  EXPECT_EQ(r.row, 4);
  EXPECT_EQ(r.column, 13);
  s.row = 1;
  r = keyDown(Key::Left, s);  // the top row: a line back, then the last column
  EXPECT_EQ(r.scrollPosition, 99);
  EXPECT_EQ(r.column, 13);
  s.column = 13;
  s.row = 4;
  r = keyDown(Key::Right, s);
  EXPECT_EQ(r.row, 5);
  EXPECT_EQ(r.column, 0);
  s.row = 20;
  r = keyDown(Key::Right, s);
  EXPECT_EQ(r.scrollPosition, 101);
  EXPECT_EQ(r.column, 0);
  s.column = 4;
  r = keyDown(Key::Right, s);  // inside the row: the grid's own step
  EXPECT_EQ(r.column, 5);
  EXPECT_FALSE(r.scrolled);
}

TEST(Navigation, TheWheelAndAClosedFile) {
  State s = page();
  s.row = 20;
  EXPECT_EQ(wheel(true, s).scrollPosition, 101);
  s.recording = true;
  EXPECT_FALSE(wheel(true, s).scrolled);
  s = page();
  s.fileOpen = false;
  const Result r = keyDown(Key::Home, s);
  EXPECT_FALSE(r.scrolled);
  EXPECT_EQ(r.row, 1);
}

TEST(ViewState, ViewsKeepTheirOwnCodesAndWidths) {
  Configuration config;
  ViewState s = ViewState::fromConfiguration(config);
  s.codes.setViewMode(ViewMode::DataDump);
  s.codes.chooseCode(CharacterCode::Octal);
  s.codes.setViewMode(ViewMode::Vertical);
  EXPECT_EQ(s.codes.characterCode(), CharacterCode::UsAscii);
  s.codes.setViewMode(ViewMode::DataDump);
  EXPECT_EQ(s.codes.numericCode(), CharacterCode::Octal);

  s.codes.setViewMode(ViewMode::Vertical);
  s.setColumnWidth(2, 190);
  s.setColumnWidth(3, 99);   // follows the code: not the user's
  s.setColumnWidth(13, 99);  // takes the rest of the grid
  GridGeometry::GridLayout l = s.layout(1280);
  EXPECT_EQ(l.columnWidths[2], 190);
  EXPECT_NE(l.columnWidths[3], 99);
  s.storeInto(&config);
  EXPECT_EQ(config.vertical.widths[2], 190);
  EXPECT_EQ(ViewState::fromConfiguration(config).layout(1280).columnWidths[2], 190);
  s.resetWidths();
  EXPECT_EQ(s.layout(1280).columnWidths[2], 150);

  s.codes.setViewMode(ViewMode::DataOnly);
  l = s.layout(1000);
  EXPECT_EQ(l.eventsPerLine, 66);
  EXPECT_EQ(l.columnCount(), 68);
}

TEST(LiveViewBuffer, LoadedFromAFileAndAppendedWhileRecording) {
  auto buffer = std::make_unique<LiveViewBuffer>();
  buffer->setCapacity(4);
  std::vector<EventRecord> records(5, zeroRecord());
  for (uint32_t i = 0; i < 5; ++i) records[i].eventNumber = i;
  buffer->load(records.data(), 3);
  EXPECT_EQ(buffer->at(2).eventNumber, 2u);
  EXPECT_EQ(buffer->at(3).eventNumber, 0u);  // not read: empty
  EXPECT_EQ(buffer->liveCount(), 0);
  buffer->clear();
  for (uint32_t i = 1; i <= 7; ++i) {
    EventRecord r = zeroRecord();
    r.eventNumber = i;
    buffer->append(r);
  }
  // The newest capacity + 1 records, the oldest of them as the predecessor.
  EXPECT_EQ(buffer->at(0).eventNumber, 3u);
  EXPECT_EQ(buffer->at(4).eventNumber, 7u);
  EXPECT_EQ(buffer->liveCount(), 7);
}

}  // namespace
