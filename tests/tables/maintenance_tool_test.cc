// fidora-dbf delete-old and reindex-general run the server's routines from the shell: plain
// progress lines when standard error is no terminal, a redrawn bar when it is one.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "support/run_program.h"
#include "support/service_shop.h"
#include "support/temp_dir.h"
#include "tools/dbf/progress_view.h"

namespace fidora::test {
namespace {

namespace fs = std::filesystem;

std::string Tool() {
  return std::string(FIDORA_BINARY_DIR) + "/tools/dbf/fidora-dbf";
}

TEST(MaintenanceTool, DeleteOldDeletesPacksAndReindexes) {
  TempDir dir;
  WriteServiceShop(dir.dir(), 20, 1000);
  const ProgramResult r = RunProgram(Tool(), {"delete-old", dir.path().string(), "07/01/2024"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err,
            "Deleting records...\n+\t1%\n+\t26%\n+\t52%\nPacking...\nReindexing...\n"
            "Reindex General Data\n\tCLUB.DBF\n\tTRACKLOG.DBF\n\tTRACKER.DBF\nAll done.\n");
  TTableHandler log(dir.dir() + "TRACKLOG.DBF", true, false);
  log.Open();
  EXPECT_EQ(log.record_count(), 400u);
  log.Close();
  EXPECT_TRUE(IndexProblems(dir.dir() + "TRACKLOG.DBF", dir.dir() + "TRAKHIST.NTX").empty());
}

TEST(MaintenanceTool, ReindexGeneralSaysWhereItStopped) {
  TempDir dir;
  WriteServiceShop(dir.dir(), 5, 5);
  fs::remove(dir / "TRACKLOG.DBF");
  const ProgramResult r = RunProgram(Tool(), {"reindex-general", dir.path().string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Safe Pack Failed: Could not get exclusive access to TRACKLOG.DBF\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("fidora-dbf: " + dir.path().string() +
                       ": Failed to re-build index : TRACKLOG.DBF\n"),
            std::string::npos)
      << r.err;
}

TEST(MaintenanceTool, CommandLinesThatDoNotFitAreRefused) {
  TempDir dir;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"delete-old", dir.path().string(), "31/02/2024"},
        std::vector<std::string>{"delete-old", dir.path().string()},
        std::vector<std::string>{"reindex-general"}})
    EXPECT_EQ(RunProgram(Tool(), args).status, 2) << args[0];
  EXPECT_EQ(RunProgram(Tool(), {"reindex-general", (dir / "nowhere").string()}).status, 1);
}

TEST(MaintenanceTool, PercentagesRedrawOneBarOnATerminal) {
  EXPECT_EQ(tool::ProgressBar("\tTRACKER.DBF - 40%", 10), "TRACKER.DBF [####      ]  40%");
  EXPECT_EQ(tool::ProgressBar("\t26%", 4), "[#   ]  26%");
  EXPECT_EQ(tool::ProgressBar("no percentage", 4), "no percentage");

  std::FILE* out = std::tmpfile();
  {
    tool::TProgressView view(out, true);
    view.Progress("Deleting records...");
    view.Progress("+\t1%");
    view.Progress("+\t100%");
    view.Progress("Packing...");
  }
  std::rewind(out);
  char buffer[512] = {};
  const size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
  std::fclose(out);
  const std::string bar0 = "[" + std::string(30, ' ') + "]   1%";
  const std::string bar100 = "[" + std::string(30, '#') + "] 100%";
  EXPECT_EQ(std::string(buffer, n),
            "Deleting records...\n\r\033[K" + bar0 + "\r\033[K" + bar100 + "\nPacking...\n");
}

}  // namespace
}  // namespace fidora::test
