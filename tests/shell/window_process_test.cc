// The real fidora choosing its face: a window when a display is there (Qt's offscreen
// platform here), the headless console when none is.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "support/fidora_process.h"
#include "support/loopback_socket.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

using test::FidoraProcess;
using test::LoopbackSocket;
using testing::HasSubstr;
using testing::Not;

class WindowProcessTest : public ::testing::Test {
 protected:
  WindowProcessTest() {
    std::filesystem::create_directories(root_ / "data");
    std::filesystem::create_directories(root_ / "run");
    std::filesystem::permissions(root_ / "run", std::filesystem::perms::owner_all);
    std::ofstream(root_ / "data" / "TRACKER.DBF") << "placeholder";
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(name);
  }

  // Starts fidora without --headless, serves one NOW, and stops it with SIGTERM.
  std::string ServeOnceAndStop() {
    const uint16_t port = test::FreeLoopbackPort();
    FidoraProcess server(root_.path(), root_ / "run",
                         {"--data-dir", (root_ / "data").string(), "--port", std::to_string(port),
                          "--second-port", std::to_string(test::FreeLoopbackPort())});
    EXPECT_TRUE(server.WaitUntilListening(port)) << server.Stderr();
    LoopbackSocket terminal(port);
    terminal.Send("NOW\r\n");
    EXPECT_EQ(terminal.ReadReply().size(), 3u) << server.Stderr();
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(), 0) << server.Stderr();
    EXPECT_TRUE(terminal.ClosedByPeer(std::chrono::seconds(2)));
    return server.Stderr();
  }

  std::string StatusLog() const { return test::ReadFile(root_ / "data" / "Debug" / "STATUS.TXT"); }

  test::TempDir root_;
};

TEST_F(WindowProcessTest, WithADisplayTheWindowShowsTheStartUpAndTheServerWorks) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string err = ServeOnceAndStop();
  // The start-up lines went to the window's log pane, not to standard error.
  EXPECT_THAT(err, Not(HasSubstr("Set Data Path")));
  EXPECT_THAT(StatusLog(), HasSubstr("FS Server - Fidora Started : V"));
  EXPECT_THAT(StatusLog(), HasSubstr("FS Server - Server Shutdown\r\n"));
}

// The window's start-up lets events run before the main loop does (the splash shows its
// progress); a SIGTERM taken then still ends the server instead of being forgotten.
TEST_F(WindowProcessTest, ASignalDuringTheStartUpEndsTheServer) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // A terminal served while the start-up runs is what lets the signal arrive that early.
  for (int attempt = 0; attempt < 20; ++attempt) {
    SCOPED_TRACE(attempt);
    ServeOnceAndStop();
  }
}

TEST_F(WindowProcessTest, WithoutADisplayItRunsHeadless) {
  const std::string err = ServeOnceAndStop();
  EXPECT_THAT(err, HasSubstr("Set Data Path : " + (root_ / "data").string() + "/"));
  EXPECT_THAT(StatusLog(), HasSubstr("FS Server - Server Shutdown\r\n"));
}

// A display named but gone (an X server that stopped, a compositor that crashed): the server
// says so and serves headless instead of letting the window system abort the start.
TEST_F(WindowProcessTest, ADisplayThatDoesNotAnswerFallsBackToHeadless) {
  for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
           {"DISPLAY", ":937"}, {"DISPLAY", "127.0.0.1:937"}, {"WAYLAND_DISPLAY", "wayland-937"}}) {
    SCOPED_TRACE(std::string(name) + "=" + value);
    ::setenv(name, value, 1);
    const std::string err = ServeOnceAndStop();
    ::unsetenv(name);
    EXPECT_THAT(err, HasSubstr("no display answers at " + std::string(name) + "=" + value));
    EXPECT_THAT(err, HasSubstr("Set Data Path : "));
  }
}

}  // namespace
}  // namespace fidora
