// fidora-dbf's index commands, run as the real program on files in a temporary directory.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "support/file_bytes.h"
#include "table_fixture.h"

namespace fidora::test {
namespace {

struct Result {
  int status = -1;
  std::string out;
};

Result Tool(const TempDir& dir, const std::string& args, const std::string& input = "") {
  const std::string in = dir.dir() + "stdin.txt";
  std::ofstream(in) << input;
  const std::string cmd = fmt::format("cd '{}' && {}/tools/dbf/fidora-dbf {} < '{}' 2>&1",
                                      dir.dir(), FIDORA_BINARY_DIR, args, in);
  Result r;
  FILE* p = popen(cmd.c_str(), "r");
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

struct ToolTable {
  TempDir dir;
  ToolTable() {
    MakeTable(dir, "shop");
    EXPECT_EQ(Tool(dir, "append shop", "pear¦5\nApple¦-10\nfig¦0\napricot¦-5\nbanana¦12\n").status,
              0);
    EXPECT_EQ(Tool(dir, "index shop names.ntx 'UPPER(NAME)'").status, 0);
    EXPECT_EQ(Tool(dir, "index shop nums.ntx NUM --descending").status, 0);
  }
};

TEST(ToolIndex, KeysSeekAndOrderedDump) {
  ToolTable t;
  EXPECT_EQ(Tool(t.dir, "keys names.ntx").out, "APPLE¦2\nAPRICOT¦4\nBANANA¦5\nFIG¦3\nPEAR¦1\n");
  EXPECT_EQ(Tool(t.dir, "keys nums.ntx --table shop").out,
            "00012¦5\n00005¦1\n00000¦3\n,,,,'¦4\n,,,+,¦2\n");
  EXPECT_EQ(Tool(t.dir, "seek shop names.ntx AP").out, "2¦Apple¦-10¦\n");
  const Result exact = Tool(t.dir, "seek shop names.ntx AP --exact");
  EXPECT_EQ(exact.out, "not found\n");
  EXPECT_EQ(exact.status, 1);
  EXPECT_EQ(Tool(t.dir, "seek shop names.ntx C --near").out, "3¦fig¦0¦\n");
  EXPECT_EQ(Tool(t.dir, "seek shop nums.ntx -5").out, "4¦apricot¦-5¦\n");
  EXPECT_EQ(Tool(t.dir, "dump shop --index names.ntx nums.ntx --order NUMS --recno").out,
            "5¦banana¦12¦\n1¦pear¦5¦\n3¦fig¦0¦\n4¦apricot¦-5¦\n2¦Apple¦-10¦\n");
}

TEST(ToolIndex, WritesKeepIndexesAndCheckFindsDamage) {
  ToolTable t;
  const std::string both = "--index names.ntx nums.ntx";
  EXPECT_EQ(Tool(t.dir, "append shop " + both, "cherry¦3\n").out, "6\n");
  EXPECT_EQ(Tool(t.dir, "set shop 1 NAME=zebra NUM=-1 " + both).status, 0);
  EXPECT_EQ(Tool(t.dir, "delete shop 2 " + both).status, 0);
  EXPECT_EQ(Tool(t.dir, "dump shop --index names.ntx --order NAMES").out,
            "apricot¦-5¦\nbanana¦12¦\ncherry¦3¦\nfig¦0¦\nzebra¦-1¦\n");
  const Result ok = Tool(t.dir, "check shop names.ntx nums.ntx");
  EXPECT_EQ(ok.status, 0) << ok.out;
  EXPECT_EQ(ok.out, "names.ntx: ok, 6 keys\nnums.ntx: ok, 6 keys\n");

  // A write without --index leaves the indexes stale: check must say so.
  EXPECT_EQ(Tool(t.dir, "set shop 3 NAME=aaa").status, 0);
  Result stale = Tool(t.dir, "check shop names.ntx");
  EXPECT_EQ(stale.status, 1);
  EXPECT_NE(stale.out.find("record 3"), std::string::npos) << stale.out;
  EXPECT_EQ(Tool(t.dir, "reindex shop names.ntx").status, 0);
  EXPECT_EQ(Tool(t.dir, "check shop names.ntx").status, 0);

  // Bytes damaged in place: a key of a page, then a page's count.
  std::fstream f(t.dir.dir() + "names.ntx", std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(1024 + 2 * 38 + 4 + 24 + 8);  // second slot's key in the root leaf (16-byte keys)
  f.put('~');
  f.close();
  stale = Tool(t.dir, "check shop names.ntx");
  EXPECT_EQ(stale.status, 1);
  EXPECT_NE(stale.out.find("out of order"), std::string::npos) << stale.out;
  std::fstream g(t.dir.dir() + "names.ntx", std::ios::in | std::ios::out | std::ios::binary);
  g.seekp(1024);
  g.put(static_cast<char>(200));
  g.close();
  stale = Tool(t.dir, "check shop names.ntx");
  EXPECT_EQ(stale.status, 1);
  EXPECT_NE(stale.out.find("malformed"), std::string::npos) << stale.out;
}

TEST(ToolIndex, ReindexRebuildsDamagedIndexesFromTheirOwnHeaderOrFromKey) {
  ToolTable t;
  const std::string names = t.dir.dir() + "names.ntx";
  const std::string keys = Tool(t.dir, "keys names.ntx").out;
  const auto overwrite = [&](std::streamoff at, size_t count) {
    std::fstream f(names, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(at);
    f << std::string(count, '\0');
  };
  // Marked invalid (no root page), as a pack leaves the old indexes before it switches the
  // table: the index says it is damaged, and its own header still tells how to build it.
  overwrite(4, 4);
  Result r = Tool(t.dir, "dump shop --index names.ntx --order NAMES");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Index file names.ntx->NAMES is corrupted"), std::string::npos) << r.out;
  r = Tool(t.dir, "check shop names.ntx");
  EXPECT_NE(r.out.find("marked invalid"), std::string::npos) << r.out;
  r = Tool(t.dir, "reindex shop names.ntx nums.ntx");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Tool(t.dir, "keys names.ntx").out, keys);
  EXPECT_EQ(Tool(t.dir, "check shop names.ntx nums.ntx").status, 0);

  // The first KiB zeroed: the key expression is gone, and --key gives it back.
  overwrite(0, 1024);
  r = Tool(t.dir, "reindex shop names.ntx");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("give --key EXPR"), std::string::npos) << r.out;
  r = Tool(t.dir, "reindex shop names.ntx --key 'UPPER(NAME)'");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Tool(t.dir, "keys names.ntx").out, keys);
  std::filesystem::remove(names);
  EXPECT_EQ(Tool(t.dir, "reindex shop names.ntx --key 'UPPER(NAME)'").status, 0);
  EXPECT_EQ(Tool(t.dir, "keys names.ntx").out, keys);
  EXPECT_EQ(Tool(t.dir, "check shop names.ntx nums.ntx").status, 0);
}

TEST(ToolIndex, PackAndZap) {
  ToolTable t;
  Tool(t.dir, "delete shop 2 --index names.ntx nums.ntx");
  Tool(t.dir, "delete shop 4 --index names.ntx nums.ntx");
  EXPECT_EQ(Tool(t.dir, "pack shop --index names.ntx nums.ntx").out, "3\n");
  EXPECT_EQ(Tool(t.dir, "keys names.ntx").out, "BANANA¦3\nFIG¦2\nPEAR¦1\n");
  EXPECT_EQ(Tool(t.dir, "check shop names.ntx nums.ntx").status, 0);
  EXPECT_EQ(Tool(t.dir, "zap shop --index names.ntx").out, "0\n");
  EXPECT_EQ(Tool(t.dir, "keys names.ntx").out, "");
  EXPECT_EQ(std::filesystem::file_size(t.dir / "names.ntx"), 2048u);
}

// With --memory 1 the keys of 120 000 records (21 bytes each) do not fit: the build sorts
// runs into temporary files and merges them, and gives the file of a build in memory.
TEST(ToolIndex, IndexWithinAMemoryBudgetGivesTheSameFileAndLeavesNoFile) {
  TempDir dir;
  const std::string path = MakeTable(dir, "log");
  std::vector<std::pair<std::string, int>> rows;
  for (int i = 0; i < 120000; ++i)
    rows.emplace_back(fmt::format("s{:05d}", i * 7 % 30000), i % 1000);
  FillTable(path, rows);
  for (const std::string options : {"", " --descending", " --unique --for 'NUM > 500'"}) {
    SCOPED_TRACE(options);
    ASSERT_EQ(Tool(dir, "index log whole.ntx 'UPPER(NAME)'" + options).status, 0);
    const auto files = std::distance(std::filesystem::directory_iterator(dir.path()), {});
    const Result r = Tool(dir, "index log runs.ntx 'UPPER(NAME)' --memory 1" + options);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(FileBytes(dir / "runs.ntx"), FileBytes(dir / "whole.ntx"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), files + 1);
    EXPECT_EQ(Tool(dir, "reindex log runs.ntx --memory 1").status, 0);
    EXPECT_EQ(FileBytes(dir / "runs.ntx"), FileBytes(dir / "whole.ntx"));
    const Result check = Tool(dir, "check log runs.ntx");
    EXPECT_EQ(check.status, 0) << check.out;
    std::filesystem::remove(dir / "runs.ntx");
  }
  for (const char* bad : {"0", "x", "-5", ""}) {
    const Result r = Tool(dir, fmt::format("index log bad.ntx NAME --memory '{}'", bad));
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.out.find("--memory"), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace fidora::test
