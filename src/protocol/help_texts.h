// The HELP texts: the top-level one (HELP) and those the SHOPPER, DBF and CLUB families send
// for their HELP sub-command. Fixed texts, not generated from the command tables.
#pragma once

#include <string>
#include <vector>

#include "protocol/rx_tx.h"

namespace fidora {

const std::vector<std::string>& TopLevelHelpText();
const std::vector<std::string>& ShopperHelpText();
const std::vector<std::string>& DbfHelpText();
const std::vector<std::string>& ClubHelpText();

// Adds every line of `text`, then the success status line.
void AddHelpText(TRxTx& rx, const std::vector<std::string>& text);

}  // namespace fidora
