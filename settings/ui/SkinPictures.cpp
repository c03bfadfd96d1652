#include "settings/ui/SkinPictures.h"

#include <QFont>
#include <cmath>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace SkinPictures {
namespace {

struct Inks {
  QColor ink, accent, red, green;
};

Inks inks(bool dark) {
  if (dark) return {QColor(0xE4, 0xE4, 0xE4), QColor(0x6F, 0xB0, 0xFF), QColor(0xFF, 0x55, 0x55), QColor(0x5C, 0xD6, 0x5C)};
  return {QColor(0x30, 0x30, 0x30), QColor(0x1E, 0x5A, 0xB4), QColor(0xD0, 0x20, 0x20), QColor(0x1E, 0x8C, 0x1E)};
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
  p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(from, to);
  const QPointF d = to - from;
  const double len = std::hypot(d.x(), d.y());
  const QPointF u = d / len, n(-u.y(), u.x());
  p.setBrush(colour);
  p.drawPolygon(QPolygonF{to + u * 0.5, to - u * 3.5 + n * 3, to - u * 3.5 - n * 3});
}

void triangle(QPainter& p, QPointF a, QPointF b, QPointF c, const QColor& colour) {
  p.setPen(QPen(colour, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(colour);
  p.drawPolygon(QPolygonF{a, b, c});
}

void letter(QPainter& p, const QRectF& box, const QString& text, const QColor& colour) {
  QFont f;
  f.setPixelSize(11);
  f.setBold(true);
  p.setFont(f);
  p.setPen(colour);
  p.drawText(box, Qt::AlignCenter, text);
}

// Every shape on a 16 by 16 grid, scaled to the picture's size.
void draw(QPainter& p, Shape shape, const Inks& c) {
  const QPen ink(c.ink, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  auto page = [&](double right) {
    p.setPen(ink);
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(QPolygonF{{3.5, 1.5}, {right - 3, 1.5}, {right, 4.5}, {right, 14.5}, {3.5, 14.5}});
  };
  switch (shape) {
    case Shape::Record:
      p.setPen(Qt::NoPen);
      p.setBrush(c.red);
      p.drawEllipse(QPointF(8, 8), 5.5, 5.5);
      break;
    case Shape::Stop:
      p.setPen(Qt::NoPen);
      p.setBrush(c.ink);
      p.drawRoundedRect(QRectF(3, 3, 10, 10), 1.5, 1.5);
      break;
    case Shape::Pause:
      p.setPen(Qt::NoPen);
      p.setBrush(c.ink);
      p.drawRect(QRectF(3.5, 3, 3, 10));
      p.drawRect(QRectF(9.5, 3, 3, 10));
      break;
    case Shape::ScrollTop:
    case Shape::FirstEvent: {
      const QColor colour = shape == Shape::ScrollTop ? c.ink : c.accent;
      p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(3, 2.5), QPointF(13, 2.5));
      triangle(p, {8, 5.5}, {13, 12.5}, {3, 12.5}, colour);
      break;
    }
    case Shape::ScrollEnd:
    case Shape::LastEvent: {
      const QColor colour = shape == Shape::ScrollEnd ? c.ink : c.accent;
      triangle(p, {3, 3.5}, {13, 3.5}, {8, 10.5}, colour);
      p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(3, 13.5), QPointF(13, 13.5));
      break;
    }
    case Shape::NewFile:
      page(12.5);
      p.setPen(QPen(c.accent, 1.8, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(8, 6.5), QPointF(8, 12));
      p.drawLine(QPointF(5.25, 9.25), QPointF(10.75, 9.25));
      break;
    case Shape::OpenFile: {
      QColor fill = c.accent;
      fill.setAlpha(110);
      p.setPen(ink);
      p.setBrush(fill);
      p.drawPolygon(QPolygonF{{1.5, 3.5}, {6, 3.5}, {7.5, 5.5}, {14.5, 5.5}, {14.5, 13.5}, {1.5, 13.5}});
      break;
    }
    case Shape::SaveFile:
      p.setPen(ink);
      p.setBrush(Qt::NoBrush);
      p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 1, 1);
      p.setPen(Qt::NoPen);
      p.setBrush(c.accent);
      p.drawRect(QRectF(5, 2.5, 6, 4));
      p.setPen(ink);
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(4.5, 9, 7, 4.5));
      break;
    case Shape::Export:
      page(10.5);
      arrow(p, {6.5, 9}, {15, 9}, c.accent);
      break;
    case Shape::Print:
      p.setPen(ink);
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(4.5, 1.5, 7, 4.5));
      p.drawRoundedRect(QRectF(1.5, 6, 13, 6), 1, 1);
      p.drawRect(QRectF(4.5, 10, 7, 4.5));
      p.setPen(Qt::NoPen);
      p.setBrush(c.accent);
      p.drawEllipse(QPointF(12, 8), 1, 1);
      break;
    case Shape::Search:
      p.setPen(QPen(c.ink, 1.6));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(6.5, 6.5), 4.2, 4.2);
      p.setPen(QPen(c.accent, 2.4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(9.8, 9.8), QPointF(14, 14));
      break;
    case Shape::DeltaTime:
      p.setPen(QPen(c.ink, 1.4));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(8, 9), 5.5, 5.5);
      p.setPen(Qt::NoPen);
      p.setBrush(c.ink);
      p.drawRect(QRectF(6.5, 1, 3, 2));
      p.setPen(QPen(c.accent, 1.6, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(8, 9), QPointF(8, 5));
      p.drawLine(QPointF(8, 9), QPointF(11, 9));
      break;
    case Shape::GotoTrigger:
    case Shape::GotoMark:
      arrow(p, {1, 8}, {8.5, 8}, c.accent);
      p.setPen(QPen(c.ink, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(Qt::NoBrush);
      if (shape == Shape::GotoTrigger) {
        p.drawLine(QPointF(9.5, 3), QPointF(15, 3));
        p.drawLine(QPointF(12.25, 3), QPointF(12.25, 13.5));
      } else {
        p.drawPolyline(QPolygonF{{10, 13.5}, {10, 3}, {12.5, 8}, {15, 3}, {15, 13.5}});
      }
      break;
    case Shape::Exit:
      p.setPen(ink);
      p.setBrush(Qt::NoBrush);
      p.drawPolyline(QPolygonF{{8.5, 4.5}, {8.5, 1.5}, {2.5, 1.5}, {2.5, 14.5}, {8.5, 14.5}, {8.5, 11.5}});
      arrow(p, {5.5, 8}, {15, 8}, c.accent);
      break;
    case Shape::Help:
    case Shape::Info:
      p.setPen(QPen(c.accent, 1.4));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
      letter(p, QRectF(1, 1, 14, 14), shape == Shape::Help ? QStringLiteral("?") : QStringLiteral("i"), c.ink);
      break;
    case Shape::ResetWindows:
      p.setPen(ink);
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(5.5, 1.5, 9, 7));
      p.setBrush(c.accent);
      p.drawRect(QRectF(1.5, 6.5, 9, 7));
      break;
    case Shape::StateOn:
    case Shape::StateOff:
      p.setPen(QPen(c.ink, 1.2));
      p.setBrush(Qt::NoBrush);
      p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 1.5, 1.5);
      if (shape == Shape::StateOn) {
        p.setPen(QPen(c.green, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF{{4.5, 8}, {7, 10.5}, {11.5, 5}});
      }
      break;
  }
}

}  // namespace

QPixmap picture(Shape shape, bool dark, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.scale(size / 16.0, size / 16.0);
  draw(p, shape, inks(dark));
  return pixmap;
}

QIcon icon(Shape shape, bool dark) {
  QIcon icon;
  for (int size : {16, 24, 32}) icon.addPixmap(picture(shape, dark, size));
  return icon;
}

}  // namespace SkinPictures
