#include "TileSheets.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>
#include <cmath>
#include <vector>

#include "Art.h"
#include "Pictures.h"

using namespace art;
using namespace layout;

namespace tiles {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSheet = kBoardSize * kCell;

// A light top-left and a dark bottom-right edge on every cell, so that the
// tiles read as tiles while the whole picture stays continuous.
void BevelCells(QImage& sheet) {
  for (int cy = 0; cy < kSheet; cy += kCell) {
    for (int cx = 0; cx < kSheet; cx += kCell) {
      for (int i = 0; i < kCell; ++i) {
        auto shade = [&](int x, int y, const QColor& toward, double t) {
          sheet.setPixelColor(x, y, Mix(sheet.pixelColor(x, y), toward, t));
        };
        shade(cx + i, cy, Qt::white, 0.40);
        shade(cx, cy + i, Qt::white, 0.40);
        shade(cx + i, cy + kCell - 1, Qt::black, 0.30);
        shade(cx + kCell - 1, cy + i, Qt::black, 0.30);
      }
    }
  }
}

}  // namespace

// Pattern 0, ring: concentric lacquer rings whose colour turns with the
// angle, so that every arc has a place of its own.
QImage DrawRingTiles() {
  QImage img = Blank(kSheet, kSheet, pal::kPaper);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c(96, 96);

  QLinearGradient bg(0, 0, kSheet, kSheet);
  bg.setColorAt(0, QColor(0xFB, 0xF5, 0xE6));
  bg.setColorAt(1, QColor(0xEE, 0xCB, 0xC0));
  p.fillRect(img.rect(), bg);

  // Ripples in the paper.
  p.setBrush(Qt::NoBrush);
  for (int r = 88; r <= 140; r += 9) {
    p.setPen(QPen(QColor(0xD9, 0xB7, 0x9A, 150), 1.2));
    p.drawEllipse(c, r, r);
  }

  // The great ring.
  QConicalGradient hue(c, 90);
  hue.setColorAt(0.00, pal::kVermilion);
  hue.setColorAt(0.33, pal::kGold);
  hue.setColorAt(0.66, pal::kSakuraDeep);
  hue.setColorAt(1.00, pal::kVermilion);
  p.setPen(Qt::NoPen);
  p.setBrush(hue);
  p.drawPath(Ring(c, 57, 80));
  // Its lacquer shine: a lighter band along the middle.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 255, 255, 70), 5));
  p.drawEllipse(c, 72, 72);
  p.setPen(QPen(pal::kVermilionDark, 2));
  p.drawEllipse(c, 80, 80);
  p.drawEllipse(c, 57, 57);

  // Beads between the rings, one every 30 degrees.
  for (int i = 0; i < 12; ++i) {
    const double a = i * kPi / 6 + kPi / 12;
    const QPointF b(c.x() + 48 * std::cos(a), c.y() + 48 * std::sin(a));
    p.setPen(QPen(pal::kGoldDark, 1.2));
    p.setBrush(i % 3 == 0 ? pal::kVermilion : pal::kGoldLight);
    p.drawEllipse(b, 4.2, 4.2);
  }

  // The inner ring, indigo, and the golden heart.
  QConicalGradient ink(c, 200);
  ink.setColorAt(0.0, pal::kFrameLight);
  ink.setColorAt(0.5, pal::kInk);
  ink.setColorAt(1.0, pal::kFrameLight);
  p.setPen(QPen(pal::kInk, 1.5));
  p.setBrush(ink);
  p.drawPath(Ring(c, 25, 38));
  QRadialGradient heart(c + QPointF(-4, -4), 20);
  heart.setColorAt(0, pal::kGoldLight);
  heart.setColorAt(1, pal::kGold);
  p.setPen(QPen(pal::kGoldDark, 1.5));
  p.setBrush(heart);
  p.drawEllipse(c, 15, 15);
  p.setPen(Qt::NoPen);
  p.setBrush(pal::kVermilion);
  p.drawEllipse(c, 5.5, 5.5);
  p.end();
  BevelCells(img);
  return img;
}

// Pattern 1, numbers: each tile carries the number 1..9 of its home cell in
// reading order, on a lattice that runs on across the tiles.
QImage DrawNumberTiles() {
  QImage img = Blank(kSheet, kSheet, pal::kPaper);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);

  QLinearGradient bg(0, 0, kSheet, kSheet);
  bg.setColorAt(0, pal::kSky);
  bg.setColorAt(1, pal::kSakura);
  p.fillRect(img.rect(), bg);

  // A diagonal lattice of golden threads.
  p.setPen(QPen(QColor(0xFF, 0xFF, 0xFF, 170), 3));
  for (int k = -kSheet; k <= 2 * kSheet; k += 32) {
    p.drawLine(QPointF(k, 0), QPointF(k + kSheet, kSheet));
    p.drawLine(QPointF(k, 0), QPointF(k - kSheet, kSheet));
  }
  p.setPen(QPen(QColor(0xE2, 0xB1, 0x4B, 150), 1));
  for (int k = -kSheet; k <= 2 * kSheet; k += 32) {
    p.drawLine(QPointF(k, 0), QPointF(k + kSheet, kSheet));
    p.drawLine(QPointF(k, 0), QPointF(k - kSheet, kSheet));
  }

  QFont font = JapaneseFont(40, true);
  for (int n = 0; n < kBoardSize * kBoardSize; ++n) {
    const int cx = kCell * (n % kBoardSize), cy = kCell * (n / kBoardSize);
    const QRectF plate(cx + 9.5, cy + 9.5, 45, 45);
    // Each plate has a tint of its own, a ninth of the way round the colour wheel.
    p.setPen(QPen(pal::kInk, 2));
    p.setBrush(Mix(pal::kPaper, QColor::fromHsv(40 * n, 150, 255), 0.30));
    p.drawRoundedRect(plate, 9, 9);
    p.setPen(QPen(pal::kGold, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(plate.adjusted(3, 3, -3, -3), 6, 6);

    QPainterPath digit;
    const QString text = QString::number(n + 1);
    digit.addText(0, 0, font, text);
    const QRectF box = digit.boundingRect();
    digit.translate(plate.center() - box.center());
    p.setPen(Qt::NoPen);
    p.setBrush(n % 2 == 0 ? pal::kInk : pal::kVermilionDark);
    p.drawPath(digit);
  }
  p.end();
  BevelCells(img);
  return img;
}

namespace {

// One cherry petal pointing along +x from the origin, with its notched tip.
QPainterPath Petal(double length, double width) {
  const double w = width / 2;
  QPainterPath path;
  path.moveTo(0, 0);
  path.cubicTo(length * 0.22, -w * 1.05, length * 0.72, -w * 1.25, length * 0.97, -w * 0.42);
  path.lineTo(length * 0.86, 0);
  path.lineTo(length * 0.97, w * 0.42);
  path.cubicTo(length * 0.72, w * 1.25, length * 0.22, w * 1.05, 0, 0);
  path.closeSubpath();
  return path;
}

// A five-petalled blossom at c, its first petal at angle a (radians).
void Blossom(QPainter& p, QPointF c, double radius, double a, bool detailed) {
  for (int i = 0; i < 5; ++i) {
    QTransform t;
    t.translate(c.x(), c.y());
    t.rotateRadians(a + i * 2 * kPi / 5);
    const QPainterPath petal = t.map(Petal(radius, radius * 0.78));
    QRadialGradient g(c, radius);
    g.setColorAt(0.0, QColor(0xEE, 0x86, 0xA0));
    g.setColorAt(0.35, pal::kSakura);
    g.setColorAt(1.0, pal::kSakuraLight);
    p.setPen(QPen(QColor(0xCF, 0x5E, 0x7E), detailed ? 1.6 : 1.0));
    p.setBrush(g);
    p.drawPath(petal);
    if (detailed) {
      p.setPen(QPen(QColor(0xE6, 0x8E, 0xA6), 1.0));
      for (double v : {-0.16, 0.0, 0.16}) {
        p.drawLine(t.map(QPointF(radius * 0.12, 0)), t.map(QPointF(radius * 0.55, radius * v)));
      }
    }
  }
  // Stamens.
  const int stamens = detailed ? 14 : 7;
  for (int i = 0; i < stamens; ++i) {
    const double b = a + i * 2 * kPi / stamens + 0.2;
    const double r = radius * (i % 2 == 0 ? 0.30 : 0.24);
    const QPointF tip(c.x() + r * std::cos(b), c.y() + r * std::sin(b));
    p.setPen(QPen(QColor(0xC2, 0x4D, 0x6E), detailed ? 1.3 : 0.8));
    p.drawLine(c, tip);
    p.setPen(Qt::NoPen);
    p.setBrush(pal::kGold);
    p.drawEllipse(tip, detailed ? 2.4 : 1.3, detailed ? 2.4 : 1.3);
  }
  p.setBrush(QColor(0xD8, 0x62, 0x82));
  p.drawEllipse(c, radius * 0.07, radius * 0.07);
}

}  // namespace

// Pattern 2, flower: one great cherry blossom on a spring sky, a spray of
// small ones and falling petals.
QImage DrawFlowerTiles() {
  QImage img = Blank(kSheet, kSheet, pal::kSky);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);

  QLinearGradient sky(0, 0, 0, kSheet);
  sky.setColorAt(0, QColor(0xC9, 0xDF, 0xF0));
  sky.setColorAt(1, QColor(0xEE, 0xF3, 0xDF));
  p.fillRect(img.rect(), sky);

  // A branch from the bottom left to the top right, behind the blossom.
  QPainterPath branch;
  branch.moveTo(-10, 178);
  branch.cubicTo(40, 150, 80, 150, 110, 110);
  branch.cubicTo(140, 70, 160, 40, 205, 18);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x5A, 0x3B, 0x2E), 9, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(branch);
  p.setPen(QPen(QColor(0x7E, 0x57, 0x44), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(branch.translated(-1, -2));
  QPainterPath twig;
  twig.moveTo(150, 55);
  twig.cubicTo(158, 80, 170, 95, 186, 104);
  twig.moveTo(40, 158);
  twig.cubicTo(30, 130, 18, 118, 6, 110);
  p.setPen(QPen(QColor(0x5A, 0x3B, 0x2E), 4, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(twig);

  // Leaves.
  auto leaf = [&](QPointF at, double angle) {
    QTransform t;
    t.translate(at.x(), at.y());
    t.rotateRadians(angle);
    QPainterPath l;
    l.moveTo(0, 0);
    l.quadTo(9, -7, 20, 0);
    l.quadTo(9, 7, 0, 0);
    p.setPen(QPen(QColor(0x4E, 0x7E, 0x3F), 1));
    p.setBrush(pal::kLeaf);
    p.drawPath(t.map(l));
  };
  leaf(QPointF(186, 104), 0.5);
  leaf(QPointF(6, 110), 3.6);
  leaf(QPointF(170, 30), -2.4);

  // Small blossoms and buds along the branch.
  Blossom(p, QPointF(168, 34), 17, 0.4, false);
  Blossom(p, QPointF(26, 160), 15, 1.3, false);
  Blossom(p, QPointF(180, 152), 13, 2.1, false);
  p.setPen(QPen(QColor(0xCF, 0x5E, 0x7E), 1));
  p.setBrush(QColor(0xF0, 0x9C, 0xB2));
  p.drawEllipse(QPointF(184, 108), 5, 6.5);
  p.drawEllipse(QPointF(10, 104), 5, 6);

  // The great blossom.
  Blossom(p, QPointF(92, 98), 86, -1.38, true);

  // Falling petals.
  struct Falling {
    double x, y, angle, size;
  };
  const Falling falling[] = {{24, 24, 0.7, 13},   {58, 44, 2.2, 9}, {150, 128, 1.1, 11},
                             {118, 178, 2.8, 12}, {30, 96, 4.0, 8}, {140, 6, 5.2, 9}};
  for (const Falling& f : falling) {
    QTransform t;
    t.translate(f.x, f.y);
    t.rotateRadians(f.angle);
    p.setPen(QPen(QColor(0xD8, 0x78, 0x94), 1));
    p.setBrush(pal::kSakura);
    p.drawPath(t.map(Petal(f.size, f.size * 0.8)));
  }
  p.end();
  BevelCells(img);
  return img;
}

namespace {

// A Catmull-Rom curve through the points, sampled every pixel or so.
std::vector<QPointF> Spline(const std::vector<QPointF>& pts) {
  std::vector<QPointF> out;
  for (size_t i = 0; i + 1 < pts.size(); ++i) {
    const QPointF p0 = pts[i == 0 ? 0 : i - 1], p1 = pts[i], p2 = pts[i + 1];
    const QPointF p3 = pts[i + 2 < pts.size() ? i + 2 : i + 1];
    const double len = std::hypot(p2.x() - p1.x(), p2.y() - p1.y());
    const int steps = std::max(2, static_cast<int>(len));
    for (int k = 0; k < steps; ++k) {
      const double t = static_cast<double>(k) / steps, t2 = t * t, t3 = t2 * t;
      out.push_back(0.5 * ((2 * p1) + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2 +
                           (-p0 + 3 * p1 - 3 * p2 + p3) * t3));
    }
  }
  out.push_back(pts.back());
  return out;
}

// A flat ribbon along the curve that twists as it goes: its width swells and
// narrows, and it shows its darker back between the twists.
void TwistedRibbon(QPainter& p, const std::vector<QPointF>& points, double width, double twistLength,
                   double twistPhase, const QColor& front, const QColor& back, const QColor& edge) {
  const std::vector<QPointF> c = Spline(points);
  std::vector<QPointF> left(c.size()), right(c.size());
  std::vector<double> turn(c.size());
  double along = 0;
  for (size_t i = 0; i < c.size(); ++i) {
    if (i > 0) along += std::hypot(c[i].x() - c[i - 1].x(), c[i].y() - c[i - 1].y());
    const QPointF d = c[std::min(i + 1, c.size() - 1)] - c[i == 0 ? 0 : i - 1];
    const double n = std::hypot(d.x(), d.y());
    const QPointF normal = n > 0 ? QPointF(-d.y() / n, d.x() / n) : QPointF(0, 1);
    turn[i] = std::cos(2 * kPi * along / twistLength + twistPhase);
    const double half = width / 2 * (0.32 + 0.68 * std::fabs(turn[i]));
    left[i] = c[i] + normal * half;
    right[i] = c[i] - normal * half;
  }
  for (size_t i = 0; i + 1 < c.size(); ++i) {
    const double t = 0.5 * (turn[i] + turn[i + 1]);
    const QColor face = t >= 0 ? Mix(front.darker(112), front.lighter(108), std::fabs(t))
                               : Mix(back.darker(115), back, std::fabs(t));
    QPolygonF quad;
    quad << left[i] << left[i + 1] << right[i + 1] << right[i];
    p.setPen(QPen(face, 0.8));
    p.setBrush(face);
    p.drawPolygon(quad);
  }
  // A satin sheen down the middle of the front.
  for (size_t i = 0; i + 1 < c.size(); ++i) {
    const double t = 0.5 * (turn[i] + turn[i + 1]);
    if (t <= 0.35) continue;
    p.setPen(
        QPen(QColor(255, 255, 255, static_cast<int>(110 * (t - 0.35) / 0.65)), 2.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(0.6 * left[i] + 0.4 * right[i], 0.6 * left[i + 1] + 0.4 * right[i + 1]);
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(edge, 1.1));
  p.drawPolyline(left.data(), static_cast<int>(left.size()));
  p.drawPolyline(right.data(), static_cast<int>(right.size()));
}

}  // namespace

// Pattern 3, ribbon: two ribbons twisting over gingham. The check repeats in
// every cell and the ribbons look alike along their length, so only their
// course tells the tiles apart: the hardest set.
QImage DrawRibbonTiles() {
  QImage img = Blank(kSheet, kSheet, QColor(0xFB, 0xF0, 0xF3));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);

  const QColor stripe(0xF2, 0xC4, 0xD0, 120);
  for (int k = 0; k < kSheet; k += 16) {
    p.fillRect(QRect(k, 0, 8, kSheet), stripe);
    p.fillRect(QRect(0, k, kSheet, 8), stripe);
  }

  TwistedRibbon(p,
                {{-20, 40},
                 {30, 18},
                 {80, 40},
                 {78, 96},
                 {30, 118},
                 {26, 170},
                 {86, 176},
                 {120, 130},
                 {160, 150},
                 {178, 100},
                 {150, 60},
                 {170, 14},
                 {215, 10}},
                22, 130, 0.0, QColor(0xEE, 0x8C, 0xA8), QColor(0xCF, 0x68, 0x88), QColor(0xA8, 0x45, 0x66));
  TwistedRibbon(p, {{-20, 120}, {40, 70}, {110, 80}, {130, 20}, {100, -20}}, 18, 110, 1.2, pal::kLilac,
                pal::kLilacBack, pal::kLilacEdge);
  TwistedRibbon(p, {{90, 215}, {110, 160}, {150, 190}, {215, 150}}, 18, 110, 2.0, pal::kLilac, pal::kLilacBack,
                pal::kLilacEdge);
  p.end();
  BevelCells(img);
  return img;
}

}  // namespace tiles
