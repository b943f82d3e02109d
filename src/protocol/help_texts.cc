#include "protocol/help_texts.h"

namespace fidora {

namespace {
// The separator byte, spelled out so that no hex digit can follow an escape by accident.
#define BAR "\xA6"

const char* const kHeaderLines[] = {"TEXT", "", "Available Commands",
                                    "{} - Indicates parameters that may be left blank", ""};

std::vector<std::string> FamilyText(std::initializer_list<const char*> body) {
  std::vector<std::string> lines(std::begin(kHeaderLines), std::end(kHeaderLines));
  lines.insert(lines.end(), body.begin(), body.end());
  lines.emplace_back("");
  lines.emplace_back(BAR "TEXT");
  return lines;
}
}  // namespace

const std::vector<std::string>& TopLevelHelpText() {
  static const std::vector<std::string> text = {
      "TEXT",
      "",
      "Available Commands",
      "[] - Indicate optional extra parameters",
      "* - Replace the * with HELP to see further help",
      "",
      "DBF" BAR "*",
      "    Generic Database Commands.",
      "SHOPPER" BAR "*",
      "    Frequent Shopper commands.",
      "CLUB" BAR "*",
      "    Club commands.",
      "GLOBAL",
      "    Reindex the tables handled by this server.",
      "REINDEX",
      "    Reindex the tables handled by this server.",
      "NAME",
      "    Get the computer name of the FS Server.",
      "VERS" BAR "[Client Version]",
      "    Get the server version [Optionally check the client version].",
      "NOW",
      "    Get the current date and time.",
      "",
      BAR "TEXT",
  };
  return text;
}

const std::vector<std::string>& ShopperHelpText() {
  static const std::vector<std::string> text = FamilyText({
      "SHOPPER" BAR "SEQ" BAR "xxx",
      "    Get the next LST_PU_NUM for shopper xxx.",
      "SHOPPER" BAR "DOLLARS" BAR "xxx" BAR "amt" BAR "fs" BAR "net",
      "    Update frequent shopper dollars for shopper xxx.",
      "    amt - the number of dallars to consider for rewards.",
      "    fs  - FS dollars used (positive) or refunded (negative).",
      "    net - Net sale value.",
      "    Note: if FS dollars are refunded then amt and net are ignored.",
      "SHOPPER" BAR "DETAIL" BAR "READ",
      "  [FILTER" BAR "{any valid dbase filter}]",
      "    Retrieve the (optionally filtered) FS Details.",
      "SHOPPER" BAR "DETAIL" BAR "READEX" BAR "xxx",
      "    Retrieve the details for shopper xxx.",
      "SHOPPER" BAR "SUMMARY",
      "    Get the list of all shoppers and their IDs.",
      "SHOPPER" BAR "OFFER",
      "    Used to process Frequent Shopper Offers.",
      "SHOPPER" BAR "OFFER" BAR "SINGLE" BAR "xxx" BAR "val",
      "    Update frequent shopper offer count for shopper xxx.",
      "    val - How much to modify the count by.",
      "SHOPPER" BAR "OFFER" BAR "RESET",
      "    Reset OFFRITEM to 0 for all frequent shoppers.",
      "SHOPPER" BAR "OFFER" BAR "ADJUST" BAR "ratio",
      "    Adjust OFFRITEM for all frequent shoppers.",
      "    ratio - Multiply the OFFRITEM by this much.",
      "SHOPPER" BAR "APPEND",
      "    Not Used",
      "SHOPPER" BAR "EDIT",
      "    Not Used",
      "SHOPPER" BAR "HISTORY",
      "    Not Used",
      "SHOPPER" BAR "HELP",
      "    Calls up this help screen.",
  });
  return text;
}

const std::vector<std::string>& DbfHelpText() {
  static const std::vector<std::string> text = FamilyText({
      "DBF" BAR "READ" BAR "xxx",
      "  [FILTER" BAR "{any valid dbase filter}]",
      "  [FIELDS" BAR "field1[" BAR "field2[etc]]]",
      "    Read the details from table xxx.",
      "DBF" BAR "APPEND" BAR "xxx",
      "  DATA",
      "  FIELD1" BAR "FIELD2" BAR "FIELD3" BAR "etc",
      "  value1" BAR "value2" BAR "value3" BAR "etc   <- Record 1",
      "  value1" BAR "value2" BAR "value3" BAR "etc   <- Record 2 etc",
      "  " BAR "DATA",
      "    Append a new record to the table xxx",
      "DBF" BAR "HELP",
      "    Calls up this help screen.",
  });
  return text;
}

const std::vector<std::string>& ClubHelpText() {
  static const std::vector<std::string> text = FamilyText({
      "CLUB" BAR "DETAIL" BAR "READ" BAR "xxx",
      "    Retrieve the details for club xxx.",
      "CLUB" BAR "DETAIL" BAR "WRITE" BAR "xxx",
      "    Not Used",
      "CLUB" BAR "SUMMARY",
      "    Get the list of all club names and their IDs.",
      "CLUB" BAR "HELP",
      "    Calls up this help screen.",
  });
  return text;
}

#undef BAR

void AddHelpText(TRxTx& rx, const std::vector<std::string>& text) {
  for (const std::string& line : text) AddReply(rx, line);
  ReplyOK(rx);
}

}  // namespace fidora
