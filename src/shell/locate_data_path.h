// LocateDataPath: lets the operator point at the data. The open dialog "Locate database files"
// asks for Tracker.dbf (any case), starting in the directory shown as the data directory.
// A file in that same directory ends the loop with nothing changed. Otherwise its directory
// becomes the data directory: shown, written to the configuration file (section "Alias", key
// "POSPATH") and checked for TRACKER.DBF; when it is not there the operator is asked whether
// to try again. True once a valid data directory was chosen.
#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace fidora {

class TConfigFile;

// Runs the open dialog from `initial_dir`; the chosen file, or nullopt when cancelled.
using TChooseTrackerFile =
    std::function<std::optional<std::string>(const std::string& initial_dir)>;

inline constexpr char kNoDataPathQuestion[] =
    "A valid data path has not been found.\r\n\r\nPress YES to try again.\r\n"
    "Press NO to abort the server startup.";
inline constexpr char kNoDataPathCaption[] = "Cannot find data path";

// `config` is where a chosen directory is written; null when this run's directory came from
// the command line, which never writes the configuration file.
bool LocateDataPath(TConfigFile* config, const TChooseTrackerFile& choose);

// The open dialog itself: title "Locate database files", filter "Tracker Database" for
// Tracker.dbf, default extension "dbf", existing files only.
std::optional<std::string> ChooseTrackerFile(const std::string& initial_dir, QWidget* parent);

}  // namespace fidora
