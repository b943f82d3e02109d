// The command families of the frequent-shopper module: the sub-command tables. Words not
// listed here are answered as unknown commands.
#include "protocol/family_dispatch.h"
#include "protocol/help_texts.h"
#include "shopper/shopper_module.h"

namespace fidora {

namespace {

using THandler = void (TSDM::*)(TRxTx&);

TSubCommand Entry(TSDM& module, std::string_view word, THandler handler) {
  return {word, [&module, handler](TRxTx& rx) { (module.*handler)(rx); }};
}

TSubCommand HelpEntry(const std::vector<std::string>& text) {
  return {"HELP", [&text](TRxTx& rx) { AddHelpText(rx, text); }};
}

}  // namespace

void TSDM::SHOPPER(TRxTx& rx) {
  const TSubCommand table[] = {
      Entry(*this, "SEQ", &TSDM::SHOPPER_Seq),
      Entry(*this, "DOLLARS", &TSDM::SHOPPER_Dollars),
      Entry(*this, "SUMMARY", &TSDM::SHOPPER_Summary),
      Entry(*this, "READ", &TSDM::SHOPPER_Read),
      Entry(*this, "READEX", &TSDM::SHOPPER_ReadEx),
      Entry(*this, "APPEND", &TSDM::SHOPPER_Append),
      Entry(*this, "EDIT", &TSDM::SHOPPER_Edit),
      Entry(*this, "HISTORY", &TSDM::SHOPPER_History),
      HelpEntry(ShopperHelpText()),
      Entry(*this, "OFFER", &TSDM::SHOPPER_Offer),
      Entry(*this, "EDIT_NUMBER", &TSDM::SHOPPER_EditNumber),
  };
  DispatchFieldStyle(rx, table);
}

void TSDM::CLUB(TRxTx& rx) {
  const TSubCommand table[] = {
      Entry(*this, "SUMMARY", &TSDM::CLUB_Summary),
      HelpEntry(ClubHelpText()),
  };
  DispatchTokenStyle(rx, table);
}

void TSDM::VOUCHER(TRxTx& rx) {
  const TSubCommand table[] = {
      Entry(*this, "ADD", &TSDM::VOUCHER_Add),
      Entry(*this, "UNUSED", &TSDM::VOUCHER_Unused),
  };
  DispatchTokenStyle(rx, table);
}

void TSDM::DEBTOR(TRxTx& rx) {
  const TSubCommand table[] = {
      Entry(*this, "OPER_DETAIL", &TSDM::DEBTOR_Oper_Detail),
      Entry(*this, "DBALANCE", &TSDM::DEBTOR_DBalance),
  };
  DispatchFieldStyle(rx, table);
}

void TSDM::STOCK(TRxTx& rx) {
  const TSubCommand table[] = {Entry(*this, "LOOK", &TSDM::STOCK_Look)};
  DispatchTokenStyle(rx, table);
}

}  // namespace fidora
