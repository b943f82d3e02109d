// fidora-dbf, the table tool: inspect, create and change tables from the shell through the
// same engine the server uses.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "tools/dbf/command.h"
#include "tools/dbf/text_coding.h"

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
         "Text is shown and taken as UTF-8: the tables keep OEM code page 437 text, which\n"
         "the tool translates through Windows-1252 exactly as the server does for the\n"
         "terminals (a character 437 lacks is stored as its nearest look-alike; one that\n"
         "Windows-1252 lacks is refused). Input that is not valid UTF-8 is taken as\n"
         "Windows-1252. With --raw (anywhere before \"--\") values, keys and expressions are\n"
         "the stored bytes, unchanged both ways. Values are separated by \"¦\" in UTF-8\n"
         "(bytes C2 A6); input lines without it may use the single byte 166 instead.\n"
         "index, reindex, pack and check show a progress bar on standard error when it is a\n"
         "terminal and the table has more than 100 000 records.\n"
         "Exit status: 0 done, 1 a table error (the message, naming the file, goes to\n"
         "standard error), 2 a command line that does not fit the usage.\n\ncommands:\n";
  for (const ToolCommand& c : registry.commands())
    out << "  " << c.usage << "\n" << Wrapped(c.summary);
}

// Takes "--raw" out of the arguments (those before a "--") and sets the text coding.
std::vector<std::string> WithTextCoding(std::vector<std::string> args) {
  const auto end = std::find(args.begin(), args.end(), "--");
  const auto raw = std::find(args.begin(), end, "--raw");
  SetTextCoding(raw == end ? TextCoding::Utf8 : TextCoding::Raw);
  if (raw != end) args.erase(std::remove(args.begin(), end, std::string("--raw")), end);
  return args;
}

// The file a command works on, to name in its error messages: its first argument.
std::string FileNamed(const std::vector<std::string>& args) {
  return args.size() > 1 && !args[1].empty() && args[1][0] != '-' ? args[1] + ": " : "";
}

}  // namespace
}  // namespace fidora::tool

int main(int argc, char** argv) {
  using namespace fidora::tool;
  CommandRegistry registry;
  RegisterAll(registry);
  const std::vector<std::string> args =
      WithTextCoding(std::vector<std::string>(argv + 1, argv + argc));
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
  } catch (const std::exception& e) {
    std::cerr << "fidora-dbf: " << FileNamed(args) << e.what() << "\n";
    return 1;
  }
}
