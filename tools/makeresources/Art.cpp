#include "Art.h"

#include <QFontDatabase>
#include <QStringList>
#include <algorithm>

namespace art {

namespace {
// From Debian's fonts-vlgothic package.
const char* const kJapaneseFontFile = "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf";

QString& JapaneseFamily() {
  static QString family;
  return family;
}
}  // namespace

QImage Blank(int width, int height, const QColor& fill) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(fill);
  return image;
}

QPainterPath Ring(QPointF centre, double inner, double outer) {
  QPainterPath path;
  path.addEllipse(centre, outer, outer);
  path.addEllipse(centre, inner, inner);
  path.setFillRule(Qt::OddEvenFill);
  return path;
}

QImage Clear(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

QColor Mix(const QColor& a, const QColor& b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  auto lerp = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
  return QColor(lerp(a.red(), b.red()), lerp(a.green(), b.green()), lerp(a.blue(), b.blue()),
                lerp(a.alpha(), b.alpha()));
}

bool LoadJapaneseFont(QString* error) {
  const int id = QFontDatabase::addApplicationFont(kJapaneseFontFile);
  const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
  if (families.isEmpty()) {
    *error = QString("cannot load the Japanese font %1 (Debian package fonts-vlgothic)").arg(kJapaneseFontFile);
    return false;
  }
  JapaneseFamily() = families.first();
  return true;
}

QFont JapaneseFont(int pixelSize, bool smooth) {
  QFont font(JapaneseFamily());
  font.setPixelSize(pixelSize);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setStyleStrategy(smooth ? QFont::PreferAntialias : QFont::NoAntialias);
  font.setKerning(false);
  return font;
}

}  // namespace art
