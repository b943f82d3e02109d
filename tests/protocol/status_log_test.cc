#include "protocol/status_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "protocol/operator_view.h"
#include "protocol/server_settings.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

class MessageRecorder : public TOperatorView {
 public:
  void ShowInfo(std::string_view message, std::string_view caption) override {
    shown.push_back(std::string(caption) + "|" + std::string(message));
  }
  std::vector<std::string> shown;
};

std::string Contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(StatusLogTest, LineFormat) {
  std::tm when{};
  when.tm_mday = 26;
  when.tm_mon = 6;
  when.tm_year = 121;
  when.tm_hour = 10;
  when.tm_min = 57;
  EXPECT_EQ(StatusLine("Server Shutdown", when), "26/07/21, 10:57 FS Server - Server Shutdown");
  when.tm_mday = 3;
  when.tm_mon = 0;
  when.tm_year = 100;
  when.tm_hour = 7;
  when.tm_min = 5;
  EXPECT_EQ(StatusLine("x", when), "03/01/00, 07:05 FS Server - x");
}

TEST(StatusLogTest, AppendsCrLfLines) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "Debug");
  ServerSettings().DataPath = dir.dir();
  std::ofstream(dir / "Debug" / "STATUS.TXT", std::ios::binary) << "old line\r\n";
  StatusLog("Fidora Started : V21.07.26");
  StatusLog("Server Shutdown");
  const std::string text = Contents(dir / "Debug" / "STATUS.TXT");
  EXPECT_THAT(
      text,
      testing::MatchesRegex(
          "old line\r\n"
          "[0-3][0-9]/[01][0-9]/[0-9][0-9], [0-2][0-9]:[0-5][0-9] FS Server - Fidora Started : "
          "V21.07.26\r\n"
          "[0-3][0-9]/[01][0-9]/[0-9][0-9], [0-2][0-9]:[0-5][0-9] FS Server - Server Shutdown\r\n"))
      << text;
}

TEST(StatusLogTest, WithoutDebugFolderTellsTheOperatorAndWritesNothing) {
  test::TempDir dir;
  ServerSettings().DataPath = dir.dir();
  MessageRecorder view;
  SetOperator(&view);
  StatusLog("Server Shutdown");
  SetOperator(nullptr);
  EXPECT_EQ(view.shown,
            (std::vector<std::string>{"Error|Could not save to status.txt - folder not found"}));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(StatusLogTest, AnUnwritableFileRaises) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "Debug" / "STATUS.TXT");  // a folder in its place
  ServerSettings().DataPath = dir.dir();
  EXPECT_THROW(StatusLog("x"), EInOutError);
}

}  // namespace
}  // namespace fidora
