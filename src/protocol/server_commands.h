// The server's own information commands: NOW, NAME, VERS and HELP.
#pragma once

#include <string>
#include <string_view>

#include "protocol/rx_tx.h"

namespace fidora {

// The oldest terminal program version the server works with.
inline constexpr char kMinimumClientVersion[] = "15.17.23";

void Net_Now(TRxTx& rx);
void Net_Name(TRxTx& rx);
void Net_Vers(TRxTx& rx);
void Net_Help(TRxTx& rx);

// The machine's network name; empty when the system gives none.
std::string ComputerName();

// The status line VERS gives for a terminal version (already trimmed and upper-cased); empty
// when the version is accepted.
std::string ClientVersionProblem(std::string_view client_version);

}  // namespace fidora
