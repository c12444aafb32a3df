// The cursor and the application's resource file.
//
// Resource file layout, all integers big-endian: "RSRC", uint16 version 1,
// uint16 entry count, then per entry a 4-byte type, int16 id, uint32 length
// and the data. A 'CURS' resource is 68 bytes: 16 rows of image bits, 16 rows
// of mask bits (bit 15 is the leftmost pixel), int16 hot spot row, int16 hot
// spot column.
#pragma once

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <vector>

struct Cursor {
  uint16_t image[16] = {};  // 1 = black
  uint16_t mask[16] = {};   // 1 = opaque (white where the image bit is 0)
  int16_t hotRow = 0, hotColumn = 0;
};

// Cursor 168: a pointing hand, its hot spot at the fingertip.
Cursor PointingHand();
QByteArray CursorResource(const Cursor& cursor);
// The cursor at `scale` times its size, transparent where the mask is 0.
QImage CursorImage(const Cursor& cursor, int scale);

struct ResourceEntry {
  QByteArray type;  // four bytes
  int16_t id;
  QByteArray data;
};
QByteArray ResourceFile(const std::vector<ResourceEntry>& entries);
