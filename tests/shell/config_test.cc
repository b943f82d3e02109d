#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "protocol/server_settings.h"
#include "shell/config_file.h"
#include "shell/crash_report.h"
#include "shell/data_path.h"
#include "shell/headless_console.h"
#include "shell/journal_line.h"
#include "shell/message_box_text.h"
#include "shell/options.h"
#include "shell/server_config.h"
#include "shell/version.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

std::string Contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(DataPathTest, NormaliseAddsTheSlashAndKeeps80Characters) {
  const std::string seventy_nine(79, 'd');
  const std::string eighty(80, 'd');
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {"/srv/pos", "/srv/pos/"},         {"/srv/pos/", "/srv/pos/"},         {"", "/"},
      {"C:\\POS\\DATA", "C:/POS/DATA/"}, {seventy_nine, seventy_nine + "/"}, {eighty, eighty},
      {eighty + "/more", eighty},
  };
  for (const Case& c : cases) EXPECT_EQ(NormaliseDataPath(c.in), c.out) << c.in;
}

TEST(DataPathTest, TrackerIsFoundWithoutRegardToCase) {
  test::TempDir dir;
  EXPECT_FALSE(SetDataPath(dir.path().string()));
  EXPECT_EQ(ServerSettings().DataPath, dir.dir());
  std::ofstream(dir / "Tracker.dbf") << "x";
  EXPECT_TRUE(SetDataPath(dir.path().string()));
  EXPECT_EQ(FindNoCase(dir.dir(), "TRACKER.DBF"), "Tracker.dbf");
  EXPECT_EQ(FindNoCase(dir.dir(), "CLUB.DBF"), std::nullopt);
}

TEST(DataPathTest, LoadDataPathReadsPospathOfSectionAlias) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "pos");
  std::ofstream(dir / "pos" / "tracker.DBF") << "x";
  const auto cfg = dir / "vorlund.cfg";
  std::ofstream(cfg, std::ios::binary)
      << "[Other]\r\nPOSPATH=/wrong\r\n[alias]\r\n ; comment\r\n  pospath = " << dir.path().string()
      << "\\pos \r\n";
  EXPECT_TRUE(LoadDataPath(TConfigFile(cfg.string())));
  EXPECT_EQ(ServerSettings().DataPath, dir.dir() + "pos/");

  EXPECT_FALSE(LoadDataPath(TConfigFile((dir / "missing.cfg").string())));
  EXPECT_EQ(ServerSettings().DataPath, "/");
}

TEST(ConfigFileTest, WritingAKeyKeepsEveryOtherByte) {
  test::TempDir dir;
  const auto path = dir / "vorlund.cfg";
  const std::string before =
      "; shared with the POS programs\r\n[Alias]\r\nPOS=C:\\POS\r\nPOSPATH=old\r\nX=1\r\n\r\n"
      "[Printers]\r\nA=B";
  std::ofstream(path, std::ios::binary) << before;
  TConfigFile config(path.string());
  config.WriteString("Alias", "POSPATH", "/srv/pos/");
  EXPECT_EQ(
      Contents(path),
      "; shared with the POS programs\r\n[Alias]\r\nPOS=C:\\POS\r\nPOSPATH=/srv/pos/\r\nX=1\r\n"
      "\r\n[Printers]\r\nA=B");
  EXPECT_EQ(config.ReadString("ALIAS", "pospath"), "/srv/pos/");
}

TEST(ConfigFileTest, WritingAMissingKeyOrSectionAddsIt) {
  test::TempDir dir;
  const auto path = dir / "vorlund.cfg";
  std::ofstream(path, std::ios::binary) << "[Alias]\nPOS=x\n\n[Other]\nK=v";
  TConfigFile config(path.string());
  config.WriteString("Alias", "POSPATH", "/p/");
  EXPECT_EQ(Contents(path), "[Alias]\nPOS=x\nPOSPATH=/p/\n\n[Other]\nK=v");

  TConfigFile fresh((dir / "new.cfg").string());
  fresh.WriteString("Alias", "POSPATH", "/q/");
  EXPECT_EQ(Contents(dir / "new.cfg"), "[Alias]\r\nPOSPATH=/q/\r\n");
  EXPECT_EQ(fresh.ReadString("Alias", "POSPATH"), "/q/");
  EXPECT_EQ(fresh.ReadString("Alias", "NONE", "dflt"), "dflt");
}

TEST(ConfigFileTest, PathComesFromTheOptionThenTheEnvironment) {
  EXPECT_EQ(ConfigFilePath(std::string("/x/my.cfg")), "/x/my.cfg");
  setenv("FIDORA_CONFIG", "/y/env.cfg", 1);
  EXPECT_EQ(ConfigFilePath(std::nullopt), "/y/env.cfg");
  unsetenv("FIDORA_CONFIG");
  setenv("XDG_CONFIG_HOME", "/z", 1);
  if (!std::filesystem::exists("/etc/vorlund.cfg")) {
    EXPECT_EQ(ConfigFilePath(std::nullopt), "/z/vorlund.cfg");
  }
}

TEST(ConfigFileTest, FidorasOwnSectionSetsTheConnectionLimits) {
  test::TempDir dir;
  const auto path = dir / "vorlund.cfg";
  std::ofstream(path, std::ios::binary)
      << "[Alias]\r\nPOSPATH=/srv/pos\r\n[fidora]\r\nMemoryBudgetMiB=64\r\n"
         "StallTimeoutSeconds=soon\r\n";
  std::vector<std::string> problems;
  const TConnectionLimits limits = ReadConnectionLimits(TConfigFile(path.string()), problems);
  EXPECT_EQ(limits.memory_budget, int64_t{64} << 20);
  EXPECT_EQ(limits.stall_timeout, std::chrono::seconds(60));  // the default stays
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("StallTimeoutSeconds=soon"), std::string::npos) << problems[0];

  problems.clear();
  const TConnectionLimits defaults =
      ReadConnectionLimits(TConfigFile((dir / "missing.cfg").string()), problems);
  EXPECT_EQ(defaults.memory_budget, int64_t{256} << 20);
  EXPECT_TRUE(problems.empty());
}

TEST(OptionsTest, ParsesEveryOption) {
  const TOptions options =
      ParseOptions({"--headless", "--data-dir", "/d", "--config=/c.cfg", "--port", "9000",
                    "--second-port=9001", "--log-transactions"});
  EXPECT_TRUE(options.headless);
  EXPECT_EQ(options.data_dir, "/d");
  EXPECT_EQ(options.config_file, "/c.cfg");
  EXPECT_EQ(options.port, 9000);
  EXPECT_EQ(options.second_port, 9001);
  EXPECT_TRUE(options.log_transactions);

  const TOptions defaults = ParseOptions({});
  EXPECT_EQ(defaults.port, 7522);
  EXPECT_EQ(defaults.second_port, 7523);
  EXPECT_FALSE(defaults.log_transactions);
  EXPECT_FALSE(defaults.data_dir);

  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--port", "0"},
                                              {"--port", "70000"},
                                              {"--port", "12x"},
                                              {"--data-dir"},
                                              {"--bogus"},
                                              {"--headless=yes"}})
    EXPECT_THROW(ParseOptions(bad), std::invalid_argument) << bad[0];
}

TEST(VersionTest, TwoDigitPartsOfTheProjectVersion) {
  EXPECT_EQ(VersionString(false), FIDORA_EXPECTED_VERSION);
  EXPECT_EQ(VersionString(true).substr(0, 9), std::string(FIDORA_EXPECTED_VERSION) + " ");
  EXPECT_EQ(VersionString(true).size(), 13u);
}

TEST(CrashReportTest, WritesAReportFileButNotTooManyAMinute) {
  test::TempDir dir;
  TCrashReporter crash;
  crash.SetFolder(dir.dir() + "Debug/");
  const std::string first =
      crash.Report("ServerSocketClientConnect", "Out of memory when allocating sockets");
  ASSERT_FALSE(first.empty());
  const std::string report = Contents(first);
  EXPECT_NE(report.find("Event:   ServerSocketClientConnect\n"), std::string::npos) << report;
  EXPECT_NE(report.find("Message: Out of memory when allocating sockets\n"), std::string::npos);
  EXPECT_NE(report.find("Stack:\n  #0"), std::string::npos);
  for (int i = 1; i < TCrashReporter::kFilesPerMinute + 5; ++i) crash.Report("x", "y");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "Debug"),
                          std::filesystem::directory_iterator()),
            TCrashReporter::kFilesPerMinute);
}

TEST(MessageTextTest, LongMessagesAreCutAndConsoleLinesAreOneLine) {
  const std::string long_message(250, 'm');
  EXPECT_EQ(MessageBoxText(long_message), std::string(200, 'm') + "...");
  EXPECT_EQ(MessageBoxText(std::string(200, 'm')), std::string(200, 'm'));
  EXPECT_EQ(OneLine("A valid data path has not been found.\r\n\r\nPress YES"),
            "A valid data path has not been found.  Press YES");
}

TEST(JournalLineTest, TheJournalIsRecognisedByTheDeviceAndInodeOfTheStream) {
  test::TempDir dir;
  const auto path = dir / "stream";
  std::ofstream(path) << "";
  const int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  struct stat info {};
  ASSERT_EQ(::fstat(fd, &info), 0);
  const std::string named = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  const std::string other = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino + 1);
  EXPECT_TRUE(IsJournalStream(fd, named.c_str()));
  EXPECT_FALSE(IsJournalStream(fd, other.c_str()));
  EXPECT_FALSE(IsJournalStream(fd, nullptr));
  EXPECT_FALSE(IsJournalStream(fd, "garbage"));
  ::close(fd);
}

}  // namespace
}  // namespace fidora
