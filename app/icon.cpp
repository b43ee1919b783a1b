#include "app/icon.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

// A battery lying on its side with a pulse line across it: the logger watches a battery's
// live readings. Drawn on a 64 x 64 grid and scaled; strokes keep at least about a pixel and
// a half so that the small sizes stay readable.
QImage ZentrovaIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);

  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal k = size / 64.0;
  p.scale(k, k);
  auto stroke = [k](qreal grid, qreal minPixels) { return std::max(grid, minPixels / k); };

  const QColor outline(0x1e, 0x3a, 0x5f);
  const QColor pulse(0x17, 0xa3, 0x4a);

  // Body.
  const QRectF body(3, 15, 52, 34);
  QLinearGradient fill(body.topLeft(), body.bottomLeft());
  fill.setColorAt(0.0, QColor(0xf2, 0xf7, 0xfc));
  fill.setColorAt(1.0, QColor(0xc6, 0xd9, 0xea));
  const qreal bodyPen = stroke(4.0, 1.4);
  p.setPen(QPen(outline, bodyPen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(fill);
  p.drawRoundedRect(body.adjusted(bodyPen / 2, bodyPen / 2, -bodyPen / 2, -bodyPen / 2), 6, 6);

  // Terminal.
  p.setPen(Qt::NoPen);
  p.setBrush(outline);
  p.drawRoundedRect(QRectF(55, 25, 7, 14), 2, 2);

  // Pulse line.
  QPainterPath line;
  line.moveTo(9, 33);
  line.lineTo(18, 33);
  line.lineTo(23, 23);
  line.lineTo(29, 43);
  line.lineTo(34, 27);
  line.lineTo(38, 33);
  line.lineTo(49, 33);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(pulse, stroke(4.5, 1.6), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(line);
  p.end();
  return image;
}

QIcon ZentrovaIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 256}) icon.addPixmap(QPixmap::fromImage(ZentrovaIconImage(size)));
  return icon;
}
