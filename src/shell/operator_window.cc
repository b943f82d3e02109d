#include "shell/operator_window.h"

#include <QSystemTrayIcon>
#include <stdexcept>
#include <string>

#include "shell/config_file.h"
#include "shell/locate_data_path.h"
#include "shell/options.h"
#include "shell/server_main.h"
#include "shell/splash_form.h"

namespace fidora {

namespace {

constexpr char kMaintenanceMissing[] =
    "The table maintenance routines (reindex, delete old records) are not part of this build";

TMainWindowSetup SetupFor(TServerMain& server, const TOptions& options) {
  TMainWindowSetup setup;
  setup.server = &server;
  setup.maintenance = TableMaintenance();
  setup.tray_available = QSystemTrayIcon::isSystemTrayAvailable();
  if (!options.data_dir) setup.config = ConfigFilePath(options.config_file);
  return setup;
}

}  // namespace

TOperatorWindow::TOperatorWindow(TServerMain& server, const TOptions& options)
    : previous_(&Operator()), main_(SetupFor(server, options)), view_(main_) {
  SetOperator(&view_);
  server.OnStarted = [this] { main_.Started(); };
}

TOperatorWindow::~TOperatorWindow() {
  SetOperator(previous_);
}

void TOperatorWindow::ShowSplash() {
  splash_ = std::make_unique<TSplashForm>();
  splash_->ShowNow();
  view_.SetSplash(splash_.get());
}

bool TOperatorWindow::LocateAtStart(const TOptions& options) {
  std::optional<TConfigFile> config;
  if (!options.data_dir) config.emplace(ConfigFilePath(options.config_file));
  return LocateDataPath(config ? &*config : nullptr, [this](const std::string& directory) {
    return ChooseTrackerFile(directory, nullptr);
  });
}

void TOperatorWindow::ShowMain() {
  view_.SetSplash(nullptr);
  splash_.reset();
  main_.show();
}

// The generic table module's routines are connected here once that module has them:
//   reindex                 DoReindex(*DM(), events) with TOperatorEvents without a request,
//   delete_old_records      DeleteOldRecords(the data directory, cutoff, events),
//   reindex_after_deletion  ReindexAfterDeletion(*DM(), events).
// Until then the menu says plainly that they are missing rather than report a success that did
// not happen.
TMaintenanceActions TableMaintenance() {
  TMaintenanceActions actions;
  actions.reindex = [] { return std::string(kMaintenanceMissing); };
  actions.delete_old_records = [](int64_t) { throw std::runtime_error(kMaintenanceMissing); };
  actions.reindex_after_deletion = [] {};
  return actions;
}

}  // namespace fidora
