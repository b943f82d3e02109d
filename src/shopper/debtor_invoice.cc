// DEBTOR OPER_DETAIL: an invoice raised at a terminal, sent as a header block and a lines
// block, is stored in INVHEAD.DBF and INVLINE.DBF with the debtor's balance recorded on it;
// an invoice sent again only has that balance and its amount owing refreshed.
//
// The received blocks become the temporary tables "tmpinvhd.dbf" and "tmpinvln.dbf" in the
// process's current directory (they stay there after the request). Both blocks are read and
// checked before anything is written to the invoice tables.
#include "engine/table/xb_dataset.h"
#include "shopper/column_money.h"
#include "shopper/request_tables.h"
#include "shopper/shopper_module.h"
#include "tables/data_module.h"
#include "tables/handler_frame.h"
#include "tables/module_errors.h"

namespace fidora {

namespace {

constexpr std::string_view kName = "DEBTOR_Oper_Detail";

// The columns the received header must have; a missing one raises "Field '%s' not found".
void CheckHeaderColumns(TXbDataSet& header) {
  for (const char* column : {"NUMBER", "CUSTOMER", "ACCBAL", "OWING"}) header.FieldByName(column);
}

// Loads the header block into `header` and leaves it open on the received header record.
void LoadHeader(TRxTx& rx, TXbDataSet& header) {
  if (!LoadTableFromRequest(rx, header)) throw EDataModule("The request has no invoice header");
  header.Open();
  if (header.Eof()) throw EDataModule("The invoice header block holds no record");
  CheckHeaderColumns(header);
}

// True when a line below the cursor begins a block (FindLine would wrap round to the header).
bool BlockFollows(const TRxTx& rx) {
  const TRequestLines& lines = rx.Request();
  for (size_t i = static_cast<size_t>(rx.LineIndex) + 1; i < lines.size(); ++i)
    if (lines.View(i).starts_with("DATA")) return true;
  return false;
}

void LoadLines(TRxTx& rx, TXbDataSet& lines) {
  if (!BlockFollows(rx) || !LoadTableFromRequest(rx, lines))
    throw EDataModule("The request has no invoice lines");
}

// TDM.RLock of the current record; a table without one (an empty table) has nothing to lock.
void LockCurrent(TDM& dm, TXbDataSet& table) {
  if (table.RecNo() > 0) dm.RLock(table);
}

// Moves the debtor table to the debtor named in the invoice's CUSTOMER column.
bool FindDebtor(TXbDataSet& debtors, TXbDataSet& invoice) {
  return debtors.Locate("ACCOUNTNUM", {invoice.FieldByName("CUSTOMER").Value()});
}

// The invoice's ACCBAL := the current debtor's CURRENTBAL.
void RecordBalance(TXbDataSet& invoice, TXbDataSet& debtors) {
  invoice.Edit();
  SetColumnMoney(invoice, "ACCBAL", ColumnMoney(debtors, "CURRENTBAL"));
  invoice.Post();
}

// The stored invoice (current in the invoice table) gets its debtor's balance and the received
// amount owing; the received header gets its debtor's balance too. No lines are written.
void RefreshInvoice(TSDM& module, TXbDataSet& header) {
  TXbDataSet& invoices = module.tInvHead;
  TXbDataSet& debtors = module.tDebtors;
  module.Data().RLock(invoices);
  LockCurrent(module.Data(), header);
  LockCurrent(module.Data(), debtors);
  if (FindDebtor(debtors, invoices)) RecordBalance(invoices, debtors);
  if (FindDebtor(debtors, header)) RecordBalance(header, debtors);
  debtors.Unlock();
  header.Unlock();
  const TMoney owing = ColumnMoney(header, "OWING");
  if (owing != ColumnMoney(invoices, "OWING")) {
    invoices.Edit();
    SetColumnMoney(invoices, "OWING", owing);
    invoices.Post();
  }
  invoices.Unlock();
}

// The received header, with its debtor's balance, becomes a new row of INVHEAD.DBF and every
// received line a row of INVLINE.DBF.
void StoreNewInvoice(TSDM& module, TRxTx& rx, TXbDataSet& header, TXbDataSet& lines) {
  TXbDataSet& invoices = module.tInvHead;
  TXbDataSet& debtors = module.tDebtors;
  LoadLines(rx, lines);
  LockCurrent(module.Data(), invoices);
  LockCurrent(module.Data(), header);
  LockCurrent(module.Data(), debtors);
  if (FindDebtor(debtors, header)) RecordBalance(header, debtors);
  debtors.Unlock();
  header.Unlock();
  CopyRecordByName(header, invoices);
  invoices.Unlock();

  TXbDataSet& invoice_lines = module.tInvLine;
  lines.Open();
  invoice_lines.Open();
  LockCurrent(module.Data(), invoice_lines);
  for (lines.First(); !lines.Eof(); lines.Next()) CopyRecordByName(lines, invoice_lines);
  invoice_lines.Unlock();
}

}  // namespace

void TSDM::DEBTOR_Oper_Detail(TRxTx& rx) {
  // Made without a database name: the temporary tables lie in the current directory.
  TXbDataSet header, lines;
  header.SetTableName("tmpinvhd.dbf");
  lines.SetTableName("tmpinvln.dbf");
  RunInFrame(rx,
             {"TSDM",
              kName,
              TableNames({&tInvHead, &tInvLine, &tDebtors}),
              {&tInvHead, &tInvLine, &tDebtors, &header, &lines}},
             [&] {
               LoadHeader(rx, header);
               tInvHead.Open();
               tDebtors.Open();
               if (tInvHead.Locate("NUMBER", {header.FieldByName("NUMBER").Value()}))
                 RefreshInvoice(*this, header);
               else
                 StoreNewInvoice(*this, rx, header, lines);
               header.Close();
               lines.Close();
               tInvHead.Close();
               tInvLine.Close();
               tDebtors.Close();
               ReplyOK(rx);
             });
}

}  // namespace fidora
