#include "shell/version.h"

#include <fmt/printf.h>

namespace fidora {

std::string VersionString(bool with_build) {
  if (with_build)
    return fmt::sprintf("%.2d.%.2d.%.2d %.4d", FIDORA_VERSION_MAJOR, FIDORA_VERSION_MINOR,
                        FIDORA_VERSION_PATCH, FIDORA_VERSION_TWEAK);
  return fmt::sprintf("%.2d.%.2d.%.2d", FIDORA_VERSION_MAJOR, FIDORA_VERSION_MINOR,
                      FIDORA_VERSION_PATCH);
}

}  // namespace fidora
