// The window's backdrop and the pieces that sit on it, and the list of every
// picture; the tile patterns are in TileSheets.cpp.
#include "Pictures.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <stdexcept>

#include "Art.h"
#include "TileSheets.h"

using namespace art;
using namespace layout;
using namespace tiles;

namespace {

// Seigaiha waves: rows of overlapping fans of concentric arcs.
void Waves(QPainter& p, const QRect& area, int radius, const QColor& fill, const QColor& line) {
  p.save();
  p.setClipRect(area);
  const int step = radius / 2;
  for (int row = 0, y = area.top() - radius; y <= area.bottom() + radius; ++row, y += step) {
    const int shift = (row % 2) ? radius : 0;
    for (int x = area.left() - 2 * radius + shift; x <= area.right() + 2 * radius; x += 2 * radius) {
      const QPointF c(x, y + radius);
      p.setPen(Qt::NoPen);
      p.setBrush(fill);
      p.drawEllipse(c, radius - 0.5, radius - 0.5);
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(line, 1.0));
      for (int k = 4; k >= 1; --k) {
        const double r = radius * k / 4.0 - 1.0;
        p.drawEllipse(c, r, r);
      }
    }
  }
  p.restore();
}

void Outline(QImage& img, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
  for (int x = r.left(); x <= r.right(); ++x) {
    img.setPixelColor(x, r.top(), topLeft);
    img.setPixelColor(x, r.bottom(), bottomRight);
  }
  for (int y = r.top(); y <= r.bottom(); ++y) {
    img.setPixelColor(r.left(), y, topLeft);
    img.setPixelColor(r.right(), y, bottomRight);
  }
}

QImage DrawBackPict() {
  QImage img = Blank(kWindowWidth, kWindowHeight, pal::kFrame);
  {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect tray(kBoardOrigin, kBoardOrigin, kBoardSize * kCell, kBoardSize * kCell);
    p.fillRect(tray, pal::kTray);
    Waves(p, tray, 16, pal::kTray, pal::kTrayLine);
  }
  // The window's own rim, the gold line round the board and its recess.
  Outline(img, QRect(0, 0, kWindowWidth, kWindowHeight), pal::kFrameLight, pal::kFrameDark);
  Outline(img, QRect(1, 1, 198, 198), pal::kGold, pal::kGoldDark);
  Outline(img, QRect(3, 3, 194, 194), pal::kFrameDark, pal::kFrameLight);

  // The slot where the completion marker appears.
  const QRect slot(kMarkerX, kStripY, kMarkerWidth, kMarkerHeight);
  {
    QPainter p(&img);
    p.fillRect(slot, pal::kTray);
  }
  Outline(img, slot, pal::kFrameDark, pal::kFrameLight);

  // A row of small gold diamonds between the command buttons and the slot.
  {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 7; ++i) {
      const QPointF c(116 + 12 * i, kStripY + 7.5);
      const double r = (i == 3) ? 3.5 : 2.5;
      QPainterPath d;
      d.moveTo(c.x(), c.y() - r);
      d.lineTo(c.x() + r, c.y());
      d.lineTo(c.x(), c.y() + r);
      d.lineTo(c.x() - r, c.y());
      d.closeSubpath();
      p.setBrush(i == 3 ? pal::kVermilion : pal::kGoldDark);
      p.drawPath(d);
    }
  }
  return img;
}

// The part of the backdrop that a control at (x, y) covers, so that a
// button's rounded corners show the window behind it.
QImage BehindControl(const QImage& back, int x, int y, int w, int h) {
  return back.copy(x, y, w, h).convertToFormat(QImage::Format_RGB32);
}

enum class Look { Normal, Pushed, Disabled };

// A row button: a lacquer key with a left-pointing arrow, since it pushes
// its row to the left.
QImage DrawRowButton(const QImage& back, Look look) {
  QImage img = BehindControl(back, kRowButtonX, kRowButtonTop[0], kRowButtonWidth, kRowButtonHeight);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF body(1.5, 1.5, 29, 61);

  QLinearGradient g(0, 0, 0, kRowButtonHeight);
  QColor edge;
  switch (look) {
    case Look::Normal:
      g.setColorAt(0, pal::kVermilionLight);
      g.setColorAt(1, pal::kVermilionDark);
      edge = QColor(0x5C, 0x17, 0x0C);
      break;
    case Look::Pushed:
      g.setColorAt(0, QColor(0x8A, 0x25, 0x16));
      g.setColorAt(1, pal::kVermilion);
      edge = QColor(0x4A, 0x10, 0x08);
      break;
    case Look::Disabled:
      g.setColorAt(0, pal::kGreyBody.lighter(115));
      g.setColorAt(1, pal::kGreyBody.darker(120));
      edge = pal::kFrameDark;
      break;
  }
  p.setPen(QPen(edge, 1));
  p.setBrush(g);
  p.drawRoundedRect(body, 5, 5);
  // Light along the top and left of a raised key, shadow inside a pressed one.
  p.setBrush(Qt::NoBrush);
  if (look == Look::Normal) {
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.drawRoundedRect(body.adjusted(1, 1, -1, -1), 4, 4);
  } else if (look == Look::Pushed) {
    p.setPen(QPen(QColor(0, 0, 0, 70), 2));
    p.drawLine(QPointF(5, 3.5), QPointF(27, 3.5));
  }

  const QPointF at = (look == Look::Pushed) ? QPointF(1, 1) : QPointF(0, 0);
  QPainterPath arrow;
  arrow.moveTo(7, 32);
  arrow.lineTo(16, 22);
  arrow.lineTo(16, 28);
  arrow.lineTo(25, 28);
  arrow.lineTo(25, 36);
  arrow.lineTo(16, 36);
  arrow.lineTo(16, 42);
  arrow.closeSubpath();
  arrow.translate(at);
  p.setPen(Qt::NoPen);
  if (look != Look::Disabled) {
    p.setBrush(QColor(0, 0, 0, 80));
    p.drawPath(arrow.translated(0, 1.5));
  }
  p.setBrush(look == Look::Disabled ? pal::kGreyLight : pal::kPaper);
  p.drawPath(arrow);

  // A stud above and below the arrow, like a lacquer key's inlay.
  p.setBrush(look == Look::Disabled ? pal::kGreyLight : pal::kGold);
  for (double y : {10.0, 54.0}) p.drawEllipse(QPointF(16, y) + at, 2, 2);
  return img;
}

// The row button's hit mask: black over the key, white round it.
QImage DrawRowButtonMask() {
  QImage img = Blank(kRowButtonWidth, kRowButtonHeight, Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawRoundedRect(QRectF(1, 1, 30, 62), 5, 5);
  p.end();
  // Keep it strictly two-levelled.
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      img.setPixelColor(x, y, qGray(img.pixel(x, y)) < 128 ? Qt::black : Qt::white);
    }
  }
  return img;
}

// A small label drawn crisp, centred in `box`.
void Label(QPainter& p, const QRectF& box, const QString& text, const QColor& color, int size, int spacing) {
  QFont font = JapaneseFont(size, false);
  font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
  p.setFont(font);
  p.setPen(color);
  p.drawText(box, Qt::AlignCenter, text);
}

// The shuffle and align buttons: paper plaques with their word on them.
QImage DrawCommandButton(const QImage& back, int x, const QString& text, bool pushed) {
  QImage img = BehindControl(back, x, kStripY, kCommandWidth, kCommandHeight);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF body(0.5, 0.5, kCommandWidth - 1, kCommandHeight - 1);
  QLinearGradient g(0, 0, 0, kCommandHeight);
  if (pushed) {
    g.setColorAt(0, pal::kGoldDark);
    g.setColorAt(1, pal::kGold);
  } else {
    g.setColorAt(0, QColor(0xFF, 0xFA, 0xEE));
    g.setColorAt(1, pal::kPaperShade);
  }
  p.setPen(QPen(pushed ? QColor(0x5E, 0x42, 0x10) : pal::kGoldDark, 1));
  p.setBrush(g);
  p.drawRoundedRect(body, 3, 3);
  p.setRenderHint(QPainter::Antialiasing, false);
  Label(p, QRectF(pushed ? 1 : 0, pushed ? 1 : 0, kCommandWidth, kCommandHeight), text, pal::kInk, 12, -1);
  return img;
}

// The completion marker: a vermilion seal reading 完成 (complete).
QImage DrawCompletePict(const QImage& back) {
  QImage img = BehindControl(back, kMarkerX, kStripY, kMarkerWidth, kMarkerHeight);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(pal::kVermilionDark, 1));
  QLinearGradient g(0, 0, 0, kMarkerHeight);
  g.setColorAt(0, pal::kVermilionLight);
  g.setColorAt(1, pal::kVermilion);
  p.setBrush(g);
  p.drawRoundedRect(QRectF(0.5, 0.5, kMarkerWidth - 1, kMarkerHeight - 1), 2.5, 2.5);
  p.setRenderHint(QPainter::Antialiasing, false);
  Label(p, QRectF(0, 0, kMarkerWidth, kMarkerHeight), QString::fromUtf8("完成"), pal::kPaper, 12, 0);
  return img;
}

// The marker at the right end of a sliding row: a golden push plate with
// motion streaks trailing to its right.
QImage DrawPushPict() {
  QImage img = Clear(kPushMarkerWidth, kCell);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  for (int i = 0; i < 5; ++i) {
    const double y = 9 + 11.5 * i;
    const double len = (i % 2 == 0) ? 12 : 9;
    QLinearGradient fade(4, 0, 4 + len, 0);
    fade.setColorAt(0, QColor(0xFF, 0xEC, 0xB0, 255));
    fade.setColorAt(0.4, QColor(0xF5, 0xD8, 0x8C, 200));
    fade.setColorAt(1, QColor(0xF5, 0xD8, 0x8C, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(fade);
    p.drawRoundedRect(QRectF(4, y - 1.25, len, 2.5), 1.2, 1.2);
  }
  QLinearGradient plate(0, 0, 4, 0);
  plate.setColorAt(0, pal::kGoldLight);
  plate.setColorAt(1, pal::kGoldDark);
  p.setPen(QPen(QColor(0x6E, 0x4E, 0x12), 0.8));
  p.setBrush(plate);
  p.drawRoundedRect(QRectF(0.5, 2.5, 3.5, 59), 1.5, 1.5);
  return img;
}

// The game's icon: the ring picture on a small board of 3 x 3 tiles.
QImage DrawIconPict() {
  QImage img = Blank(32, 32, Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(pal::kFrameDark, 1));
  p.setBrush(pal::kFrame);
  p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 6, 6);

  // The picture, drawn at the icon's own scale: tiles of 8 with 1-pixel joints.
  const QRectF board(3, 3, 26, 26);
  const QPointF c = board.center();
  QLinearGradient bg(board.topLeft(), board.bottomRight());
  bg.setColorAt(0, QColor(0xFB, 0xF5, 0xE6));
  bg.setColorAt(1, QColor(0xEE, 0xCB, 0xC0));
  p.setPen(Qt::NoPen);
  p.fillRect(board, bg);
  QConicalGradient hue(c, 90);
  hue.setColorAt(0.00, pal::kVermilion);
  hue.setColorAt(0.33, pal::kGold);
  hue.setColorAt(0.66, pal::kSakuraDeep);
  hue.setColorAt(1.00, pal::kVermilion);
  p.setBrush(hue);
  p.drawPath(Ring(c, 7.5, 11.5));
  p.setBrush(pal::kInk);
  p.drawPath(Ring(c, 3.2, 5.6));
  p.setBrush(pal::kGold);
  p.drawEllipse(c, 2.2, 2.2);
  p.setRenderHint(QPainter::Antialiasing, false);
  for (int joint : {11, 20}) {
    p.fillRect(QRect(joint, 3, 1, 26), pal::kFrame);
    p.fillRect(QRect(3, joint, 26, 1), pal::kFrame);
  }
  return img;
}

// The maker's logo: a golden D with a vermilion seal dot, on ink.
QImage DrawMakerPict() {
  QImage img = Blank(32, 32, Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient g(QPointF(12, 10), 22);
  g.setColorAt(0, pal::kFrameLight);
  g.setColorAt(1, pal::kInk);
  p.setPen(QPen(pal::kGoldDark, 1));
  p.setBrush(g);
  p.drawEllipse(QPointF(16, 16), 15.5, 15.5);
  QPainterPath d;
  d.moveTo(9, 7);
  d.lineTo(15, 7);
  d.cubicTo(27, 7, 27, 25, 15, 25);
  d.lineTo(9, 25);
  d.closeSubpath();
  QPainterPath hole;
  hole.moveTo(13, 11);
  hole.lineTo(15, 11);
  hole.cubicTo(21.5, 11, 21.5, 21, 15, 21);
  hole.lineTo(13, 21);
  hole.closeSubpath();
  QPainterPath letter = d.subtracted(hole);
  QLinearGradient gold(0, 7, 0, 25);
  gold.setColorAt(0, pal::kGoldLight);
  gold.setColorAt(1, pal::kGold);
  p.setPen(QPen(pal::kGoldDark, 0.8));
  p.setBrush(gold);
  p.drawPath(letter);
  p.setPen(Qt::NoPen);
  p.setBrush(pal::kVermilion);
  p.drawEllipse(QPointF(24.5, 24.5), 3, 3);
  return img;
}

// Pixel art from rows of characters: each character names a colour.
void PixelArt(QImage& img, int x0, int y0, const std::vector<const char*>& rows,
              const std::vector<std::pair<char, QColor>>& colours) {
  for (size_t y = 0; y < rows.size(); ++y) {
    for (size_t x = 0; rows[y][x] != '\0'; ++x) {
      for (const auto& [key, colour] : colours) {
        if (rows[y][x] == key) img.setPixelColor(x0 + static_cast<int>(x), y0 + static_cast<int>(y), colour);
      }
    }
  }
}

// The target-system picture: a terminal emblem above, and at (0, 32) the
// 16 x 8 badge that the About window shows: a prompt on an ink plate.
QImage DrawTargetSystemPict() {
  QImage img = Blank(16, 40, Qt::white);
  const std::vector<std::pair<char, QColor>> colours = {
      {'#', pal::kInk}, {'g', pal::kGold}, {'l', pal::kGoldLight}, {'f', pal::kFrameLight}};
  PixelArt(img, 0, 0,
           {"                ", " ############## ", "#ffffffffffffff#", "#f############f#", "#f############f#",
            "#f#l##########f#", "#f##l#########f#", "#f###l########f#", "#f##l#########f#", "#f#l##########f#",
            "#f#####gggg###f#", "#f############f#", "#f############f#", "#f############f#", "#ffffffffffffff#",
            " ############## ", "      ####      ", "    ########    "},
           colours);
  PixelArt(img, 0, 32,
           {" ############## ", "################", "##l#############", "###l############", "####l###########",
            "###l############", "##l###gggg######", " ############## "},
           colours);
  return img;
}

}  // namespace

std::vector<NamedPicture> DrawPictures() {
  const QImage back = DrawBackPict();
  const QImage flower = DrawFlowerTiles();
  const QImage ring = DrawRingTiles();
  // Every row button shares one set of pictures, so the backdrop must look
  // the same behind each of them.
  for (int top : kRowButtonTop) {
    if (BehindControl(back, kRowButtonX, top, kRowButtonWidth, kRowButtonHeight) !=
        BehindControl(back, kRowButtonX, kRowButtonTop[0], kRowButtonWidth, kRowButtonHeight)) {
      throw std::runtime_error("the backdrop differs behind the row buttons");
    }
  }
  const QString shuffle = QString::fromUtf8("混ぜる"), align = QString::fromUtf8("揃える");
  return {
      {"IconPict", DrawIconPict()},
      {"DrevakonPict", DrawMakerPict()},
      {"TargetSystemPict", DrawTargetSystemPict()},
      {"BackPict", back},
      {"ButtonPictN", DrawRowButton(back, Look::Normal)},
      {"ButtonPictR", DrawRowButton(back, Look::Pushed)},
      {"ButtonPictD", DrawRowButton(back, Look::Disabled)},
      {"ButtonPictM", DrawRowButtonMask()},
      {"PushPict", DrawPushPict()},
      {"StartBtnPictN", DrawCommandButton(back, kStartButtonX, shuffle, false)},
      {"StartBtnPictR", DrawCommandButton(back, kStartButtonX, shuffle, true)},
      {"ResetBtnPictN", DrawCommandButton(back, kResetButtonX, align, false)},
      {"ResetBtnPictR", DrawCommandButton(back, kResetButtonX, align, true)},
      {"Tile0Pict", ring},
      {"Tile1Pict", DrawNumberTiles()},
      {"Tile2Pict", flower},
      {"CompletePict", DrawCompletePict(back)},
      {"Tile3Pict", DrawRibbonTiles()},
  };
}

QImage FindPicture(const std::vector<NamedPicture>& pictures, const QString& name) {
  for (const NamedPicture& p : pictures) {
    if (p.name == name) return p.image;
  }
  return {};
}
