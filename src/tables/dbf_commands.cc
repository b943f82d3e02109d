// The DBF family of the generic module: any table of the data directory read (filtered,
// restricted to some columns) or appended to. Each request makes its own dataset.
#include <fmt/printf.h>

#include <optional>
#include <string>

#include "engine/table/xb_dataset.h"
#include "protocol/family_dispatch.h"
#include "protocol/field_helpers.h"
#include "protocol/help_texts.h"
#include "protocol/terminal_names.h"
#include "tables/data_module.h"
#include "tables/handler_frame.h"
#include "tables/module_errors.h"
#include "tables/record_text.h"

namespace fidora {

namespace {

constexpr size_t kReadReplyLines = 1000;  // a READ reply stops adding records here
constexpr std::string_view kOutsideDataDirectory = "The name leaves the data directory";

// The first """ of a filter stands for one double quotation mark.
std::string FilterOfRequest(const TRxTx& rx) {
  std::string filter = rx.Request().Value("FILTER");
  if (const size_t at = filter.find("\"\"\""); at != std::string::npos) filter.replace(at, 3, "\"");
  return filter;
}

// A per-request dataset on `table` + ".dbf" in the generic dataset's directory, with the
// component's default settings. A name leaving the data directory is kept out of the dataset.
class TRequestTable {
 public:
  TRequestTable(const TXbDataSet& generic, const std::string& table)
      : inside_(NameInsideDataDirectory(table)) {
    dataset.SetDatabaseName(generic.DatabaseName());
    dataset.SetTableName((inside_ ? *inside_ : table) + ".dbf");
  }
  // Raises `message` when the name was refused.
  void CheckInside() const {
    if (!inside_) throw EDataModule(std::string(kOutsideDataDirectory));
  }

  TXbDataSet dataset;

 private:
  std::optional<std::string> inside_;
};

void OpenForRead(TRequestTable& table, const std::string& filter) {
  try {
    table.CheckInside();
    table.dataset.Open();
  } catch (const std::exception& error) {
    throw EDataModule(
        fmt::sprintf("Could not open table %s. Error text \"%s\". Used filter \"%s\".",
                     table.dataset.TableName(), error.what(), filter));
  }
}

// Opens the index files of an INDEX= line ("CUSTNUM,CUSTNAME") on the open dataset.
void OpenListedIndexes(TXbDataSet& dataset, const std::string& indexes) {
  if (indexes.empty()) return;
  const TAwkParser entries(',', indexes);
  for (int i = 1; i <= entries.FieldCount(); ++i) {
    const std::optional<std::string> name = NameInsideDataDirectory(entries.Field(i));
    if (!name) throw EDataModule(std::string(kOutsideDataDirectory));
    dataset.OpenIndexFile(dataset.Directory() + *name + ".ntx");
  }
}

void AppendRecord(TXbDataSet& dataset, const TAwkParser& columns, const TAwkParser& values) {
  dataset.Append();
  for (int i = 1; i <= columns.FieldCount(); ++i)
    // The engine converts the text to the column's type (dates as dd/mm/yyyy).
    dataset.FieldByName(columns.Field(i)).SetAsString(values.Field(i));
  dataset.Post();
}

}  // namespace

void TDM::DBF(TRxTx& rx) {
  const TSubCommand table[] = {
      {"READ", [this](TRxTx& r) { DBF_Read(r); }},
      {"APPEND", [this](TRxTx& r) { DBF_Append(r); }},
      {"HELP", [](TRxTx& r) { AddHelpText(r, DbfHelpText()); }},
  };
  DispatchFieldStyle(rx, table);
}

void TDM::DBF_Read(TRxTx& rx) {
  if (rx.Parser().FieldCount() != 3) {
    AddReply(rx, "STAT\xA6TDM.DBF_Read - Syntax Error : " + CurrentLine(rx));
    return;
  }
  const std::string name = rx.Parser().Field(3);
  TRequestTable table(tGeneric, name);
  TXbDataSet& dataset = table.dataset;
  RunInFrame(rx, {"TDM", "DBF_Read", dataset.TableName(), {&dataset}}, [&] {
    const bool with_recno = rx.Request().Value("RECNO") == "1";
    const std::string filter = FilterOfRequest(rx);
    dataset.SetFilter(filter);
    dataset.SetFiltered(!IsBlank(filter));
    OpenForRead(table, filter);
    AddReply(rx, "DBF\xA6READ\xA6" + name);
    AddReply(rx, "DATA");
    const TFieldHeader header = BuildFieldHeader(dataset, rx.Request().Value("FIELDS"));
    AddReply(rx, with_recno ? header.line + "\xA6RECNO;N;8;0" : header.line);
    for (dataset.First(); !dataset.Eof() && rx.Reply().size() < kReadReplyLines; dataset.Next()) {
      std::string line = FormatRecordLine(dataset, header.columns);
      if (with_recno) line += "\xA6" + std::to_string(dataset.RecNo());
      AddReply(rx, line);
    }
    AddReply(rx,
             "\xA6"
             "DATA");
    dataset.Close();
    dataset.SetFiltered(false);
    ReplyOK(rx);
  });
}

void TDM::DBF_Append(TRxTx& rx) {
  static constexpr std::string_view kName = "DBF_Append";
  if (rx.Parser().FieldCount() != 3) {
    AddReply(rx, "STAT\xA6TDM.DBF_Append - Syntax Error #1 : " + CurrentLine(rx));
    return;
  }
  const std::string name = rx.Parser().Field(3);
  std::string line = NextLine(rx);
  std::string indexes;
  if (UpperCase(line).starts_with("INDEX=")) {
    indexes = TextAfter(line, "=");
    line = NextLine(rx);
  }
  if (line != "DATA") {
    AddReply(rx, "STAT\xA6TDM.DBF_Append - Syntax Error #2 : " + CurrentLine(rx));
    return;
  }
  line = NextLine(rx);
  if (line ==
      "\xA6"
      "DATA") {
    AddReply(rx, "STAT\xA6TDM.DBF_Append - Syntax Error #3 : " + CurrentLine(rx));
    return;
  }
  const TAwkParser columns(kFieldSeparator, line);
  TRequestTable table(tGeneric, name);
  TXbDataSet& dataset = table.dataset;
  // No table-name lock: the engine's header and record locks keep appends apart.
  RunInFrame(rx, {"TDM", kName, "", {&dataset}}, [&] {
    table.CheckInside();
    dataset.Open();
    OpenListedIndexes(dataset, indexes);
    for (;;) {
      line = NextLine(rx);
      if (line ==
          "\xA6"
          "DATA")
        break;
      // NextLine gives empty text only past the last line: the block ended without "¦DATA".
      if (line.empty())
        throw EDataModule(
            "The request ends without its \"\xA6"
            "DATA\" line");
      const TAwkParser values(kFieldSeparator, line);
      if (values.FieldCount() != columns.FieldCount()) {
        AddReply(rx, "Error\xA6" + line);
        continue;
      }
      AppendRecord(dataset, columns, values);
    }
    dataset.Close();
    ReplyOK(rx);
  });
}

}  // namespace fidora
