#include "framework/Design.h"

namespace fw {

void Designable::SetProperty(const std::string& name, const PropertyValue& /*value*/) {
  throw DesignPropertyError("unknown design property \"" + name + "\"");
}

void SetProperties(Designable& target, const PropertyList& list) {
  for (const auto& [name, value] : list) target.SetProperty(name, value);
}

namespace {
[[noreturn]] void WrongKind(const std::string& name, const char* kind) {
  throw DesignPropertyError("design property \"" + name + "\" needs " + kind);
}
}  // namespace

bool PropertyBool(const std::string& name, const PropertyValue& v) {
  if (const bool* b = std::get_if<bool>(&v)) return *b;
  if (const int32_t* i = std::get_if<int32_t>(&v)) return *i != 0;
  WrongKind(name, "a Boolean");
}

int32_t PropertyInt(const std::string& name, const PropertyValue& v) {
  if (const int32_t* i = std::get_if<int32_t>(&v)) return *i;
  WrongKind(name, "an integer");
}

std::string PropertyString(const std::string& name, const PropertyValue& v) {
  if (const std::string* s = std::get_if<std::string>(&v)) return *s;
  WrongKind(name, "a text");
}

Color PropertyColor(const std::string& name, const PropertyValue& v) {
  if (const Color* c = std::get_if<Color>(&v)) return *c;
  if (const int32_t* i = std::get_if<int32_t>(&v)) return Color{static_cast<uint32_t>(*i) & 0xFFFFFFu};
  WrongKind(name, "a colour");
}

}  // namespace fw
