#include "protocol/global_commands.h"

#include <mutex>

#include "protocol/data_file.h"
#include "protocol/dispatcher.h"
#include "protocol/field_helpers.h"
#include "protocol/server_settings.h"
#include "tables/data_module.h"
#include "tables/general_reindex.h"
#include "tables/maintenance_events.h"

namespace fidora {

namespace {

// Acknowledges under ServerLock: the reply waits for a data-path change or a reindex of
// another thread of control to end.
void AcknowledgeUnderServerLock(TRxTx& rx, const char* name) {
  try {
    const std::lock_guard lock(ServerLock());
    ReplyOK(rx);
  } catch (const std::exception& e) {
    AddReply(rx, std::string("STAT\xA6"
                             "fMain.") +
                     name + " - " + e.what());
  }
}

}  // namespace

void Net_Global(TRxTx& rx) {
  std::string line = CurrentLine(rx);
  const std::string request = line;
  NextField(line);
  const std::string sub_command = NextFieldU(line);
  if (sub_command == "TRANS")
    Global_Trans(rx);
  else if (sub_command == "PIZZA")
    Global_Pizza(rx);
  else
    AddReply(rx,
             "STAT\xA6"
             "fMain.Net_Global - " +
                 request);
}

void Global_Trans(TRxTx& rx) {
  AcknowledgeUnderServerLock(rx, "Global_Trans");
}

void Global_Pizza(TRxTx& rx) {
  AcknowledgeUnderServerLock(rx, "Global_Pizza");
}

void Net_File(TRxTx& rx) {
  std::string line = CurrentLine(rx);
  const std::string request = line;
  NextField(line);
  const std::string sub_command = NextFieldU(line);
  const std::string name = Trim(NextField(line));
  if ((sub_command != "GET" && sub_command != "PUT") || IsBlank(name)) {
    AddReply(rx,
             "STAT\xA6"
             "fMain.Net_File - " +
                 request);
    return;
  }
  const TDataFile file = FindDataFile(ServerSettings().DataPath, name);
  const std::string failure =
      "FILE\xA6"
      "FAIL\xA6" +
      name;
  if (sub_command == "GET") {
    if (file.kind != TDataFileKind::Regular) {
      AddReply(rx, failure + " does not exist!");
      return;
    }
    AddReply(rx, request);
    ReplyOK(rx);
    rx.SendFileName = file.path;
    return;
  }
  if (file.kind == TDataFileKind::Outside)
    AddReply(rx, failure + " does not exist!");
  else if (file.kind != TDataFileKind::Missing)
    AddReply(rx, failure + " would be over-written!");
}

void Net_Reindex(TRxTx& rx) {
  TDM* dm = DM();
  if (!dm) {
    ReplyUnknownCommand(rx, "REINDEX");
    return;
  }
  const std::lock_guard lock(ServerLock());
  TOperatorEvents events(&rx);
  const std::string error = DoReindex(*dm, events);
  if (error.empty())
    ReplyOK(rx);
  else
    AddReply(rx, "STAT\xA6" + error);
}

void InstallGlobalCommands() {
  SetCommandHandler("GLOBAL", Net_Global);
  SetCommandHandler("REINDEX", Net_Reindex);
  SetCommandHandler("FILE", Net_File, true);
}

}  // namespace fidora
