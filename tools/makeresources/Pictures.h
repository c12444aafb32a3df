// Every picture of the game, drawn with Qt's painter.
#pragma once

#include <QImage>
#include <QString>
#include <vector>

struct NamedPicture {
  QString name;  // the accessor's name; the file is name + ".png"
  QImage image;
};

// The eighteen pictures in the order of their accessors. Needs the Japanese
// font loaded (art::LoadJapaneseFont).
std::vector<NamedPicture> DrawPictures();

// The picture of that name in the list; a null image when there is none.
QImage FindPicture(const std::vector<NamedPicture>& pictures, const QString& name);

// Where the game window shows each piece (the window is 236 x 216).
namespace layout {
constexpr int kWindowWidth = 236, kWindowHeight = 216;
constexpr int kBoardWidth = 200, kBoardHeight = 198;
constexpr int kCell = 64, kBoardOrigin = 4;
constexpr int kRowButtonX = 200, kRowButtonTop[3] = {4, 68, 132};
constexpr int kRowButtonWidth = 32, kRowButtonHeight = 64;
constexpr int kStripY = 199;
constexpr int kStartButtonX = 10, kResetButtonX = 60, kCommandWidth = 40, kCommandHeight = 15;
constexpr int kMarkerX = 201, kMarkerWidth = 30, kMarkerHeight = 15;
constexpr int kPushMarkerWidth = 16;
}  // namespace layout
