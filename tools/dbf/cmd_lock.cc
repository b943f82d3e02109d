// lock: holds a record lock for a while, as another program would (for tests and operators).
#include <chrono>
#include <iostream>
#include <thread>

#include "tools/dbf/command.h"
#include "tools/dbf/table_access.h"

namespace fidora::tool {
namespace {

int Lock(const std::vector<std::string>& args) {
  const ParsedArgs a = ParseArgs(args, {{"--hold", true}});
  if (a.positional.size() != 2 || !a.Has("--hold"))
    throw UsageError("lock needs TABLE RECNO --hold SECONDS");
  double seconds = 0;
  try {
    size_t used = 0;
    seconds = std::stod(a.Value("--hold"), &used);
    if (used != a.Value("--hold").size() || seconds < 0) throw UsageError("");
  } catch (const std::exception&) {
    throw UsageError("bad --hold " + a.Value("--hold"));
  }
  auto t = OpenTable(a.positional[0], true);
  LockAndRead(*t, ParseRecno(a.positional[1]));
  std::cout << "locked" << std::endl;
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  t->Unlock();
  return 0;
}

}  // namespace

void RegisterLockCommand(CommandRegistry& registry) {
  registry.Add({"lock", "lock TABLE RECNO --hold SECONDS",
                "take the Clipper record lock, print \"locked\" once held, keep it SECONDS", Lock});
}

}  // namespace fidora::tool
