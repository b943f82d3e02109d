#include "shell/server_main.h"

#include <QTimer>
#include <mutex>

#include "engine/dbf/file_io.h"
#include "net/socket_list.h"
#include "protocol/application_errors.h"
#include "protocol/dispatcher.h"
#include "protocol/global_commands.h"
#include "protocol/operator_view.h"
#include "protocol/server_settings.h"
#include "protocol/status_log.h"
#include "shell/data_path.h"
#include "shopper/shopper_module.h"
#include "tables/data_module.h"
#include "tables/index_check.h"
#include "tables/maintenance_events.h"
#include "tables/structure_check.h"

namespace fidora {

TServerMain::TServerMain(uint16_t port, uint16_t second_port, const TConnectionLimits& limits)
    : watch_(SocketList(), limits),
      listed_events_(watch_, &clients_, Net_Dispatch),
      second_events_(watch_, nullptr, Net_Dispatch),
      ServerSocket(port, listed_events_, poller_),
      SecondServer(second_port, second_events_, poller_) {}

TServerMain::~TServerMain() {
  Close();
}

void TServerMain::Create() {
  InstallGlobalCommands();
  ServerSocket.Activate();
  SecondServer.Activate();
  poller_.SetTick(watch_.SweepInterval(), [this] { watch_.Sweep(); });
}

void TServerMain::PostDeferredStart() {
  QTimer::singleShot(0, [this] { RunGuarded("DeferredStart", [this] { DeferredStart(); }); });
}

void TServerMain::ApplyDataPath() {
  const std::lock_guard lock(ServerLock());
  const std::string& data_path = ServerSettings().DataPath;
  Operator().AddLogLine("Set Data Path : " + data_path);
  EnsureDir(data_path + "Debug");
  if (TDM* dm = DM()) dm->SetDataPath();
  if (TSDM* sdm = SDM()) sdm->SetDataPath();
  if (TDM* dm = DM()) {
    TOperatorEvents events;
    // After a rebuild the indexes are new; otherwise a power cut may have left them short.
    if (!CheckAllTables(*dm, dm->Io(), events)) CheckServiceIndexes(*dm, events);
  }
}

void TServerMain::DeferredStart() {
  ApplyDataPath();
  Operator().AddLogLine("Fidora : V" + ServerSettings().Version + " - listening on ports " +
                        std::to_string(ServerSocket.Port()) + " and " +
                        std::to_string(SecondServer.Port()));
  if (OnStarted) OnStarted();
}

void TServerMain::Close() {
  SecondServer.Deactivate();
  ServerSocket.Deactivate();
}

void TServerMain::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  RunGuarded("Destroy", [] { StatusLog("Server Shutdown"); });
}

}  // namespace fidora
