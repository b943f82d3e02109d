// The real server started on the demo shop, as ./run.sh does: it binds its whole table
// catalogue at the deferred start without an error and shuts down in order.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "support/fidora_process.h"
#include "support/loopback_socket.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

TEST(ServerOnDemoShop, BindsTheCatalogueAtTheDeferredStart) {
  test::TempDir root;
  const std::filesystem::path data = root / "demo-data";
  const test::ProgramResult demo = test::RunProgram(
      std::string(FIDORA_BINARY_DIR) + "/tools/dbf/fidora-dbf", {"demo", data.string()});
  ASSERT_EQ(demo.status, 0) << demo.err;
  std::filesystem::create_directories(root / "run");

  const uint16_t port = test::FreeLoopbackPort();
  const uint16_t second = test::FreeLoopbackPort();
  test::FidoraProcess server(root.path(), root / "run",
                             {"--headless", "--data-dir", data.string(), "--port",
                              std::to_string(port), "--second-port", std::to_string(second)});
  ASSERT_TRUE(server.WaitUntilListening(port)) << server.Stderr();
  // The deferred start ends with the caption line; an error in it would stop before.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (server.Stderr().find("listening on ports") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const std::string err = server.Stderr();
  EXPECT_NE(err.find("Set Data Path : " + data.string() + "/"), std::string::npos) << err;
  EXPECT_NE(err.find("listening on ports"), std::string::npos) << err;
  EXPECT_EQ(err.find("unexpectedly"), std::string::npos) << err;
  for (const auto& entry : std::filesystem::directory_iterator(data / "Debug"))
    EXPECT_NE(entry.path().filename().string().rfind("crash-", 0), 0u)
        << test::ReadFile(entry.path());
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(), 0) << server.Stderr();
}

}  // namespace
}  // namespace fidora
