#include "protocol/dispatcher.h"

#include <fmt/format.h>

#include <stdexcept>
#include <string>

#include "protocol/application_errors.h"
#include "protocol/field_helpers.h"
#include "protocol/operator_view.h"
#include "protocol/server_commands.h"
#include "protocol/status_log.h"
#include "protocol/transaction_log.h"
#include "shopper/shopper_module.h"
#include "tables/data_module.h"

namespace fidora {

namespace {

struct TCommandEntry {
  std::string_view word;
  TCommandHandler handler;
  bool by_reference = false;
};

// The families of the two data modules answer once the module exists.
void DBF_Family(TRxTx& rx) {
  if (TDM* module = DM())
    module->DBF(rx);
  else
    ReplyUnknownCommand(rx, rx.Parser().Field(1));
}

template <void (TSDM::*Family)(TRxTx&)>
void ShopperFamily(TRxTx& rx) {
  if (TSDM* module = SDM())
    (module->*Family)(rx);
  else
    ReplyUnknownCommand(rx, rx.Parser().Field(1));
}

std::vector<TCommandEntry>& CommandTable() {
  static std::vector<TCommandEntry> table = {
      {"DBF", DBF_Family},
      {"VERS", Net_Vers},
      {"SHOPPER", ShopperFamily<&TSDM::SHOPPER>},
      {"CLUB", ShopperFamily<&TSDM::CLUB>},
      {"VOUCHER", ShopperFamily<&TSDM::VOUCHER>},
      {"NOW", Net_Now},
      {"GLOBAL", nullptr},
      {"REINDEX", nullptr},
      {"FILE", nullptr},
      {"NAME", Net_Name},
      {"STOCK", ShopperFamily<&TSDM::STOCK>},
      {"HELP", Net_Help},
      {"DEBTOR", ShopperFamily<&TSDM::DEBTOR>},
  };
  return table;
}

TCommandEntry* FindCommand(std::string_view word) {
  for (TCommandEntry& entry : CommandTable())
    if (entry.word == word) return &entry;
  return nullptr;
}

// The event an escaping error is reported under: the request's first line (at most
// kNamedRequestLength bytes of it) and the terminal's address.
constexpr size_t kNamedRequestLength = 200;

std::string DispatchEventName(const TRxTx& rx) {
  return "Net_Dispatch \"" + CurrentLine(rx).substr(0, kNamedRequestLength) + "\" from " +
         rx.PeerAddress;
}

// The encoded reply is handed over in one piece (the connection copies it, keeping the order
// of everything handed over), from a buffer kept for the next reply unless one made it large.
constexpr size_t kKeepReplyBuffer = 64 * 1024;

void SendReply(TRxTx& rx) {
  const TLines& reply = rx.Reply();
  if (reply.empty() || !rx.Socket) return;
  static std::string bytes;
  bytes.clear();
  AppendEncodedReply(reply, bytes);
  rx.Socket->WriteText(bytes);
  if (bytes.capacity() > kKeepReplyBuffer) std::string().swap(bytes);
  if (Operator().IsVisible()) Operator().ShowReply(reply, reply.size() == 1);
}

void SendFileAfterReply(TRxTx& rx) {
  if (IsBlank(rx.SendFileName) || !rx.Socket) return;
  if (auto file = TFileSource::Open(rx.SendFileName)) {
    rx.Socket->WriteStream(std::move(file));
    return;
  }
  // Gone (or taken exclusively) since the reply was made: the terminal is not told.
  try {
    StatusLog("Net_File - " + rx.SendFileName + " could not be sent");
  } catch (const EInOutError&) {
  }
}

}  // namespace

const std::vector<std::string_view>& CommandWords() {
  static const std::vector<std::string_view> words = [] {
    std::vector<std::string_view> result;
    for (const TCommandEntry& entry : CommandTable()) result.push_back(entry.word);
    return result;
  }();
  return words;
}

void SetCommandHandler(std::string_view word, TCommandHandler handler, bool by_reference) {
  TCommandEntry* entry = FindCommand(word);
  if (!entry) throw std::invalid_argument("not a command word: " + std::string(word));
  entry->handler = std::move(handler);
  entry->by_reference = by_reference;
}

std::string EncodeReply(const TLines& reply) {
  std::string bytes;
  AppendEncodedReply(reply, bytes);
  return bytes;
}

void AppendEncodedReply(const TLines& reply, std::string& out) {
  if (reply.empty()) return;
  if (reply.size() == 1) {
    out.append(reply.front()).append("\r\n");
    return;
  }
  size_t length = 0;
  for (const std::string& line : reply) length += line.size() + 2;
  const fmt::format_int digits(length);
  out.reserve(out.size() + length + digits.size() + 6);
  out.append("B\xA6")
      .append(digits.data(), digits.size())
      .append(
          "\xA6"
          "C\r\n");
  for (const std::string& line : reply) out.append(line).append("\r\n");
}

void Net_Dispatch(TRxTx& rx) {
  if (Operator().IsVisible()) Operator().ShowRequest(rx.Request().ToLines());
  LogTransaction(rx.Request(), "IN");
  rx.SendFileName.clear();
  rx.LineIndex = 0;
  const std::string line = UpperCase(CurrentLine(rx));
  rx.Reply().clear();
  rx.StopWatch().Reset();
  rx.StopWatch().Start();
  rx.Parser().SetSeparator(kFieldSeparator);
  rx.Parser().SetLine(line);

  const std::string word = rx.Parser().Field(1);
  const TCommandEntry* entry = FindCommand(word);
  try {
    if (!entry || !entry->handler) {
      ReplyUnknownCommand(rx, word);
    } else if (entry->by_reference) {
      entry->handler(rx);
    } else {
      TRxTx copy = rx;
      entry->handler(copy);
    }
  } catch (const std::exception& error) {
    // Nothing is sent for this request and no OUT record is written; the connection stays.
    HandleApplicationError(DispatchEventName(rx), error.what());
    rx.SendFileName.clear();
    return;
  }

  SendReply(rx);
  LogTransaction(rx.Reply(), "OUT");
  SendFileAfterReply(rx);
  rx.SendFileName.clear();
}

}  // namespace fidora
