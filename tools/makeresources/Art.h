// The palette and small drawing helpers shared by every picture.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QString>

namespace art {

// One palette for the whole game: indigo lacquer, washi paper, vermilion,
// gold and cherry blossom.
namespace pal {
inline const QColor kFrame{0x27, 0x33, 0x5C};       // window frame, indigo
inline const QColor kFrameLight{0x3A, 0x4B, 0x80};  // its highlights
inline const QColor kFrameDark{0x17, 0x1E, 0x38};   // its shadows
inline const QColor kTray{0x14, 0x1A, 0x31};        // the board's recess
inline const QColor kTrayLine{0x22, 0x2C, 0x52};    // wave lines in the recess
inline const QColor kInk{0x1B, 0x23, 0x40};         // text and outlines
inline const QColor kPaper{0xF6, 0xEE, 0xDC};       // washi cream
inline const QColor kPaperShade{0xE4, 0xD5, 0xB4};
inline const QColor kVermilion{0xD9, 0x47, 0x2B};
inline const QColor kVermilionLight{0xF0, 0x73, 0x4E};
inline const QColor kVermilionDark{0x9C, 0x2C, 0x1B};
inline const QColor kGold{0xE2, 0xB1, 0x4B};
inline const QColor kGoldLight{0xF5, 0xD8, 0x8C};
inline const QColor kGoldDark{0x9E, 0x73, 0x21};
inline const QColor kSakura{0xF6, 0xBF, 0xCC};
inline const QColor kSakuraLight{0xFC, 0xE6, 0xEB};
inline const QColor kSakuraDeep{0xD8, 0x62, 0x82};
inline const QColor kLeaf{0x6B, 0x9E, 0x58};
inline const QColor kSky{0xD9, 0xE9, 0xF4};
inline const QColor kLilac{0xC6, 0xB2, 0xE6};
inline const QColor kLilacBack{0x9C, 0x87, 0xCC};
inline const QColor kLilacEdge{0x6E, 0x5A, 0xA2};
inline const QColor kGreyBody{0x55, 0x5C, 0x78};
inline const QColor kGreyLight{0x8D, 0x93, 0xAA};
}  // namespace pal

// An opaque picture filled with one colour.
QImage Blank(int width, int height, const QColor& fill);
// A picture with an alpha channel, fully transparent.
QImage Clear(int width, int height);

// The colour t of the way from a to b (t = 0 gives a).
QColor Mix(const QColor& a, const QColor& b, double t);

// A ring between two circles about one centre, for filling.
QPainterPath Ring(QPointF centre, double inner, double outer);

// Loads the Japanese font from its file, so that the output does not depend
// on which fonts happen to be installed besides it. False when it is missing.
bool LoadJapaneseFont(QString* error);
// The Japanese font at a pixel size; `smooth` false renders crisp one-bit
// glyphs for small labels.
QFont JapaneseFont(int pixelSize, bool smooth);

}  // namespace art
