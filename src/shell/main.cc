// fidora: the frequent-shopper server.
#include "shell/server_app.h"

int main(int argc, char** argv) {
  return fidora::RunServer(argc, argv);
}
