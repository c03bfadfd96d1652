#pragma once
#include <QObject>
#include <QWidget>
#include <cstdint>

class QSlider;
class QSpinBox;

// An event or trigger number: a field with up and down steps, mirrored by a track bar.
// A change of either moves the other; a text that is no number, 0 or an empty field
// falls back to the last valid value when the field is left.
class TrackedNumber : public QWidget {
  Q_OBJECT
 public:
  explicit TrackedNumber(QWidget* parent = nullptr, const char* name = nullptr);

  // The field holds int: a file of more than 2^31 records ends at that number.
  void setRange(int64_t minimum, int64_t maximum);
  void setValue(int64_t value);
  int64_t value() const;
  int64_t maximum() const;
  QSpinBox* field() const { return field_; }
  QSlider* bar() const { return bar_; }

 signals:
  void valueChanged(int64_t value);

 private:
  QSpinBox* field_;
  QSlider* bar_;
};

// "From" and "To" of an event range: from never lies above to. A from moved above to
// pulls to up to it, a to moved below from pulls from down to it.
class EventRange : public QObject {
  Q_OBJECT
 public:
  EventRange(TrackedNumber* from, TrackedNumber* to, QObject* parent = nullptr);

  // A new number of events: both range over 1 .. last, from at 1, to at last.
  void setLast(int64_t last);
  void reset();  // first and last event
  int64_t from() const { return from_->value(); }
  int64_t to() const { return to_->value(); }
  void setFrom(int64_t v) { from_->setValue(v); }
  void setTo(int64_t v) { to_->setValue(v); }
  void setEnabled(bool on);

 signals:
  void changed();

 private:
  TrackedNumber* from_;
  TrackedNumber* to_;
  bool adjusting_ = false;
};
