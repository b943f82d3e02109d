#include "protocol/server_settings.h"

namespace fidora {

TServerSettings& ServerSettings() {
  static TServerSettings settings;
  return settings;
}

std::recursive_mutex& ServerLock() {
  static std::recursive_mutex lock;
  return lock;
}

}  // namespace fidora
