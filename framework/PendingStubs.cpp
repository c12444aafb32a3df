// Stand-ins for the sound loader and the resource-file reader until they land.
#include "framework/Application.h"
#include "framework/Sound.h"

namespace fw {
Ref<Sound> LoadSound(const std::string&) { return nullptr; }
ResourceFork::ResourceFork(std::string) {}
Ref<fw::MouseCursor> ResourceFork::GetCursor(int16_t) const { return nullptr; }
std::string ResourceFork::Resource(const std::string&, int16_t) const { return {}; }
}  // namespace fw
