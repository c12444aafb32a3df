// Stand-in for the sound loader until it lands.
#include "framework/Sound.h"

namespace fw {
Ref<Sound> LoadSound(const std::string&) { return nullptr; }
}  // namespace fw
