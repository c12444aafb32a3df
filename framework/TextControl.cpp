#include "framework/TextControls.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <algorithm>
#include <cmath>

#include "framework/TextControlsPrivate.h"
#include "framework/WidgetsPrivate.h"

namespace fw {

namespace textcontrols {

namespace {

// The fonts that hold the Japanese characters that a Latin user-interface
// font lacks (Debian's fonts-vlgothic).
const char* const kJapaneseFallbacks[] = {"VL Gothic", "VL PGothic"};

}  // namespace

QFont FontFor(const std::string& name, double size, int32_t unit, bool bold, bool italic, bool underline) {
  QFont f = (name.empty() || name == "System") ? QFontDatabase::systemFont(QFontDatabase::GeneralFont)
                                               : QFont(QString::fromStdString(name));
  // The family that the name resolves to: the desktop's font is often an
  // alias ("Sans Serif"), which would lose to the fallback in a family list.
  QStringList families{QFontInfo(f).family()};
  for (const char* jp : kJapaneseFallbacks)
    if (!families.contains(QString::fromLatin1(jp))) families << QString::fromLatin1(jp);
  f.setFamilies(families);
  if (size > 0) {
    if (unit == 1)
      f.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
    else
      f.setPointSizeF(size);
  }
  f.setBold(bold);
  f.setItalic(italic);
  f.setUnderline(underline);
  return f;
}

// A text with CR, CR LF or LF line ends as the platform shows it (LF).
QString Shown(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar('\n'));
  return s;
}

QColor ToQColor(Color c) { return QColor::fromRgb(c.Red(), c.Green(), c.Blue()); }

double PropertyNumber(const std::string& name, const PropertyValue& v) {
  if (const double* d = std::get_if<double>(&v)) return *d;
  return PropertyInt(name, v);
}

// Design values that this platform has no use for are accepted only at the
// value that asks for nothing, so that a table asking for more fails loudly.
void RequireEmpty(const std::string& name, const PropertyValue& v) {
  if (!PropertyString(name, v).empty())
    throw DesignPropertyError("design property \"" + name + "\" is not supported; it must be empty");
}

void RequireFalse(const std::string& name, const PropertyValue& v) {
  if (PropertyBool(name, v))
    throw DesignPropertyError("design property \"" + name + "\" is not supported; it must be False");
}

}  // namespace textcontrols

using namespace textcontrols;

// ---------------------------------------------------------------- TextControl

TextControl::TextControl() = default;
TextControl::~TextControl() = default;

void TextControl::TextFont(const std::string& name) {
  font_ = name;
  ApplyFont();
}

void TextControl::TextSize(double size) {
  size_ = std::max(0.0, size);
  ApplyFont();
}

void TextControl::TextUnit(int32_t unit) {
  if (unit < 0 || unit > 2) throw DesignPropertyError("TextUnit " + std::to_string(unit) + " is not supported");
  unit_ = unit;
  ApplyFont();
}

void TextControl::Bold(bool on) {
  bold_ = on;
  ApplyFont();
}

void TextControl::Italic(bool on) {
  italic_ = on;
  ApplyFont();
}

void TextControl::Underline(bool on) {
  underline_ = on;
  ApplyFont();
}

void TextControl::ApplyFont() {
  Constructor();
  if (Widget() && Widget()->widget)
    Widget()->widget->setFont(FontFor(font_, size_, unit_, bold_, italic_, underline_));
}

void TextControl::SetProperty(const std::string& name, const PropertyValue& value) {
  if (name == "TextFont") {
    TextFont(PropertyString(name, value));
  } else if (name == "TextSize") {
    TextSize(PropertyNumber(name, value));
  } else if (name == "TextUnit") {
    TextUnit(PropertyInt(name, value));
  } else if (name == "Bold") {
    Bold(PropertyBool(name, value));
  } else if (name == "Italic") {
    Italic(PropertyBool(name, value));
  } else if (name == "Underline") {
    Underline(PropertyBool(name, value));
  } else if (name == "DataField" || name == "DataSource") {
    RequireEmpty(name, value);  // no database binding here
  } else {
    RectControl::SetProperty(name, value);
  }
}

}  // namespace fw
