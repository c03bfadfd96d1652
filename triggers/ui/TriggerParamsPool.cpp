#include "triggers/ui/TriggerParamsPool.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "settings/Texts.h"
#include "triggers/TriggerActions.h"

namespace {
namespace TextNo {
constexpr int Caption = 9100, Parameter = 9101, Description = 9002, Ok = 6006, Cancel = 6003;
}  // namespace TextNo
}  // namespace

TFormTrigParams::TFormTrigParams(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FormTrigParams"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setModal(false);
  setMinimumSize(371, 200);
  resize(439, 320);
  auto* v = new QVBoxLayout(this);
  grid_ = new QTableWidget(Placeholders::kCount, 2, this);
  grid_->setObjectName(QStringLiteral("gridParams"));
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
  grid_->setWordWrap(false);
  grid_->horizontalHeader()->setStretchLastSection(true);
  for (int i = 0; i < Placeholders::kCount; ++i)
    grid_->setItem(i, 0, new QTableWidgetItem(QString::fromLatin1(Placeholders::table()[size_t(i)].name)));
  connect(grid_, &QTableWidget::cellDoubleClicked, this, &TFormTrigParams::btnOKClick);
  v->addWidget(grid_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  ok_ = new QPushButton(this);
  ok_->setObjectName(QStringLiteral("btnOK"));
  ok_->setDefault(true);
  cancel_ = new QPushButton(this);
  cancel_->setObjectName(QStringLiteral("btnCancel"));
  connect(ok_, &QPushButton::clicked, this, &TFormTrigParams::btnOKClick);
  connect(cancel_, &QPushButton::clicked, this, &TFormTrigParams::btnCancelClick);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  v->addLayout(buttons);
  selectRow(0);
  InitialLoads();
}

void TFormTrigParams::InitialLoads() {
  setWindowTitle(Texts::text(TextNo::Caption));
  grid_->setHorizontalHeaderLabels({Texts::text(TextNo::Parameter), Texts::text(TextNo::Description)});
  for (int i = 0; i < Placeholders::kCount; ++i)
    grid_->setItem(i, 1, new QTableWidgetItem(Texts::text(Placeholders::table()[size_t(i)].descriptionText)));
  ok_->setText(Texts::text(TextNo::Ok));
  cancel_->setText(Texts::text(TextNo::Cancel));
}

void TFormTrigParams::selectRow(int row) { grid_->selectRow(row); }

QString TFormTrigParams::selectedPlaceholder() const {
  const int row = grid_->currentRow();
  return row >= 0 && row < Placeholders::kCount ? QString::fromLatin1(Placeholders::table()[size_t(row)].name)
                                                : QString();
}

void TFormTrigParams::btnOKClick() {
  const QString p = selectedPlaceholder();
  if (target_ && !p.isEmpty()) {
    // insert() at the caret; a caret at the end appends. A selection is replaced.
    target_->insert(p);
    target_->setFocus(Qt::OtherFocusReason);
  }
  close();
}

void TFormTrigParams::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  grid_->setFocus(Qt::OtherFocusReason);
}

void TFormTrigParams::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  grid_->setColumnWidth(0, qMax(100, grid_->fontMetrics().horizontalAdvance(QStringLiteral("%TRIG_DESCR%")) + 16));
}
