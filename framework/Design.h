// Design properties: the values a window or control is given when it is
// built, applied in the order they are listed.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "framework/Graphics.h"

namespace fw {

using PropertyValue = std::variant<bool, int32_t, double, std::string, Color>;
using PropertyList = std::vector<std::pair<std::string, PropertyValue>>;

// Thrown for a property name that the object does not know, or a value of
// the wrong kind: a fault in the program's own design tables.
class DesignPropertyError : public RuntimeException {
 public:
  using RuntimeException::RuntimeException;
  const char* Name() const noexcept override { return "DesignPropertyError"; }
};

// An object that takes design properties.
class Designable {
 public:
  virtual ~Designable() = default;
  // Applies one property; a class handles the names it knows and passes
  // the others to its base class.
  virtual void SetProperty(const std::string& name, const PropertyValue& value);
};

// Applies the list in order.
void SetProperties(Designable& target, const PropertyList& list);

// The properties of `a` followed by those of `b`: a shared set with an
// object's own.
inline PropertyList Join(PropertyList a, const PropertyList& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Reads a property's value as the expected kind (an int32_t read as bool is
// false for 0), or throws DesignPropertyError.
bool PropertyBool(const std::string& name, const PropertyValue& v);
int32_t PropertyInt(const std::string& name, const PropertyValue& v);
std::string PropertyString(const std::string& name, const PropertyValue& v);
Color PropertyColor(const std::string& name, const PropertyValue& v);

}  // namespace fw
