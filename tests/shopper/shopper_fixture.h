// The fixture of the SHOPPER family's tests through the real server on the small shop, and
// the readers of reply lines they share.
#pragma once

#include <algorithm>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "support/shop_server.h"

namespace fidora::test {

// The "|"-separated values of a line.
inline std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t bar; (bar = line.find('|', start)) != std::string::npos; start = bar + 1)
    fields.push_back(line.substr(start, bar - start));
  fields.push_back(line.substr(start));
  return fields;
}

// The values of one column (0-based) of the record lines of a data block.
inline std::vector<std::string> Column(const std::vector<std::string>& reply, size_t column) {
  std::vector<std::string> values;
  auto data = std::find(reply.begin(), reply.end(), "DATA");
  if (data == reply.end() || data + 1 == reply.end()) return values;
  for (auto line = data + 2; line != reply.end() && *line != "|DATA"; ++line)
    values.push_back(Split(*line).at(column));
  return values;
}

class ShopperService : public ShopServerTest {
 protected:
  // A shopper's columns by name, as READEX shows them.
  std::map<std::string, std::string> Shopper(const std::string& number) {
    const std::vector<std::string> reply = Ask("SHOPPER|READEX|" + number);
    std::map<std::string, std::string> columns;
    if (reply.size() != 6) {
      ADD_FAILURE() << number << ": " << testing::PrintToString(reply);
      return columns;
    }
    const std::vector<std::string> header = Split(reply[2]), row = Split(reply[3]);
    for (size_t i = 0; i < header.size() && i < row.size(); ++i)
      columns[header[i].substr(0, header[i].find(';'))] = row[i];
    return columns;
  }
};

}  // namespace fidora::test
