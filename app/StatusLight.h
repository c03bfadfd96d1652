#pragma once
#include <QColor>
#include <QWidget>

// One round lamp of the port and recorder panels.
class StatusLight : public QWidget {
  Q_OBJECT
 public:
  explicit StatusLight(QColor litColor, QWidget* parent = nullptr);

  void SetLit(bool lit);
  bool lit() const { return lit_; }
  void toggle() { SetLit(!lit_); }
  QSize sizeHint() const override { return {16, 16}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QColor litColor_;
  bool lit_ = false;
};
