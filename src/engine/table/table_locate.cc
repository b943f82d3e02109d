// Locate: a record by the values of some fields, through a tag whose key starts with those
// fields, or else by a scan.
#include <algorithm>

#include "engine/dbf/ansi_case.h"
#include "engine/dbf/xb_error.h"
#include "engine/table/table_handler.h"

namespace fidora {

namespace {

std::vector<std::string> SplitFields(const std::string& list) {
  std::vector<std::string> out;
  std::string current;
  for (char c : list + ";") {
    if (c == ';') {
      if (!current.empty()) out.push_back(current);
      current.clear();
    } else if (c != ' ') {
      current += c;
    }
  }
  return out;
}

// "UPPER(A)+B" -> "UPPER(A);B;": the form in which a key's field list is compared.
std::string KeyFieldForm(const std::string& text) {
  std::string out;
  for (char c : AnsiUpperCase(text)) {
    if (c == ' ') continue;
    out += (c == '+' || c == '-') ? ';' : c;
  }
  if (out.empty() || out.back() != ';') out += ';';
  return out;
}

}  // namespace

bool TTableHandler::Locate(const std::string& fields, const std::vector<std::string>& values,
                           uint32_t start_record, bool partial, bool case_insensitive) {
  found_ = false;
  if (!ReadRecord(kRecFirst) && record_count() == 0) return false;
  const std::vector<std::string> names = SplitFields(fields);
  std::string wanted;
  for (const std::string& n : names) wanted += AnsiUpperCase(n) + ";";

  TNtxTag* chosen = nullptr;
  auto qualifies = [&](TNtxTag* tag) {
    return tag && !tag->HasFor() && KeyFieldForm(tag->KeyExpression()).rfind(wanted, 0) == 0;
  };
  if (master_) {
    if (qualifies(master_)) chosen = master_;
  } else {
    for (int i = 1; i <= TagCount() && !chosen; ++i)
      if (qualifies(TagByNumber(i))) chosen = TagByNumber(i);
  }
  TNtxTag* const master = master_;
  bool found = false;
  try {
    found = chosen && start_record == 0
                ? LocateByTag(*chosen, fields, values, partial)
                : LocateByScan(fields, values, start_record, partial, case_insensitive);
  } catch (...) {
    master_ = master;
    throw;
  }
  const uint32_t at = recno();
  master_ = master;
  if (found) ReadRecord(static_cast<int64_t>(at));
  found_ = found;
  return found;
}

bool TTableHandler::LocateByTag(TNtxTag& tag, const std::string& fields,
                                const std::vector<std::string>& values, bool partial) {
  // The key is computed from a scratch record holding the values as they would be stored.
  const std::vector<char> saved(record_buffer(), record_buffer() + record_length());
  const std::vector<std::string> names = SplitFields(fields);
  std::string key;
  try {
    BlankRecord();
    for (size_t i = 0; i < names.size(); ++i)
      SetFieldText(names[i], i < values.size() ? values[i] : std::string());
    key = tag.CurrentRecordKey();
  } catch (...) {
    std::copy(saved.begin(), saved.end(), record_buffer());
    throw;
  }
  std::copy(saved.begin(), saved.end(), record_buffer());
  const bool was_exact = exact_, was_near = near_;
  exact_ = !partial;
  near_ = false;
  master_ = &tag;
  const bool found = Find(TrimKey(key));
  exact_ = was_exact;
  near_ = was_near;
  return found;
}

bool TTableHandler::LocateByScan(const std::string& fields, const std::vector<std::string>& values,
                                 uint32_t start_record, bool partial, bool case_insensitive) {
  const std::vector<std::string> names = SplitFields(fields);
  std::vector<int> numbers;
  std::vector<std::string> wanted;
  const std::vector<char> saved(record_buffer(), record_buffer() + record_length());
  BlankRecord();
  for (size_t i = 0; i < names.size(); ++i) {
    numbers.push_back(FieldNo(names[i]));
    SetFieldText(numbers.back(), i < values.size() ? values[i] : std::string());
    std::string text = FieldText(numbers.back());
    wanted.push_back(case_insensitive ? AnsiUpperCase(text) : text);
  }
  std::copy(saved.begin(), saved.end(), record_buffer());
  const bool ahead = read_ahead_.On();
  if (!master_) SetReadAhead(true);
  bool ok = start_record > 0 ? ReadRecord(start_record) && (ReadRecord(kRecNext), !at_end_)
                             : ReadRecord(kRecFirst);
  bool found = false;
  for (; ok && !found; ok = ReadRecord(kRecNext)) {
    found = true;
    for (size_t i = 0; i < numbers.size() && found; ++i) {
      std::string text = FieldText(numbers[i]);
      if (case_insensitive) text = AnsiUpperCase(text);
      if (partial && i + 1 == numbers.size())
        found = text.compare(0, wanted[i].size(), wanted[i]) == 0;
      else
        found = text == wanted[i];
    }
    if (found) break;
  }
  read_ahead_.SetOn(ahead);
  return found;
}

}  // namespace fidora
