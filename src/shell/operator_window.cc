#include "shell/operator_window.h"

#include <QSystemTrayIcon>
#include <string>

#include "shell/config_file.h"
#include "shell/locate_data_path.h"
#include "shell/options.h"
#include "shell/server_main.h"
#include "shell/splash_form.h"
#include "tables/data_module.h"
#include "tables/general_reindex.h"
#include "tables/maintenance_events.h"
#include "tables/old_records.h"

namespace fidora {

namespace {

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

// The "&Data" menu runs the generic table module's routines, with the operator's events (no
// terminal request: progress goes to the log pane, messages to the message box).
TMaintenanceActions TableMaintenance() {
  TMaintenanceActions actions;
  actions.reindex = [] {
    TOperatorEvents events;
    return DoReindex(*DM(), events);
  };
  actions.delete_old_records = [](int64_t cutoff) {
    TOperatorEvents events;
    DeleteOldRecords(DM()->tGeneric.DatabaseName(), cutoff, events);
  };
  actions.reindex_after_deletion = [] {
    TOperatorEvents events;
    ReindexAfterDeletion(*DM(), events);
  };
  return actions;
}

}  // namespace fidora
