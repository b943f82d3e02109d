// A test fixture that runs the real server on free loopback ports, in a temporary data
// directory (with the service tables, empty) and its own runtime directory. Every server a test
// started must end in order on SIGTERM with status 0 (which also catches sanitizer reports of
// the server process).
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/fidora_process.h"
#include "support/loopback_socket.h"
#include "support/service_shop.h"
#include "support/temp_dir.h"

namespace fidora::test {

class ServerFixture : public ::testing::Test {
 protected:
  ServerFixture() {
    std::filesystem::create_directories(data_dir());
    std::filesystem::create_directories(runtime_dir());
    // The service tables, empty: the start finds nothing to upgrade or to reindex.
    WriteServiceShop(data_dir().string() + "/", 0, 0);
  }

  std::filesystem::path data_dir() const { return root_ / "data"; }
  std::filesystem::path runtime_dir() const { return root_ / "run"; }
  std::filesystem::path debug_dir() const { return data_dir() / "Debug"; }

  void TearDown() override {
    for (const auto& server : servers_) {
      server->Signal(SIGTERM);
      EXPECT_EQ(server->Wait(), 0) << server->Stderr();
    }
  }

  // Starts a server with `extra` arguments and waits until both ports listen.
  FidoraProcess* Start(std::vector<std::string> extra = {}) {
    port_ = FreeLoopbackPort();
    second_port_ = FreeLoopbackPort();
    std::vector<std::string> args = {
        "--headless",          "--data-dir",    data_dir().string(),         "--port",
        std::to_string(port_), "--second-port", std::to_string(second_port_)};
    args.insert(args.end(), extra.begin(), extra.end());
    servers_.push_back(std::make_unique<FidoraProcess>(root_.path(), runtime_dir(), args));
    FidoraProcess* server = servers_.back().get();
    EXPECT_TRUE(server->WaitUntilListening(port_)) << server->Stderr();
    EXPECT_TRUE(server->WaitUntilListening(second_port_)) << server->Stderr();
    return server;
  }

  // Writes a configuration file with `lines` and returns the arguments that name it.
  std::vector<std::string> Config(const std::string& lines) {
    const auto path = root_ / "vorlund.cfg";
    std::ofstream(path, std::ios::binary) << lines;
    return {"--config", path.string()};
  }

  std::string CrashReports() const {
    std::string all;
    if (!std::filesystem::exists(debug_dir())) return all;
    for (const auto& entry : std::filesystem::directory_iterator(debug_dir()))
      if (entry.path().filename().string().rfind("crash-", 0) == 0) all += ReadFile(entry.path());
    return all;
  }
  std::string StatusLog() const { return ReadFile(debug_dir() / "STATUS.TXT"); }

  TempDir root_;
  std::vector<std::unique_ptr<FidoraProcess>> servers_;
  uint16_t port_ = 0;
  uint16_t second_port_ = 0;
};

}  // namespace fidora::test
