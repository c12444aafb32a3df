// Until the framework's audio and resource file land, the application
// library needs these to link against. The stand-ins are weak: the real ones
// replace them without a clash as soon as they are there, and this file can go.
#include "framework/Application.h"
#include "framework/Sound.h"

namespace fw {
__attribute__((weak)) Ref<Sound> LoadSound(const std::string&) { return nullptr; }
__attribute__((weak)) ResourceFork::ResourceFork(std::string) {}
}  // namespace fw
