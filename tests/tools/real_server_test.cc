// fidora-client and fidora-load against the real server, the way the README tells a newcomer
// to use them: replies decoded, block requests from standard input, and a load run that gets
// every request answered.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>

#include "support/fidora_process.h"
#include "support/loopback_socket.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

std::string Tool(const std::string& relative) {
  return std::string(FIDORA_BINARY_DIR) + "/tools/" + relative;
}

class ToolsOnRealServer : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = root_ / "data";
    std::filesystem::create_directories(data_);
    std::filesystem::create_directories(root_ / "run");
    const test::ProgramResult made = test::RunProgram(
        Tool("dbf/fidora-dbf"), {"create", (data_ / "TRACKER").string(), "TRAKNUM;C;16;0"});
    ASSERT_EQ(made.status, 0) << made.err;
    port_ = test::FreeLoopbackPort();
    server_ = std::make_unique<test::FidoraProcess>(
        root_.path(), root_ / "run",
        std::vector<std::string>{"--headless", "--data-dir", data_.string(), "--port",
                                 std::to_string(port_), "--second-port",
                                 std::to_string(test::FreeLoopbackPort())});
    ASSERT_TRUE(server_->WaitUntilListening(port_)) << server_->Stderr();
  }
  void TearDown() override {
    if (!server_) return;
    server_->Signal(SIGTERM);
    EXPECT_EQ(server_->Wait(), 0) << server_->Stderr();
  }

  test::ProgramResult Client(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--port", std::to_string(port_), "--timeout", "10"});
    return test::RunProgram(Tool("client/fidora-client"), args, input);
  }

  test::TempDir root_;
  std::filesystem::path data_;
  uint16_t port_ = 0;
  std::unique_ptr<test::FidoraProcess> server_;
};

TEST_F(ToolsOnRealServer, ClientPrintsDecodedRepliesOfTextAndBlockRequests) {
  const test::ProgramResult vers = Client({"vers¦15.17.22"});
  EXPECT_EQ(vers.status, 0) << vers.err;
  EXPECT_EQ(vers.out.rfind("VERS¦", 0), 0u) << vers.out;
  EXPECT_NE(vers.out.find("\nSTAT¦Tillona version needs to be at least 15.17.23\n"),
            std::string::npos)
      << vers.out;

  // A block request of two lines: the first line is the command.
  const test::ProgramResult block = Client({"-"}, "foo¦x\nsecond line\n");
  EXPECT_EQ(block.status, 0) << block.err;
  EXPECT_EQ(block.out, "STAT¦Unknown Command - \"FOO\"\n");

  const test::ProgramResult raw = Client({"--raw", "NOW"});
  EXPECT_EQ(raw.status, 0) << raw.err;
  EXPECT_EQ(raw.out.rfind("B\xA6", 0), 0u) << raw.out;
  EXPECT_NE(raw.out.find("\r\nTIME\xA6"), std::string::npos) << raw.out;
}

TEST_F(ToolsOnRealServer, LoadRunGetsEveryRequestAnswered) {
  const test::ProgramResult load = test::RunProgram(
      Tool("load/fidora-load"), {"--port", std::to_string(port_), "--connections", "8",
                                 "--requests", "2000", "--timeout", "60", "NOW"});
  EXPECT_EQ(load.status, 0) << load.out << load.err;
  EXPECT_NE(load.out.find("errors: 0"), std::string::npos) << load.out;
  EXPECT_EQ(load.out.rfind("requests/s: ", 0), 0u) << load.out;
}

}  // namespace
}  // namespace fidora
