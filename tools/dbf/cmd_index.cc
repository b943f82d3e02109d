// The index commands: index, reindex, keys, seek, check, pack and zap.
#include <fmt/format.h>

#include <filesystem>
#include <iostream>

#include "engine/dbf/xb_error.h"
#include "engine/index/index_disk_storage.h"
#include "engine/index/ntx_check.h"
#include "tools/dbf/command.h"
#include "tools/dbf/index_access.h"
#include "tools/dbf/table_access.h"
#include "tools/dbf/table_progress.h"
#include "tools/dbf/text_coding.h"

namespace fidora::tool {
namespace {

std::string Absolute(const std::string& f) {
  return std::filesystem::absolute(f).string();
}

void PrintRecord(TTableHandler& t) {
  std::string line = std::to_string(t.recno());
  for (int i = 1; i <= t.FieldCount(); ++i) (line += kBar) += ShownText(t, i);
  std::cout << line << "\n";
}

// "--memory MB": the memory an index build's sort may hold (whole megabytes, at least 1).
void ApplyBuildMemory(const ParsedArgs& a, TTableHandler& t) {
  if (!a.Has("--memory")) return;
  const std::string& text = a.Value("--memory");
  if (text.empty() || text.size() > 7 ||
      text.find_first_not_of("0123456789") != std::string::npos || std::stoul(text) == 0)
    throw UsageError("bad --memory " + text + " (whole megabytes, at least 1)");
  t.SetBuildMemory(static_cast<size_t>(std::stoul(text)) << 20);
}

int Index(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(
      args, {{"--for", true}, {"--unique", false}, {"--descending", false}, {"--memory", true}});
  if (a.positional.size() != 3) throw UsageError("index needs TABLE FILE.ntx KEYEXPR");
  auto t = OpenHandler(a.positional[0], true);
  ApplyBuildMemory(a, *t);
  t->IndexOn(Absolute(a.positional[1]), "", StoredFromInput(a.positional[2]),
             StoredFromInput(a.Value("--for")), a.Has("--unique"), !a.Has("--descending"));
  return 0;
}

// Each file is built again from the definition in its own header, which an index marked
// invalid or otherwise damaged keeps; --key (with --for, --unique, --descending) stands in
// for a header that is lost.
int Reindex(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {{"--key", true},
                                        {"--for", true},
                                        {"--unique", false},
                                        {"--descending", false},
                                        {"--memory", true}});
  if (a.positional.size() < 2) throw UsageError("reindex needs TABLE FILE.ntx...");
  auto t = OpenHandler(a.positional[0], true);
  ApplyBuildMemory(a, *t);
  const TIndexDefinition given{a.Value("--key"), a.Value("--for"), a.Has("--unique"),
                               !a.Has("--descending")};
  for (size_t i = 1; i < a.positional.size(); ++i) {
    try {
      t->ReindexFile(Absolute(a.positional[i]), a.Has("--key") ? &given : nullptr);
    } catch (const EXbError& e) {
      if (e.kind() != XbErrorKind::kCorrupted || a.Has("--key")) throw;
      throw EXbError(e.kind(), std::string(e.what()) +
                                   " (its header holds no key expression: give --key EXPR)");
    }
  }
  return 0;
}

int Keys(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {{"--table", true}});
  if (a.positional.size() != 1) throw UsageError("keys needs FILE.ntx");
  if (!a.Has("--table")) {
    // Straight from the pages, without the table.
    TIndexDiskStorage storage(Absolute(a.positional[0]), true, false, false);
    const NtxWalk walk = WalkNtx(storage);
    for (const NtxWalkEntry& e : walk.entries)
      std::cout << ShownFromStored(e.key) << kBar << e.recno << "\n";
    for (const std::string& p : walk.problems)
      std::cerr << "fidora-dbf: " << a.positional[0] << ": " << p << "\n";
    return walk.problems.empty() ? 0 : 1;
  }
  // Through the order's own navigation, as the server walks it.
  auto t = OpenHandler(a.Value("--table"), false);
  IndexOptions options{{a.positional[0]}, ""};
  ApplyIndexOptions(*t, options);
  TNtxTag& tag = *t->TagByNumber(1);
  TTableHandler::IndexLock lock(*t);
  for (uint32_t r = tag.ReadKey(TxReadMode::kFirst); r != 0; r = tag.ReadKey(TxReadMode::kNext))
    std::cout << ShownFromStored(tag.CurrentKey()) << kBar << r << "\n";
  return 0;
}

int Seek(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {{"--near", false}, {"--exact", false}});
  if (a.positional.size() != 3) throw UsageError("seek needs TABLE FILE.ntx KEY");
  auto t = OpenHandler(a.positional[0], false);
  const std::string tag = std::filesystem::path(a.positional[1]).stem().string();
  ApplyIndexOptions(*t, {{a.positional[1]}, tag});
  t->set_exact(a.Has("--exact"));
  t->set_near(a.Has("--near"));
  const bool found = t->Find(StoredFromInput(a.positional[2]));
  if (found || (a.Has("--near") && !t->Eof())) {
    PrintRecord(*t);
    return found ? 0 : 1;
  }
  std::cout << "not found\n";
  return 1;
}

int Check(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {});
  if (a.positional.size() < 2) throw UsageError("check needs TABLE FILE.ntx...");
  auto t = OpenHandler(a.positional[0], false);
  bool damaged = false;
  for (size_t i = 1; i < a.positional.size(); ++i) {
    const std::string& name = a.positional[i];
    std::vector<std::string> problems;
    size_t keys = 0;
    try {
      TIndexDiskStorage storage(Absolute(name), true, false, false);
      // Other programs change the index only under its lock: hold it while reading.
      const TLockRange lock = IndexLockRange(TxLokProtocol::ClipLock);
      storage.file().OsLockRetried(lock);
      struct Release {
        TIndexDiskStorage& s;
        TLockRange r;
        ~Release() { s.file().OsUnlock(r); }
      } release{storage, lock};
      TTableProgress progress(name, WantsProgressBar(t->record_count()));
      TCheckProgress counted(t->IndexView(), progress);
      problems = CheckNtxAgainstTable(storage, counted);
      keys = WalkNtx(storage).entries.size();
    } catch (const EXbError& e) {
      problems.push_back(e.what());
    }
    for (const std::string& p : problems) std::cout << name << ": " << p << "\n";
    if (problems.empty()) std::cout << name << ": ok, " << keys << " keys\n";
    damaged = damaged || !problems.empty();
  }
  return damaged ? 1 : 0;
}

int PackOrZap(std::vector<std::string> args, bool pack) {
  const IndexOptions options = ExtractIndexOptions(&args);
  const ParsedArgs a = ParseArgs(args, {});
  if (a.positional.size() != 1) throw UsageError("needs TABLE");
  auto t = OpenHandler(a.positional[0], true, true);
  ApplyIndexOptions(*t, options);
  if (pack)
    t->Pack();
  else
    t->Zap();
  std::cout << t->record_count() << "\n";
  return 0;
}

}  // namespace

void RegisterIndexCommands(CommandRegistry& registry) {
  registry.Add({"index",
                "index TABLE FILE.ntx KEYEXPR [--for EXPR] [--unique] [--descending] [--memory MB]",
                "build an NTX index of the table's records; the keys are sorted in at most MB "
                "megabytes of memory (256), and a larger table sorts runs into temporary files "
                "beside it (removed at once: nothing is left behind) and merges them",
                Index});
  registry.Add({"reindex",
                "reindex TABLE FILE.ntx... [--key EXPR [--for EXPR] [--unique] [--descending]] "
                "[--memory MB]",
                "rebuild NTX indexes from the table, each with the definition in its own header "
                "(damaged and invalid indexes included); --key gives the definition of an "
                "index whose header is lost; --memory as for index",
                Reindex});
  registry.Add({"keys", "keys FILE.ntx [--table TABLE]",
                "every entry of the index in order, one \"key¦recno\" line each; with --table "
                "through the order's navigation",
                Keys});
  registry.Add({"seek", "seek TABLE FILE.ntx KEY [--near] [--exact]",
                "the record number and record of the first key that matches, or \"not found\"",
                Seek});
  registry.Add({"check", "check TABLE FILE.ntx...",
                "verify indexes against the table: every admitted record has one entry with "
                "its key, entries in order, pages well formed; exit 1 on any damage",
                Check});
  registry.Add({"pack", "pack TABLE [--index FILE.ntx...]",
                "remove deleted records (exclusive); the given indexes are rebuilt",
                [](const std::vector<std::string>& a) { return PackOrZap(a, true); }});
  registry.Add({"zap", "zap TABLE [--index FILE.ntx...]",
                "remove every record (exclusive); the given indexes become empty",
                [](const std::vector<std::string>& a) { return PackOrZap(a, false); }});
}

}  // namespace fidora::tool
