#include "tools/ui/TrackedNumber.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>
#include <climits>

namespace {
int clampInt(int64_t v) { return int(std::clamp<int64_t>(v, 0, INT_MAX)); }
}  // namespace

TrackedNumber::TrackedNumber(QWidget* parent, const char* name) : QWidget(parent) {
  if (name) setObjectName(QString::fromLatin1(name));
  auto* h = new QHBoxLayout(this);
  h->setContentsMargins(0, 0, 0, 0);
  field_ = new QSpinBox(this);
  field_->setObjectName(objectName() + QStringLiteral("Edit"));
  // The value counts when the field is left or Enter is pressed: typing "12" into "To"
  // must not pull "From" down to 1 on the way.
  field_->setKeyboardTracking(false);
  field_->setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  field_->setMinimumWidth(110);
  bar_ = new QSlider(Qt::Horizontal, this);
  bar_->setObjectName(objectName() + QStringLiteral("Bar"));
  bar_->setMinimumWidth(160);
  h->addWidget(field_);
  h->addWidget(bar_, 1);
  setRange(1, 1);
  connect(field_, &QSpinBox::valueChanged, this, [this](int v) {
    const QSignalBlocker quiet(bar_);
    bar_->setValue(v);
    emit valueChanged(v);
  });
  connect(bar_, &QSlider::valueChanged, this, [this](int v) { field_->setValue(v); });
}

void TrackedNumber::setRange(int64_t minimum, int64_t maximum) {
  const int lo = std::max(1, clampInt(minimum));
  const int hi = std::max(lo, clampInt(maximum));
  const QSignalBlocker quietField(field_);
  const QSignalBlocker quietBar(bar_);
  field_->setRange(lo, hi);
  bar_->setRange(lo, hi);
  bar_->setPageStep(std::max(1, (hi - lo) / 10));
  bar_->setValue(field_->value());
}

void TrackedNumber::setValue(int64_t value) { field_->setValue(clampInt(value)); }
int64_t TrackedNumber::value() const { return field_->value(); }
int64_t TrackedNumber::maximum() const { return field_->maximum(); }

EventRange::EventRange(TrackedNumber* from, TrackedNumber* to, QObject* parent)
    : QObject(parent), from_(from), to_(to) {
  connect(from_, &TrackedNumber::valueChanged, this, [this](int64_t v) {
    if (adjusting_) return;
    if (v > to_->value()) {
      adjusting_ = true;
      to_->setValue(v);
      adjusting_ = false;
    }
    emit changed();
  });
  connect(to_, &TrackedNumber::valueChanged, this, [this](int64_t v) {
    if (adjusting_) return;
    if (v < from_->value()) {
      adjusting_ = true;
      from_->setValue(v);
      adjusting_ = false;
    }
    emit changed();
  });
}

void EventRange::setLast(int64_t last) {
  adjusting_ = true;
  from_->setRange(1, last);
  to_->setRange(1, last);
  adjusting_ = false;
  reset();
}

void EventRange::reset() {
  adjusting_ = true;
  from_->setValue(1);
  to_->setValue(to_->maximum());
  adjusting_ = false;
  emit changed();
}

void EventRange::setEnabled(bool on) {
  from_->setEnabled(on);
  to_->setEnabled(on);
}
