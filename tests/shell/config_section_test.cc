// The configuration file's "Alias" section as the dataset component's alias table takes it.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/table/alias_table.h"
#include "engine/table/xb_dataset.h"
#include "shell/config_file.h"
#include "support/temp_dir.h"

namespace fidora {
namespace {

TEST(ConfigSection, EntriesOfTheAliasSectionBecomeAliases) {
  test::TempDir dir;
  const std::string path = (dir / "vorlund.cfg").string();
  std::ofstream(path) << "[Other]\r\nPOSPATH=/wrong\r\n[alias]\r\n; a comment\r\n"
                         "POSPATH = C:\\POSDATA\\\r\nSTOCKDB=\"/srv/stock\"\r\nbroken line\r\n"
                         "[Next]\r\nX=1\r\n";
  const auto entries = TConfigFile(path).ReadSection("Alias");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], (std::pair<std::string, std::string>{"POSPATH", "C:\\POSDATA\\"}));
  EXPECT_EQ(entries[1], (std::pair<std::string, std::string>{"STOCKDB", "/srv/stock"}));
  EXPECT_TRUE(TConfigFile((dir / "none.cfg").string()).ReadSection("Alias").empty());

  for (const auto& [name, directory] : entries) AddAlias(name, directory);
  TXbDataSet ds;
  ds.SetDatabaseName("stockdb");
  ds.SetTableName("PLU__01");
  EXPECT_EQ(ds.TablePath(), "/srv/stock/PLU__01.DBF");
  // A directory given as the database name is its own alias, without its last "/".
  ds.SetDatabaseName(dir.dir());
  EXPECT_EQ(ds.DatabaseName(), dir.path().string());
  EXPECT_EQ(AliasDirectory(dir.path().string()), dir.path().string());
  EXPECT_EQ(ds.TablePath(), dir.dir() + "PLU__01.DBF");
  ds.SetDatabaseName(kDefaultDirectory);
  EXPECT_EQ(ds.Directory().back(), '/');
  ds.SetDatabaseName("");
  EXPECT_EQ(ds.TablePath(), "PLU__01.DBF");  // the current directory
}

}  // namespace
}  // namespace fidora
