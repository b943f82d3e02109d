// systemd/fidora.service: what a shop without a desktop installs. systemd's own checker must
// accept it (run on a copy pointing at the built server), and it must run the server headless
// as a simple service of its own user that is restarted on failure.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "support/fidora_process.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

using testing::HasSubstr;

const std::string kUnit = std::string(FIDORA_SOURCE_DIR) + "/systemd/fidora.service";

TEST(ServiceUnitTest, RunsTheServerHeadlessAsARestartedServiceOfItsOwnUser) {
  const std::string unit = test::ReadFile(kUnit);
  for (const char* line :
       {"\nType=simple\n", "\nUser=fidora\n", "\nRestart=on-failure\n",
        "\nWorkingDirectory=", "\nRestartPreventExitStatus=2\n", "\nWantedBy=multi-user.target\n"})
    EXPECT_THAT(unit, HasSubstr(line));
  EXPECT_TRUE(std::regex_search(unit, std::regex("\nExecStart=/usr/local/bin/fidora --headless "
                                                 "--data-dir /\\S+\n")));
}

TEST(ServiceUnitTest, SystemdAcceptsIt) {
  test::TempDir dir;
  const auto copy = dir / "fidora.service";
  std::string unit = test::ReadFile(kUnit);
  unit = std::regex_replace(unit, std::regex("/usr/local/bin/fidora"), test::FidoraBinary());
  std::ofstream(copy) << unit;
  const test::ProgramResult r =
      test::RunProgram("/usr/bin/systemd-analyze", {"verify", copy.string()});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace fidora
