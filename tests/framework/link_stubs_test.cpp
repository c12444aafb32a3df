// Until the framework's audio lands, FolderItem::OpenAsSound needs a
// LoadSound to link against. The stand-in is weak: the real one replaces it
// without a clash as soon as it is there, and this file can go.
#include "framework/Sound.h"

namespace fw {
__attribute__((weak)) Ref<Sound> LoadSound(const std::string&) { return nullptr; }
}  // namespace fw
