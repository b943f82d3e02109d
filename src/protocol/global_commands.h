// The commands that act on the server as a whole: GLOBAL (two acknowledgements taken under
// ServerLock), FILE (a file of the data directory sent after the reply; PUT only checks) and
// REINDEX (the general reindex with progress lines to the terminal).
#pragma once

#include "protocol/rx_tx.h"

namespace fidora {

void Net_Global(TRxTx& rx);
void Global_Trans(TRxTx& rx);
void Global_Pizza(TRxTx& rx);
// Takes the dispatcher's own record: the file name it sets is sent after the reply.
void Net_File(TRxTx& rx);
void Net_Reindex(TRxTx& rx);

// Installs GLOBAL, FILE and REINDEX in the dispatcher's command table.
void InstallGlobalCommands();

}  // namespace fidora
