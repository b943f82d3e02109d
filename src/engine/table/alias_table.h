// The process-wide alias table of the dataset component: name=directory pairs, names
// compared without regard to case. It starts with the entry "Default Directory" (the
// program's own directory); start-up adds the entries of the configuration file's "Alias"
// section, and a dataset adds a directory given as its database name as its own alias.
#pragma once

#include <optional>
#include <string>

namespace fidora {

inline constexpr char kDefaultDirectory[] = "Default Directory";

// Adds the entry, or replaces the directory of an entry of that name. "\" reads as "/".
void AddAlias(const std::string& name, const std::string& directory);
// Adds name=name unless an entry of that name exists.
void AddSelfAlias(const std::string& name);
// The directory of an alias, nullopt when there is no such entry.
std::optional<std::string> AliasDirectory(const std::string& name);
// The directory a database name stands for, ending in "/": the alias's directory, the
// program's directory for "Default Directory", the name itself otherwise; "" for "".
std::string DatabaseDirectory(const std::string& database_name);

}  // namespace fidora
