#include "shell/server_end.h"

#include <QCoreApplication>

namespace fidora {

namespace {
bool ending = false;
}  // namespace

void EndServer() {
  ending = true;
  QCoreApplication::exit(0);
}

bool ServerEnding() {
  return ending;
}

}  // namespace fidora
