// Every picture of the game, drawn with Qt's painter.
#pragma once

#include <QImage>
#include <QString>
#include <vector>

#include "engine/WindowLayout.h"

struct NamedPicture {
  QString name;  // the accessor's name; the file is name + ".png"
  QImage image;
};

// The eighteen pictures in the order of their accessors. Needs the Japanese
// font loaded (art::LoadJapaneseFont).
std::vector<NamedPicture> DrawPictures();

// The picture of that name in the list; a null image when there is none.
QImage FindPicture(const std::vector<NamedPicture>& pictures, const QString& name);
