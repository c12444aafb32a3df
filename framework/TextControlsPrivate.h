// Helpers shared by the text controls (Label, TabPanel, TextArea): their
// fonts, texts and colours as the platform takes them, and the checks of
// design values they do not support. Seen only by framework .cpp files.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <string>

#include "framework/Design.h"

namespace fw::textcontrols {

// A font by name ("System" or empty: the desktop's), with the Japanese
// fallback fonts behind it; size in points, or in pixels where unit is 1.
QFont FontFor(const std::string& name, double size, int32_t unit, bool bold, bool italic, bool underline);
// A text with CR, CR LF or LF line ends as the platform shows it (LF).
QString Shown(const std::string& text);
QColor ToQColor(Color c);
double PropertyNumber(const std::string& name, const PropertyValue& v);
// Design values that this platform has no use for are accepted only at the
// value that asks for nothing, so that a table asking for more fails loudly.
void RequireEmpty(const std::string& name, const PropertyValue& v);
void RequireFalse(const std::string& name, const PropertyValue& v);

}  // namespace fw::textcontrols
