// An independent reader (Perl's XBase::Index) walks the NTX files this engine writes and
// finds the same keys in the same order. It misreads trees deeper than two levels, so the
// files stay at about 1 500 keys of 16 bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "table_fixture.h"

namespace fidora::test {
namespace {

std::vector<std::string> PerlKeys(const std::string& ntx) {
  const std::string cmd =
      fmt::format("perl {}/tests/engine/table/ntx_keys.pl '{}' 2>&1", FIDORA_SOURCE_DIR, ntx);
  std::vector<std::string> lines;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return {"popen failed"};
  char buf[512];
  while (fgets(buf, sizeof buf, p)) {
    std::string line(buf);
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
    const auto tab = line.find('\t');
    if (tab != std::string::npos) {
      std::string key = line.substr(0, tab);
      while (!key.empty() && key.back() == ' ') key.pop_back();
      line = key + ":" + line.substr(tab + 1);
    }
    lines.push_back(line);
  }
  pclose(p);
  return lines;
}

std::vector<std::string> OurKeys(TNtxFile& file) {
  file.Flush();
  std::vector<std::string> out;
  const NtxWalk walk = WalkNtx(file.Storage());
  for (const auto& e : walk.entries) out.push_back(e.key + ":" + std::to_string(e.recno));
  EXPECT_TRUE(walk.problems.empty());
  EXPECT_LE(walk.depth, 2u);
  return out;
}

std::string RandomName(std::mt19937& rng) {
  return fmt::format("{:c}{:c}{:08d}", static_cast<char>('a' + rng() % 26),
                     static_cast<char>('a' + rng() % 26), rng() % 100000000);
}

TEST(NtxInterop, PerlReadsBuiltIndexes) {
  TempDir dir;
  const std::string path = MakeTable(dir, "people");
  std::mt19937 rng(11);
  std::vector<std::pair<std::string, int>> rows;
  for (int i = 0; i < 1400; ++i)
    rows.emplace_back(RandomName(rng), static_cast<int>(rng() % 2000) - 1000);
  FillTable(path, rows);
  auto t = OpenHandler(path);
  t->IndexOn(dir.dir() + "byname.ntx", "", "UPPER(NAME)", "", false, true);
  t->IndexOn(dir.dir() + "bynum.ntx", "", "UPPER(NAME)", "", false, false);
  t->OpenIndexes("byname.ntx;bynum.ntx", "BYNAME");
  const auto ours = OurKeys(*t->IndexFileOfTag("BYNAME"));
  ASSERT_EQ(ours.size(), 1400u);
  EXPECT_EQ(PerlKeys(dir.dir() + "byname.ntx"), ours);
  EXPECT_EQ(PerlKeys(dir.dir() + "bynum.ntx"), OurKeys(*t->IndexFileOfTag("BYNUM")));
}

TEST(NtxInterop, PerlReadsAnIndexGrownByUpdates) {
  TempDir dir;
  const std::string path = MakeTable(dir, "people");
  std::mt19937 rng(12);
  std::vector<std::pair<std::string, int>> rows;
  for (int i = 0; i < 300; ++i) rows.emplace_back(RandomName(rng), i);
  FillTable(path, rows);
  auto t = OpenHandler(path);
  t->IndexOn(dir.dir() + "byname.ntx", "", "UPPER(NAME)", "", false, true);
  t->OpenIndexes("byname.ntx", "BYNAME");
  // Splits, removals and separators that move, through single updates.
  for (int i = 0; i < 120; ++i) AppendRow(*t, RandomName(rng), i);
  for (int i = 0; i < 200; ++i) {
    const auto r = static_cast<uint32_t>(1 + rng() % t->record_count());
    t->ReadRecord(r);
    t->SetFieldText("NAME", RandomName(rng));
    t->WriteRecord(r);
  }
  const auto ours = OurKeys(*t->IndexFileOfTag("BYNAME"));
  EXPECT_EQ(ours.size(), 420u);
  EXPECT_EQ(PerlKeys(dir.dir() + "byname.ntx"), ours);
}

}  // namespace
}  // namespace fidora::test
