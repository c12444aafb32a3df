// The menu handlers of an application or a window, bound by item name.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace fw {

class MenuHandlers {
 public:
  void Add(const std::string& itemName, std::function<bool()> handler) {
    handlers_[itemName] = [h = std::move(handler)](int32_t) { return h(); };
  }
  // A handler of an item array receives the chosen item's index.
  void Add(const std::string& itemName, std::function<bool(int32_t)> handler) {
    handlers_[itemName] = std::move(handler);
  }
  // Runs the handler of the item; false when there is none or it did not
  // handle the command.
  bool Handle(const std::string& itemName, int32_t index) const {
    auto it = handlers_.find(itemName);
    if (it == handlers_.end()) return false;
    auto handler = it->second;  // the handler may register others meanwhile
    return handler(index);
  }

 private:
  std::map<std::string, std::function<bool(int32_t)>> handlers_;
};

}  // namespace fw
