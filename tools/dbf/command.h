// The table tool's commands. Each group of subcommands lives in its own source file with a
// Register...Commands(CommandRegistry&) function, called once from main.cc.
#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace fidora::tool {

// A command line that does not fit the command's usage; main prints the usage and exits 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Arguments after the subcommand name; returns the exit status.
using CommandHandler = std::function<int(const std::vector<std::string>& args)>;

struct ToolCommand {
  std::string name;     // "dump"
  std::string usage;    // "dump TABLE [--recno] [--deleted]"
  std::string summary;  // one line for --help
  CommandHandler run;
};

class CommandRegistry {
 public:
  void Add(ToolCommand command);
  const ToolCommand* Find(const std::string& name) const;
  ToolCommand* FindMutable(const std::string& name);
  const std::vector<ToolCommand>& commands() const { return commands_; }

 private:
  std::vector<ToolCommand> commands_;
};

// An option a command accepts: "--recno" (a flag) or "--hold" (takes a value).
struct OptionSpec {
  std::string name;
  bool takes_value = false;
};

// A parsed command line: positional arguments in order, options by name ("--hold").
struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  bool Has(const std::string& name) const { return options.count(name) > 0; }
  std::string Value(const std::string& name, const std::string& fallback = "") const;
};

// Splits args by the specs; an unknown option or a missing value raises UsageError.
// "--" ends the options.
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);

}  // namespace fidora::tool
