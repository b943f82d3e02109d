// TOperatorWindow: the window side of a server started with a display: the main window
// (made before the listeners open), its operator view (installed for as long as it lives),
// the splash window during start-up, and the data-directory search by dialog.
#pragma once

#include <memory>

#include "shell/main_window.h"
#include "shell/window_operator.h"

namespace fidora {

class TServerMain;
class TSplashForm;
struct TOptions;

class TOperatorWindow {
 public:
  TOperatorWindow(TServerMain& server, const TOptions& options);
  ~TOperatorWindow();
  TOperatorWindow(const TOperatorWindow&) = delete;
  TOperatorWindow& operator=(const TOperatorWindow&) = delete;

  // Shows the splash window ("Starting POS Server", "Loading...").
  void ShowSplash();
  // No valid data directory was configured: LocateDataPath with the open dialog. The chosen
  // directory goes to the configuration file unless --data-dir gave this run's directory.
  bool LocateAtStart(const TOptions& options);
  // Start-up is over: the splash goes and the main window shows.
  void ShowMain();

  TfMain& Main() { return main_; }

 private:
  TOperatorView* previous_;
  TfMain main_;
  TWindowOperator view_;
  std::unique_ptr<TSplashForm> splash_;
};

// The maintenance routines of the generic table module, as the "&Data" menu runs them (the
// one place where the window is connected to them).
TMaintenanceActions TableMaintenance();

}  // namespace fidora
