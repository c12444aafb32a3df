// The four tile patterns: each a 192 x 192 picture cut into 3 x 3 cells of
// 64 x 64, every cell bevelled so that the tiles read as tiles while the
// whole picture stays continuous.
#pragma once

#include <QImage>

namespace tiles {

QImage DrawRingTiles();    // pattern 0
QImage DrawNumberTiles();  // pattern 1
QImage DrawFlowerTiles();  // pattern 2
QImage DrawRibbonTiles();  // pattern 3

}  // namespace tiles
