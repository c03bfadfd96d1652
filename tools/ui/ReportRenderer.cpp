#include "tools/ui/ReportRenderer.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "capture/LiveViewBuffer.h"
#include "settings/Environment.h"
#include "settings/Texts.h"
#include "tools/RecordReader.h"
#include "tools/WorkControl.h"
#include "view/ui/CellPainter.h"

namespace TextNo {
constexpr int OpenFailed = 4001, ReadFailed = 4003;
constexpr int JobLine = 4321, Title = 4322, GeneralHead = 4323, CustomerHead = 4324, Author = 4325, Company = 4326;
constexpr int Contact = 4327, Address1 = 4328, Description = 4338, DetailsHead = 4340, SummaryHead = 4350;
constexpr int StartTime = 4351, LoadNow = 4352, StopTime = 4353, LoadPeak = 4354, Period = 4355, Quality = 4356;
constexpr int Events = 4358, Parity = 4359, D1Bytes = 4360, Framing = 4361, D2Bytes = 4362, LineErrors = 4363;
constexpr int Page = 4370;
constexpr int Reversed = 9931, PastEnd = 9932, NoEvents = 9933, CannotPrint = 9934;
}  // namespace TextNo

namespace {

// Page geometry in the grid's pixels (96 per inch): half-inch margins, the bands inside them.
constexpr int kMargin = 48;
constexpr int kBandGap = 8;
// The grid's row: 16 pixels and its one-pixel line.
constexpr int kRowHeight = 16;
constexpr int kRowStep = kRowHeight + 1;
// Records read at once for the details: whole lines of events, well inside the buffer.
constexpr int kReadChunk = 8192;
constexpr int kVerticalGridWidth = 900;

QFont textFont(int pointSize, bool bold = false) {
  QFont f;
  f.setFamilies({QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
  f.setPointSize(pointSize);
  f.setBold(bold);
  return f;
}

// Paper, not the window's style: black on white, the header row in light grey.
GridColours paperColours() {
  GridColours c;
  c.windowText = c.infoText = c.headerText = c.highlightText = Qt::black;
  c.window = c.info = c.highlight = Qt::white;
  c.header = QColor(224, 224, 224);
  c.lines = QColor(160, 160, 160);
  return c;
}

}  // namespace

QString ReportResult::message() const {
  if (messageNumber == 0) return {};
  QString text = Texts::text(messageNumber);
  for (const QString& a : arguments) text = text.arg(a);
  // The print operation's messages name the file after two line breaks, as the error report does.
  if (messageNumber == TextNo::OpenFailed || messageNumber == TextNo::ReadFailed)
    text = Texts::text(messageNumber) + QStringLiteral("\n\n") + arguments.value(0);
  return text;
}

// One run over the report: with a painter it paints, without one it only lays out and
// counts the pages. Both take the same steps, so the count is the count printed.
class ReportRenderer::Pass {
 public:
  Pass(ReportRenderer& r, QPaintDevice& device, QPagedPaintDevice* paged, QPainter* painter, WorkControl* control)
      : r_(r), o_(r.options_), device_(device), paged_(paged), p_(painter), control_(control) {
    width_ = device.width();
    height_ = device.height();
    bandFont_ = textFont(8);
    textFont_ = textFont(10);
    boldFont_ = textFont(10, true);
    headFont_ = textFont(14, true);
    titleFont_ = textFont(18, true);
    bandLine_ = lineHeight(bandFont_);
    textLine_ = lineHeight(textFont_);
    bodyTop_ = kMargin + bandLine_ + kBandGap;
    bodyBottom_ = height_ - kMargin - bandLine_ - kBandGap;
    left_ = kMargin;
    right_ = width_ - kMargin;
  }

  void run() {
    startPage();
    if (o_.header) headerSection();
    if (o_.details && !failed_ && !stopped()) {
      if (o_.newPage) newPageIfUsed();
      detailsSection();
    }
    if (o_.summary && !failed_ && !stopped()) {
      if (o_.newPage) newPageIfUsed();
      summarySection();
    }
    finishPage();
  }

  int pages() const { return page_; }
  bool failed() const { return failed_; }
  bool stopped() const { return control_ && control_->stopRequested(); }
  ReportSummary::Summary summary;

 private:
  double lineHeight(const QFont& font) const { return QFontMetricsF(font, &device_).lineSpacing(); }

  // Page handling -----------------------------------------------------------------------
  void startPage() {
    ++page_;
    y_ = bodyTop_;
    bodyUsed_ = false;
    if (!p_) return;
    p_->setPen(Qt::black);
    p_->setFont(bandFont_);
    const QRectF top(left_, kMargin, right_ - left_, bandLine_);
    p_->drawText(top, Qt::AlignLeft | Qt::AlignVCenter, o_.jobName);
    p_->drawText(top, Qt::AlignRight | Qt::AlignVCenter,
                 Texts::text(TextNo::JobLine) +
                     CellText::absoluteSecondsText(o_.printedAt.toSecsSinceEpoch() + o_.printedAt.offsetFromUtc(),
                                                   o_.locale));
    p_->drawLine(QPointF(left_, kMargin + bandLine_ + 2), QPointF(right_, kMargin + bandLine_ + 2));
    const double footTop = height_ - kMargin - bandLine_;
    p_->drawLine(QPointF(left_, footTop - 2), QPointF(right_, footTop - 2));
    p_->drawText(QRectF(left_, footTop, right_ - left_, bandLine_), Qt::AlignHCenter | Qt::AlignVCenter,
                 Texts::text(TextNo::Page) + QString::number(page_));
  }
  void finishPage() {
    if (control_) control_->done = page_;
  }
  void newPage() {
    finishPage();
    if (paged_ && p_) paged_->newPage();
    startPage();
  }
  // A section that asks for a page of its own gets one only when this page holds
  // something: never a page with nothing but the bands.
  void newPageIfUsed() {
    if (bodyUsed_) newPage();
  }
  // Room for h more pixels, else the next page.
  void need(double h) {
    if (y_ + h > bodyBottom_ && bodyUsed_) newPage();
  }

  // Text primitives -----------------------------------------------------------------------
  void emptyLine() {
    if (!bodyUsed_) return;  // a page never starts with blank space
    if (y_ + textLine_ > bodyBottom_) {
      newPage();
      return;
    }
    y_ += textLine_;
  }
  void textLine(const QFont& font, const QString& text, double x = 0) {
    const double h = lineHeight(font);
    need(h);
    if (p_) {
      p_->setFont(font);
      p_->drawText(QRectF(left_ + x, y_, right_ - left_ - x, h), Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    y_ += h;
    bodyUsed_ = true;
  }
  void rule() {
    need(4);
    if (p_) p_->drawLine(QPointF(left_, y_ + 1), QPointF(right_, y_ + 1));
    y_ += 4;
    bodyUsed_ = true;
  }
  // Label and value pairs side by side: the left pair at the margin, the right one at mid
  // page, each value after the widest label of its side (set per section).
  void setLabels(const QStringList& left, const QStringList& right) {
    const QFontMetricsF m(boldFont_, &device_);
    leftLabel_ = rightLabel_ = 0;
    for (const QString& t : left) leftLabel_ = std::max(leftLabel_, m.horizontalAdvance(t) + 10);
    for (const QString& t : right) rightLabel_ = std::max(rightLabel_, m.horizontalAdvance(t) + 10);
  }
  void pairRow(const QString& l1, const QString& v1, const QString& l2 = {}, const QString& v2 = {}) {
    need(textLine_);
    if (p_) {
      const double half = (right_ - left_) * split_, whole = right_ - left_;
      auto cell = [&](double x, double w, const QFont& f, const QString& t) {
        p_->setFont(f);
        p_->drawText(QRectF(left_ + x, y_, std::max(0.0, w - 4), textLine_), Qt::AlignLeft | Qt::AlignVCenter, t);
      };
      cell(0, leftLabel_, boldFont_, l1);
      cell(leftLabel_, half - leftLabel_, textFont_, v1);
      cell(half, rightLabel_, boldFont_, l2);
      cell(half + rightLabel_, whole - half - rightLabel_, textFont_, v2);
    }
    y_ += textLine_;
    bodyUsed_ = true;
  }
  void heading(int number) {
    emptyLine();
    textLine(headFont_, Texts::text(number));
    rule();
    emptyLine();
  }

  // Sections ------------------------------------------------------------------------------
  void headerSection() {
    const QStringList& g = o_.headerTexts.general;
    const QStringList& c = o_.headerTexts.customer;
    textLine(headFont_, Texts::text(TextNo::Title));
    textLine(titleFont_, g.value(EnvGeneral::Title));
    emptyLine();
    // The two column heads, each underlined.
    need(lineHeight(headFont_) + 4);
    if (p_) {
      const double half = (right_ - left_) / 2, h = lineHeight(headFont_);
      p_->setFont(headFont_);
      p_->drawText(QRectF(left_, y_, half - 8, h), Qt::AlignLeft | Qt::AlignVCenter, Texts::text(TextNo::GeneralHead));
      p_->drawText(QRectF(left_ + half, y_, half, h), Qt::AlignLeft | Qt::AlignVCenter,
                   Texts::text(TextNo::CustomerHead));
      p_->drawLine(QPointF(left_, y_ + h + 1), QPointF(left_ + half - 16, y_ + h + 1));
      p_->drawLine(QPointF(left_ + half, y_ + h + 1), QPointF(right_, y_ + h + 1));
    }
    y_ += lineHeight(headFont_) + 4;
    bodyUsed_ = true;
    QStringList leftLabels{Texts::text(TextNo::Author), Texts::text(TextNo::Company)};
    QStringList rightLabels{Texts::text(TextNo::Company), Texts::text(TextNo::Contact)};
    for (int i = 0; i < 10; ++i) leftLabels << Texts::text(TextNo::Address1 + i);
    rightLabels += leftLabels.mid(2);
    setLabels(leftLabels, rightLabels);
    pairRow(Texts::text(TextNo::Author), g.value(EnvGeneral::Author), Texts::text(TextNo::Company),
            c.value(EnvCustomer::Company));
    pairRow(Texts::text(TextNo::Company), g.value(EnvGeneral::Company), Texts::text(TextNo::Contact),
            c.value(EnvCustomer::Contact));
    // Address1 .. Email run in the same order on both sides.
    for (int i = 0; i < 10; ++i) {
      const QString label = Texts::text(TextNo::Address1 + i);
      pairRow(label, g.value(EnvGeneral::Address1 + i), label, c.value(EnvCustomer::Address1 + i));
    }
    emptyLine();
    textLine(headFont_, Texts::text(TextNo::Description));
    rule();
    for (const QString& line : o_.headerTexts.description) textLine(textFont_, line);
  }

  void detailsSection() {
    heading(TextNo::DetailsHead);
    const ReportSummary::Range& range = r_.range_;
    if (range.status != ReportSummary::Range::Status::Ok) {
      textLine(textFont_, Texts::text(TextNo::NoEvents));
      return;
    }
    ViewState st = o_.view;
    if (st.view() == ViewMode::Horizontal) st.codes.setViewMode(ViewMode::Vertical);
    const ViewMode view = st.view();
    const double bodyWidth = right_ - left_;
    // The vertical view's description takes what the other columns leave: on paper it gets
    // the room of a 900-pixel grid, and the whole table is printed a little smaller.
    const int gridWidth = view == ViewMode::Vertical ? std::max(int(bodyWidth), kVerticalGridWidth) : int(bodyWidth);
    GridGeometry::GridLayout layout = st.layout(gridWidth);
    double total = 0;
    for (int w : layout.columnWidths) total += w + 1;
    // A view wider than the paper is printed smaller rather than cut off.
    const double scale = total > bodyWidth ? bodyWidth / total : 1.0;
    const double rowStep = kRowStep * scale;
    const int perLine = view == ViewMode::Vertical ? 1 : layout.eventsPerLine;
    const int rows = view == ViewMode::Vertical ? 1 : 2;

    CellContext cx;
    cx.state = &st;
    cx.eventsPerLine = perLine;
    cx.colours = paperColours();
    cx.font = gridFont();
    cx.locale = o_.locale;
    if (p_ && !buffer_) buffer_ = std::make_unique<LiveViewBuffer>();
    cx.buffer = buffer_.get();

    int64_t bufferFirst = 0, bufferCount = 0;  // events at positions 1 .. bufferCount
    bool headerShown = false;
    for (int64_t event = range.first; event <= range.last; event += perLine) {
      if (stopped()) return;
      const int64_t lineEvents = std::min<int64_t>(perLine, range.last - event + 1);
      const double lineHeight = rows * rowStep;
      if (!headerShown || (y_ + lineHeight > bodyBottom_ && bodyUsed_)) {
        if (headerShown) newPage();
        need(rowStep + lineHeight);
        if (p_) drawRow(layout, cx, 0, scale, 0);
        y_ += rowStep;
        bodyUsed_ = headerShown = true;
      }
      if (p_) {
        if (event + lineEvents - 1 >= bufferFirst + bufferCount || bufferCount == 0) {
          // Whole lines from this one on, the predecessor at position 0 and, for the
          // traces, the event after the last one shown.
          bufferFirst = event;
          bufferCount = std::min<int64_t>((kReadChunk / perLine) * perLine, range.last - event + 1);
          const bool withNext = bufferFirst + bufferCount <= r_.reader_.recordCount() - 1;
          const int64_t count = bufferCount + 1 + (withNext ? 1 : 0);
          records_.resize(std::size_t(count));
          if (!r_.reader_.read(bufferFirst - 1, count, records_.data())) {
            fail(TextNo::ReadFailed);
            return;
          }
          buffer_->clear();
          buffer_->load(records_.data(), int(count));
        }
        const int first = int(event - bufferFirst) + 1;  // its buffer position
        if (view == ViewMode::Vertical) {
          // The traces run on to the next event only when it is printed too.
          cx.lastPosition = event < range.last ? first + 1 : first;
          drawRow(layout, cx, first, scale, 0);
        } else {
          cx.lastPosition = int(bufferCount);
          const int line = (first - 1) / perLine;
          drawRow(layout, cx, 2 * line + 1, scale, 0);
          drawRow(layout, cx, 2 * line + 2, scale, rowStep);
        }
      }
      y_ += lineHeight;
    }
  }

  void drawRow(const GridGeometry::GridLayout& layout, const CellContext& cx, int row, double scale, double dy) {
    p_->save();
    p_->translate(left_, y_ + dy);
    p_->scale(scale, scale);
    int x = 0;
    const QPen linePen(cx.colours.lines, 0);
    for (int c = 0; c < layout.columnCount(); ++c) {
      const int w = layout.columnWidths[std::size_t(c)];
      const QRect cell(x, 0, w, kRowHeight);
      DrawGrid1DrawCell(*p_, cx, c, row, cell, CellNormal);
      p_->setPen(linePen);
      if (o_.view.verticalLines || row == 0) p_->drawLine(x + w, 0, x + w, kRowHeight);
      if (o_.view.horizontalLines || row == 0) p_->drawLine(x, kRowHeight, x + w, kRowHeight);
      x += w + 1;
    }
    p_->restore();
  }

  void summarySection() {
    heading(TextNo::SummaryHead);
    if (p_ && !ReportSummary::read(r_.reader_, r_.range_, summary)) {
      fail(TextNo::ReadFailed);
      return;
    }
    const QLocale& l = o_.locale;
    setLabels({Texts::text(TextNo::StartTime), Texts::text(TextNo::StopTime), Texts::text(TextNo::Period),
               Texts::text(TextNo::Events), Texts::text(TextNo::Parity), Texts::text(TextNo::Framing),
               Texts::text(TextNo::LineErrors)},
              {Texts::text(TextNo::LoadNow), Texts::text(TextNo::LoadPeak), Texts::text(TextNo::Quality),
               Texts::text(TextNo::D1Bytes), Texts::text(TextNo::D2Bytes)});
    // A time stamp with its microseconds is the widest value: the right pairs leave it room.
    split_ = 0.56;
    auto n = [&](int64_t v) { return l.toString(qlonglong(v)); };
    auto pc = [&](int v) { return QString::number(v) + QLatin1Char('%'); };
    const ReportSummary::Summary& s = summary;
    pairRow(Texts::text(TextNo::StartTime), ReportSummary::startText(s, l), Texts::text(TextNo::LoadNow),
            pc(s.lineLoad));
    pairRow(Texts::text(TextNo::StopTime), ReportSummary::stopText(s, l), Texts::text(TextNo::LoadPeak),
            pc(s.peakLoad));
    pairRow(Texts::text(TextNo::Period), ReportSummary::periodText(s, l), Texts::text(TextNo::Quality),
            pc(s.lineQuality));
    pairRow(Texts::text(TextNo::Events), n(s.events));
    pairRow(Texts::text(TextNo::Parity), n(s.parityErrors), Texts::text(TextNo::D1Bytes), n(s.d1Bytes));
    pairRow(Texts::text(TextNo::Framing), n(s.framingErrors), Texts::text(TextNo::D2Bytes), n(s.d2Bytes));
    pairRow(Texts::text(TextNo::LineErrors), n(s.lineErrors));
    emptyLine();
  }

  void fail(int number) {
    failed_ = true;
    messageNumber_ = number;
  }

 public:
  int messageNumber_ = 0;

 private:
  ReportRenderer& r_;
  const ReportOptions& o_;
  QPaintDevice& device_;
  QPagedPaintDevice* paged_;
  QPainter* p_;
  WorkControl* control_;
  std::unique_ptr<LiveViewBuffer> buffer_;
  std::vector<EventRecord> records_;
  QFont bandFont_, textFont_, boldFont_, headFont_, titleFont_;
  double width_ = 0, height_ = 0, left_ = 0, right_ = 0;
  double bandLine_ = 0, textLine_ = 0, bodyTop_ = 0, bodyBottom_ = 0;
  double y_ = 0;
  double leftLabel_ = 150, rightLabel_ = 150;
  double split_ = 0.5;  // where the right pair starts, as a share of the body's width
  int page_ = 0;
  bool bodyUsed_ = false;
  bool failed_ = false;
};

ReportRenderer::ReportRenderer(RecordReader& reader, ReportOptions options)
    : reader_(reader), options_(std::move(options)) {
  range_ = ReportSummary::chooseRange(reader_.recordCount(), options_.from, options_.to, options_.all);
}

ReportRenderer::~ReportRenderer() = default;

int ReportRenderer::rangeMessage(QStringList* arguments) const {
  using S = ReportSummary::Range::Status;
  if (range_.status == S::Reversed) {
    if (arguments) *arguments = {QString::number(range_.first), QString::number(range_.last)};
    return TextNo::Reversed;
  }
  if (range_.status == S::PastEnd) {
    if (arguments) *arguments = {QString::number(range_.first), QString::number(reader_.recordCount() - 1)};
    return TextNo::PastEnd;
  }
  return 0;
}

int ReportRenderer::countPages(QPaintDevice& device) {
  Pass pass(*this, device, nullptr, nullptr, nullptr);
  pass.run();
  return pass.pages();
}

ReportResult ReportRenderer::render(QPagedPaintDevice& device, WorkControl* control, int pages) {
  ReportResult result;
  result.range = range_;
  // Only the details and the summary need the range; a header alone prints from any file.
  if (options_.details || options_.summary) {
    result.messageNumber = rangeMessage(&result.arguments);
    if (result.messageNumber != 0) return result;
  }
  if (!reader_.isOpen()) {
    result.messageNumber = TextNo::OpenFailed;
    result.arguments = {reader_.path()};
    return result;
  }
  // A stop asked for before the first page still counts: only the progress starts afresh.
  if (control) {
    control->total = pages > 0 ? pages : 0;
    control->done = 0;
  }
  QPainter painter;
  if (!painter.begin(&device)) {
    // The device refused (no printer, a PDF that cannot be written): the caller names
    // the printer and the reason as the two arguments.
    result.messageNumber = TextNo::CannotPrint;
    return result;
  }
  Pass pass(*this, device, &device, &painter, control);
  pass.run();
  if ((pass.failed() || pass.stopped()) && abort_) abort_();
  painter.end();
  result.pages = pass.pages();
  result.summary = pass.summary;
  if (pass.failed()) {
    result.messageNumber = pass.messageNumber_;
    result.arguments = {reader_.path()};
  } else if (pass.stopped()) {
    result.status = ReportResult::Status::Stopped;
  } else {
    result.status = ReportResult::Status::Done;
  }
  return result;
}
