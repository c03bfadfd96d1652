#include "app/StatusLight.h"

#include <QPainter>

namespace {
const QColor kUnlit(128, 0, 0);  // maroon
}

StatusLight::StatusLight(QColor litColor, QWidget* parent) : QWidget(parent), litColor_(litColor) {
  setFixedSize(16, 16);
}

void StatusLight::SetLit(bool lit) {
  if (lit == lit_) return;
  lit_ = lit;
  update();
}

void StatusLight::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
  QRadialGradient g(r.center() - QPointF(r.width() / 5, r.height() / 5), r.width() / 1.4);
  const QColor c = lit_ ? litColor_ : kUnlit;
  g.setColorAt(0, c.lighter(lit_ ? 160 : 130));
  g.setColorAt(1, c);
  p.setBrush(g);
  p.setPen(QPen(QColor(40, 40, 40), 1));
  p.drawEllipse(r);
}
