#include "ResourceFile.h"

#include <QtEndian>
#include <cstring>
#include <stdexcept>

namespace {

// 'X' black, '.' white, ' ' transparent.
const char* const kHand[16] = {
    "     XX         ", "    X..X        ", "    X..X        ", "    X..X        ",
    "    X..XXX      ", "    X..X..XXX   ", "    X..X..X..X  ", " XX X..X..X..XX ",
    "X..XX........X.X", "X...X..........X", " X.............X", "  X............X",
    "  X...........X ", "   X..........X ", "    X........X  ", "    XXXXXXXXXX  ",
};

void Append16(QByteArray& out, uint16_t v) {
  char b[2];
  qToBigEndian(v, b);
  out.append(b, 2);
}

void Append32(QByteArray& out, uint32_t v) {
  char b[4];
  qToBigEndian(v, b);
  out.append(b, 4);
}

}  // namespace

Cursor PointingHand() {
  Cursor c;
  for (int y = 0; y < 16; ++y) {
    if (std::strlen(kHand[y]) != 16) throw std::logic_error("a cursor row is not 16 pixels wide");
    for (int x = 0; x < 16; ++x) {
      const uint16_t bit = static_cast<uint16_t>(0x8000u >> x);
      if (kHand[y][x] == 'X') c.image[y] |= bit;
      if (kHand[y][x] != ' ') c.mask[y] |= bit;
    }
  }
  c.hotRow = 0;
  c.hotColumn = 5;
  return c;
}

QByteArray CursorResource(const Cursor& cursor) {
  QByteArray out;
  for (uint16_t row : cursor.image) Append16(out, row);
  for (uint16_t row : cursor.mask) Append16(out, row);
  Append16(out, static_cast<uint16_t>(cursor.hotRow));
  Append16(out, static_cast<uint16_t>(cursor.hotColumn));
  return out;
}

QImage CursorImage(const Cursor& cursor, int scale) {
  QImage img(16 * scale, 16 * scale, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const uint16_t bit = static_cast<uint16_t>(0x8000u >> x);
      if (!(cursor.mask[y] & bit)) continue;
      const QRgb c = (cursor.image[y] & bit) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
      for (int dy = 0; dy < scale; ++dy)
        for (int dx = 0; dx < scale; ++dx) img.setPixel(x * scale + dx, y * scale + dy, c);
    }
  }
  return img;
}

QByteArray ResourceFile(const std::vector<ResourceEntry>& entries) {
  QByteArray out("RSRC");
  Append16(out, 1);
  Append16(out, static_cast<uint16_t>(entries.size()));
  for (const ResourceEntry& e : entries) {
    if (e.type.size() != 4) throw std::logic_error("a resource type is not four bytes");
    out.append(e.type);
    Append16(out, static_cast<uint16_t>(e.id));
    Append32(out, static_cast<uint32_t>(e.data.size()));
    out.append(e.data);
  }
  return out;
}
