#include "ui/pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace nord5::ui {

QPixmap TariffPicture(int type, int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::white);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(128, 128, 128), 1));
  p.drawRect(0, 0, size - 1, size - 1);
  const int m = size / 2;
  // Threshold line.
  p.setPen(QPen(QColor(200, 40, 40), 1, Qt::DashLine));
  p.drawLine(2, m, size - 3, m);
  // The tariff that counts: the part of the curve above or below the threshold, by type.
  QPainterPath curve;
  curve.moveTo(2, size - 5);
  curve.cubicTo(size * 0.35, 2, size * 0.65, size - 2, size - 3, 5);
  p.setPen(QPen(QColor(30, 60, 160), 2));
  p.drawPath(curve);
  p.setPen(Qt::NoPen);
  const QColor fill(30, 160, 60, 110);
  switch ((type - 1) % 4) {
    case 0:
      p.fillRect(QRect(2, 2, size - 4, m - 2), fill);
      break;
    case 1:
      p.fillRect(QRect(2, m, size - 4, m - 2), fill);
      break;
    case 2:
      p.fillRect(QRect(2, 2, m - 2, size - 4), fill);
      break;
    default:
      p.fillRect(QRect(m, 2, m - 2, size - 4), fill);
      break;
  }
  if (type > 4) {
    p.setPen(QPen(Qt::black, 1));
    p.drawText(QRect(0, 0, size - 2, size - 1), Qt::AlignRight | Qt::AlignBottom,
               QString::number(type - 4));
  }
  return pm;
}

QPixmap ClockPicture(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(60, 60, 60), 2));
  p.setBrush(QColor(255, 250, 220));
  p.drawEllipse(QRectF(2, 2, size - 4, size - 4));
  const QPointF c(size / 2.0, size / 2.0);
  p.drawLine(c, QPointF(c.x(), 6));
  p.drawLine(c, QPointF(size - 8, c.y()));
  return pm;
}

}  // namespace nord5::ui
