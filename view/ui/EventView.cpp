#include "view/ui/EventView.h"

#include <QAction>
#include <QApplication>
#include <QScrollBar>
#include <algorithm>
#include <climits>
#include <vector>

#include "capture/CaptureEngine.h"
#include "capture/LiveViewBuffer.h"
#include "recording/RecordFile.h"
#include "view/ViewNavigation.h"
#include "view/ui/EventGrid.h"
#include "view/ui/RedrawThread.h"

namespace {

// The hold bar grows by one stroke per step, up to 30.
const QString kHoldBar = QStringLiteral(" |||||||||||||||||||||||||||||||||||");
constexpr int kHoldBarMax = 30;

ViewNavigation::Key keyOf(int key) {
  using K = ViewNavigation::Key;
  switch (key) {
    case Qt::Key_PageUp: return K::PageUp;
    case Qt::Key_PageDown: return K::PageDown;
    case Qt::Key_End: return K::End;
    case Qt::Key_Home: return K::Home;
    case Qt::Key_Left: return K::Left;
    case Qt::Key_Up: return K::Up;
    case Qt::Key_Right: return K::Right;
    case Qt::Key_Down: return K::Down;
    default: return K::Other;
  }
}

int gaugeValue(const EventRecord& r, int gauge) {
  const int v = gauge == 0 ? r.lineLoad : gauge == 1 ? r.peakLoad : r.lineQuality;
  return std::min(v, 100);
}

}  // namespace

CellStatistics cellStatistics(const EventRecord& e, const EventRecord& totals) {
  CellStatistics s;
  s.text = CellText::statisticsText(e, totals);
  s.lights[0] = CellText::flagSet(e.d1Flag);
  s.lights[1] = CellText::flagSet(e.d2Flag);
  for (int i = 0; i < SignalCount; ++i) s.lights[2 + i] = e.signalBytes[i] != 0;
  s.load = gaugeValue(e, 0);
  s.peak = gaugeValue(e, 1);
  s.quality = gaugeValue(e, 2);
  return s;
}

EventView::EventView(const Parts& parts, QObject* parent) : QObject(parent), p_(parts) {
  context_.state = &p_.state;
  context_.buffer = &p_.buffer;
  context_.font = gridFont();
  context_.locale = QLocale::system();
  refreshColours();
  p_.grid->setCellContext(&context_);
  p_.grid->setFont(context_.font);
  connect(p_.grid, &EventGrid::paletteChanged, this, &EventView::refreshColours);
  connect(p_.grid, &EventGrid::keyPressed, this, &EventView::DrawGrid1KeyDown);
  connect(p_.grid, &EventGrid::wheelTurned, this,
          [this](bool down) { down ? DrawGrid1MouseWheelDown() : DrawGrid1MouseWheelUp(); });
  connect(p_.grid, &EventGrid::cellClicked, this, &EventView::DrawGrid1Click);
  connect(p_.grid, &EventGrid::gridResized, this, [this] {
    ApplyViewLayout();
    if (!recording()) ScrollBar1Change();
  });
  connect(p_.grid, &EventGrid::columnResized, this, [this](int column, int width) {
    p_.state.setColumnWidth(column, width);
    ApplyViewLayout();
    if (!recording()) ScrollBar1Change();
  });
  connect(p_.scrollBar, &QScrollBar::valueChanged, this, [this] { ScrollBar1Change(); });
}

EventView::~EventView() { stopRedrawThread(); }

void EventView::refreshColours() {
  context_.colours = GridColours::fromPalette(p_.grid->palette());
  p_.grid->update();
}

void EventView::setMarkPalette(const CellText::MarkPalette& marks) {
  context_.marks = marks;
  refreshColours();
}

// --- layout -----------------------------------------------------------------------

void EventView::ApplyViewLayout() {
  const ViewMode view = p_.state.view();
  layout_ = p_.state.layout(p_.grid->clientWidth());
  p_.grid->setColumnWidths(layout_.columnWidths);
  p_.grid->setGridLines(p_.state.verticalLines, p_.state.horizontalLines);
  if (view == ViewMode::DataDump) p_.grid->setHorizontalBar(true);
  context_.eventsPerLine = layout_.eventsPerLine;
  const int rows = GridGeometry::visibleEventRows(view, p_.grid->fullyVisibleRows());
  capacity_ = GridGeometry::bufferCapacity(rows, layout_.rowsPerLine, layout_.eventsPerLine);
  context_.lastPosition = capacity_;
  if (p_.buffer.capacity() != capacity_) p_.buffer.setCapacity(capacity_);
  const GridGeometry::ScrollSteps steps = GridGeometry::scrollSteps(layout_.eventsPerLine, capacity_);
  p_.scrollBar->setSingleStep(steps.small);
  p_.scrollBar->setPageStep(steps.page);
  ControlCenterButtons();
}

void EventView::setAction(const char* name, bool checked, bool enabled) {
  if (auto* a = p_.actions->findChild<QAction*>(QString::fromLatin1(name))) {
    a->setChecked(checked);
    a->setEnabled(enabled);
  }
}

void EventView::ControlCenterButtons() {
  const ViewMode view = p_.state.view();
  setAction("actDetailedData", view != ViewMode::DataOnly && view != ViewMode::DataDump);
  setAction("actHorizontalDataTable", view == ViewMode::DataOnly);
  setAction("actDataDump", view == ViewMode::DataDump);
  const CodeButtonStates b = p_.state.codes.buttonStates();
  setAction("actUSASCII", b.characterDown == CharacterCode::UsAscii);
  setAction("actEBCDIC", b.characterDown == CharacterCode::Ebcdic);
  // In the dump view the numeric buttons show the numeric code, beside the character code.
  const auto numericDown = [&b](CharacterCode c) {
    return b.numericGroup ? b.numericDown == c : b.characterDown == c;
  };
  setAction("actHex", numericDown(CharacterCode::Hexadecimal));
  setAction("actDec", numericDown(CharacterCode::Decimal));
  setAction("actOct", numericDown(CharacterCode::Octal));
  setAction("actBin", numericDown(CharacterCode::Binary));
  setAction("actControlChars", b.controlCharsDown, b.controlCharsEnabled);
  setAction("actCommandChars", b.commandCharsDown, b.commandCharsEnabled);
  setAction("actCharsOff", false, b.controlCharsEnabled || b.commandCharsEnabled);
  const CellText::TimeMode t = p_.state.timeMode;
  setAction("actTimeAbsolute", t == CellText::TimeMode::Absolute);
  setAction("actTimeRelative", t == CellText::TimeMode::Relative);
  setAction("actTimeDelta", t == CellText::TimeMode::Delta);
  const bool v = p_.state.verticalLines, h = p_.state.horizontalLines;
  setAction("actGridAll", v && h);
  setAction("actGridHorizontal", h && !v);
  setAction("actGridVertical", v && !h);
  setAction("actGridNone", !v && !h);
}

void EventView::ClearGrid() { p_.grid->update(); }

void EventView::btnResetGridClick() {
  p_.state.resetWidths();
  ApplyViewLayout();
  if (!recording()) ScrollBar1Change();
  p_.grid->update();
}

// --- choices ----------------------------------------------------------------------

void EventView::afterChange() {
  p_.grid->update();
  ShowCellStatistics(p_.grid->selectedColumn(), p_.grid->selectedRow());
  emit viewChanged();
}

void EventView::chooseView(ViewMode view) {
  p_.state.codes.setViewMode(view);
  ApplyViewLayout();
  if (recording()) scrollToLast();
  else ScrollBar1Change();
  afterChange();
}

void EventView::chooseCode(CharacterCode code) {
  p_.state.codes.chooseCode(code);
  ApplyViewLayout();
  if (!recording()) ScrollBar1Change();
  afterChange();
}

void EventView::clickControlRange(ControlMode button) {
  p_.state.codes.clickControlRange(button);
  ControlCenterButtons();
  afterChange();
}

void EventView::chooseTime(CellText::TimeMode mode) {
  p_.state.timeMode = mode;
  ControlCenterButtons();
  afterChange();
}

void EventView::chooseGridLines(bool vertical, bool horizontal) {
  p_.state.verticalLines = vertical;
  p_.state.horizontalLines = horizontal;
  // Lines change the rows that fit, so the buffer follows.
  ApplyViewLayout();
  if (!recording()) ScrollBar1Change();
  afterChange();
}

void EventView::setPinNaming(int naming) {
  p_.state.pinNaming = naming == 1 ? 1 : 0;
  afterChange();
}

// --- the buffer and the file ------------------------------------------------------

int64_t EventView::scrollPosition() const { return p_.scrollBar->value(); }

int64_t EventView::selectedEvent() const {
  return scrollPosition() + CellText::statisticsPosition(p_.state.view(), p_.grid->selectedColumn(),
                                                         p_.grid->selectedRow(), layout_.eventsPerLine);
}

void EventView::showEventSelected(int64_t event) {
  if (event < 1) return;
  // In the views with several events a line, the first event cell of the first line.
  const int column = p_.state.view() == ViewMode::Vertical ? p_.grid->selectedColumn() : GridGeometry::kLeadingColumns;
  applyNavigation(event - 1, 1, column);
}

void EventView::ScrollBar1Change() {
  if (recording() || !p_.file.isOpen(RecordFile::Handle::View) || filling_) return;
  filling_ = true;
  const int64_t position = p_.scrollBar->value();
  // Only what the grid shows: the predecessor and one buffer of events.
  std::vector<EventRecord> records(static_cast<std::size_t>(capacity_) + 1);
  const int got = p_.file.readViewRecords(position, records.data(), capacity_ + 1);
  p_.buffer.load(records.data(), got);
  for (int i = 0; i < got; ++i)
    if (records[static_cast<std::size_t>(i)].eventNumber == 1) p_.state.relativeBase = records[std::size_t(i)].timeStamp;

  const int64_t count = p_.file.viewRecordCount();
  const int maximum = count > 0 ? int(std::min<int64_t>(count, INT_MAX)) : 1;
  if (count > 0 && p_.file.readViewRecords(count - 1, &fileTotals_, 1) != 1) fileTotals_ = zeroRecord();
  if (count <= 0) fileTotals_ = zeroRecord();
  if (maximum != p_.scrollBar->maximum()) {
    const QSignalBlocker block(p_.scrollBar);
    p_.scrollBar->setMaximum(maximum);
    emit recordCountChanged(count);
  }
  filling_ = false;
  p_.grid->update();
  ShowCellStatistics(p_.grid->selectedColumn(), p_.grid->selectedRow());
}

void EventView::scrollTo(int64_t position) {
  position = std::clamp<int64_t>(position, 0, p_.scrollBar->maximum());
  if (position == p_.scrollBar->value()) return;
  p_.scrollBar->setValue(int(position));  // refills through valueChanged
}

void EventView::applyNavigation(int64_t scrollPosition, int row, int column) {
  p_.grid->selectCell(column, row);
  if (scrollPosition != p_.scrollBar->value()) scrollTo(scrollPosition);
  p_.grid->update();
  ShowCellStatistics(p_.grid->selectedColumn(), p_.grid->selectedRow());
}

namespace {
ViewNavigation::State navigationState(const EventView& view, const EventGrid& grid, const RecordFile& file,
                                      const QScrollBar& bar, ViewMode mode, bool recording) {
  ViewNavigation::State s;
  s.fileOpen = file.isOpen(RecordFile::Handle::View);
  s.recording = recording;
  s.view = mode;
  s.scrollPosition = bar.value();
  s.maximum = bar.maximum();
  s.smallStep = view.layout().eventsPerLine;
  s.largeStep = view.capacity();
  s.row = grid.selectedRow();
  s.column = grid.selectedColumn();
  s.lastEventRow = std::max(1, GridGeometry::visibleEventRows(mode, grid.fullyVisibleRows()));
  s.lastColumn = std::max(0, grid.columnCount() - 1);
  return s;
}
}  // namespace

void EventView::DrawGrid1KeyDown(int key, Qt::KeyboardModifiers modifiers) {
  const ViewNavigation::State s =
      navigationState(*this, *p_.grid, p_.file, *p_.scrollBar, p_.state.view(), recording());
  if (!s.fileOpen) return;
  const auto r = ViewNavigation::keyDown(keyOf(key), s, modifiers & Qt::ControlModifier);
  applyNavigation(r.scrollPosition, r.row, r.column);
}

void EventView::DrawGrid1MouseWheelDown() {
  const auto r = ViewNavigation::wheel(
      true, navigationState(*this, *p_.grid, p_.file, *p_.scrollBar, p_.state.view(), recording()));
  applyNavigation(r.scrollPosition, r.row, r.column);
}

void EventView::DrawGrid1MouseWheelUp() {
  const auto r = ViewNavigation::wheel(
      false, navigationState(*this, *p_.grid, p_.file, *p_.scrollBar, p_.state.view(), recording()));
  applyNavigation(r.scrollPosition, r.row, r.column);
}

void EventView::DrawGrid1Click(int column, int row) { ShowCellStatistics(column, row); }

void EventView::btnGotoTopClick() { DrawGrid1KeyDown(Qt::Key_Home, Qt::ControlModifier); }
void EventView::btnGotoBottomClick() { DrawGrid1KeyDown(Qt::Key_End, Qt::ControlModifier); }

void EventView::scrollToLast() {
  if (recording()) {
    p_.grid->update();
    return;
  }
  scrollTo(ViewNavigation::lastPagePosition(p_.scrollBar->value(), p_.scrollBar->maximum(), capacity_));
}

// --- statistics ---------------------------------------------------------------------

EventRecord EventView::recordAt(int position) const {
  // Slots beyond the grid's page are never shown, so they count as empty.
  if (position < 0 || position > capacity_) return zeroRecord();
  return p_.buffer.at(position);
}

EventRecord EventView::totals() const { return recording() ? p_.engine.lastBuilt() : fileTotals_; }

void EventView::ShowCellStatistics(int column, int row) {
  const int position = CellText::statisticsPosition(p_.state.view(), column, row, layout_.eventsPerLine);
  emit statisticsShown(cellStatistics(recordAt(position), totals()));
}

// --- recording ----------------------------------------------------------------------

int EventView::newestPosition() const { return std::min(p_.buffer.liveCount() - 1, capacity_); }

void EventView::startRedrawThread() {
  stopRedrawThread();
  p_.state.relativeBase = p_.engine.loadStartTime();
  gaugeStep_ = 0;
  activity_ = 0;
  thread_ = std::make_unique<TRedrawThread>(p_.buffer, p_.lock, this);
  thread_->start();
}

void EventView::stopRedrawThread() {
  p_.grid->setFrozen(false);
  if (!thread_) return;
  thread_->terminateAndWait();
  thread_.reset();
}

bool EventView::redrawThreadRunning() const { return thread_ && thread_->isRunning(); }

void EventView::redrawStep() {
  ++redrawSteps_;
  const EventRecord& last = p_.engine.lastBuilt();
  emit gaugeShown(gaugeStep_, gaugeValue(last, gaugeStep_));
  gaugeStep_ = (gaugeStep_ + 1) % 3;
  if (hold_ && hold_()) {
    // The picture and the statistics stay as they were; the bar shows that events arrive.
    p_.grid->setFrozen(true);
    activity_ = activity_ >= kHoldBarMax ? 1 : activity_ + 1;
    emit holdBarShown(kHoldBar.left(activity_ + 1));
  } else {
    p_.grid->setFrozen(false);
    p_.grid->update();
    // After a pass the panel shows the newest event, as the last cell drawn did.
    emit statisticsShown(cellStatistics(recordAt(newestPosition()), totals()));
  }
  if (thread_) thread_->stepDone();
}
