#include "tools/dbf/command.h"

namespace fidora::tool {

void CommandRegistry::Add(ToolCommand command) {
  commands_.push_back(std::move(command));
}

const ToolCommand* CommandRegistry::Find(const std::string& name) const {
  for (const ToolCommand& c : commands_)
    if (c.name == name) return &c;
  return nullptr;
}

ToolCommand* CommandRegistry::FindMutable(const std::string& name) {
  for (ToolCommand& c : commands_)
    if (c.name == name) return &c;
  return nullptr;
}

std::string ParsedArgs::Value(const std::string& name, const std::string& fallback) const {
  const auto it = options.find(name);
  return it == options.end() ? fallback : it->second;
}

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs) {
  ParsedArgs out;
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.size() < 3 || a.compare(0, 2, "--") != 0) {
      out.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    std::string name = a;
    std::string value;
    bool has_value = false;
    if (const size_t eq = a.find('='); eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      has_value = true;
    }
    const OptionSpec* option = nullptr;
    for (const OptionSpec& s : specs)
      if (s.name == name) option = &s;
    if (!option) throw UsageError("unknown option " + name);
    if (option->takes_value && !has_value) {
      if (i + 1 >= args.size()) throw UsageError("option " + name + " needs a value");
      value = args[++i];
    } else if (!option->takes_value && has_value) {
      throw UsageError("option " + name + " takes no value");
    }
    out.options[name] = value;
  }
  return out;
}

}  // namespace fidora::tool
