// fidora-dbf, the table tool: inspect, create and change tables from the shell through the
// same engine the server uses.
#include <iostream>
#include <string>
#include <vector>

#include "engine/dbf/xb_error.h"
#include "tools/dbf/command.h"

namespace fidora::tool {

// Command groups, one line each (defined in their own source files). Dump comes before
// groups that extend it.
void RegisterTableCommands(CommandRegistry& registry);       // info, create
void RegisterDumpCommand(CommandRegistry& registry);         // dump
void RegisterRecordCommands(CommandRegistry& registry);      // append, set, delete, recall, memo
void RegisterLockCommand(CommandRegistry& registry);         // lock
void RegisterExpressionCommands(CommandRegistry& registry);  // dump --filter, eval
void RegisterIndexCommands(
    CommandRegistry& registry);  // index, reindex, keys, seek, check, pack, zap
void RegisterIndexRecordOptions(CommandRegistry& registry);   // --index/--order on record commands
void RegisterDemoCommand(CommandRegistry& registry);          // demo
void RegisterMaintenanceCommands(CommandRegistry& registry);  // delete-old, reindex-general

namespace {

void RegisterAll(CommandRegistry& registry) {
  for (auto group : {RegisterTableCommands, RegisterDumpCommand, RegisterRecordCommands,
                     RegisterLockCommand, RegisterExpressionCommands, RegisterIndexCommands,
                     RegisterIndexRecordOptions, RegisterDemoCommand, RegisterMaintenanceCommands})
    group(registry);
}

// Text wrapped at 80 columns, each line indented by six blanks.
std::string Wrapped(const std::string& text) {
  std::string out, line;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && 6 + line.size() + 1 + word.size() > 80) {
      out += "      " + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    start = end + 1;
  }
  if (!line.empty()) out += "      " + line + "\n";
  return out;
}

void PrintHelp(const CommandRegistry& registry, std::ostream& out) {
  out << "usage: fidora-dbf COMMAND ARGS...\n\n"
         "TABLE is the path of a DBF table; \".dbf\" may be left off, and names are found\n"
         "without regard to case. Tables are opened shared, with the Clipper lock protocol.\n"
         "Values are the stored bytes: no code-page translation is done, bytes above 127\n"
         "are written and read unchanged (the tables keep OEM code page 437 text). Values\n"
         "are separated by \"¦\" in UTF-8 (bytes C2 A6); input lines without it may use the\n"
         "single byte 166 instead.\n"
         "Exit status: 0 done, 1 a table error (the message goes to standard error),\n"
         "2 a command line that does not fit the usage.\n\ncommands:\n";
  for (const ToolCommand& c : registry.commands())
    out << "  " << c.usage << "\n" << Wrapped(c.summary);
}

}  // namespace
}  // namespace fidora::tool

int main(int argc, char** argv) {
  using namespace fidora::tool;
  CommandRegistry registry;
  RegisterAll(registry);
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp(registry, args.empty() ? std::cerr : std::cout);
    return args.empty() ? 2 : 0;
  }
  const ToolCommand* command = registry.Find(args[0]);
  if (!command) {
    std::cerr << "fidora-dbf: unknown command " << args[0] << " (see fidora-dbf --help)\n";
    return 2;
  }
  try {
    return command->run(std::vector<std::string>(args.begin() + 1, args.end()));
  } catch (const UsageError& e) {
    std::cerr << "fidora-dbf: " << e.what() << "\nusage: fidora-dbf " << command->usage << "\n";
    return 2;
  } catch (const fidora::EXbError& e) {
    std::cerr << "fidora-dbf: " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "fidora-dbf: " << e.what() << "\n";
    return 1;
  }
}
