// TDbfBuild: creates a new table of the Clipper type (dBase III layout). Fields are added
// in record order, then Build() writes the file, replacing any file of that name that no
// other program has open; a table with memo fields gets its memo file too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf/file_io.h"

namespace fidora {

class TDbfBuild {
 public:
  // The name is trimmed; ".DBF" is added when it has no extension. The files are made
  // through io, which must outlive the build.
  explicit TDbfBuild(std::string_view file_name, FileIo& io = SystemFileIo());

  // Name upper-cased and cut to 10 characters, type upper-cased. M, B and G become 10,0
  // (and make it a memo table), D 8,0, L 1,0; C takes 1..65535 (the high byte goes into the
  // decimals byte); other types keep length and decimals, each within one byte. A
  // definition beyond these limits raises EXbError.
  void AddField(std::string_view name, char type, uint32_t length, uint32_t decimals);
  // Creates the table (and its .dbt memo file). Raises EXbError when the header or the
  // record would be too long, or when the file cannot be created.
  void Build();

  const std::string& path() const { return path_; }

 private:
  struct Field {
    std::string name;
    char type;
    uint8_t length_byte;
    uint8_t decimals_byte;
    uint32_t length;
  };

  FileIo& io_;
  std::string path_;
  std::vector<Field> fields_;
  uint32_t record_length_ = 1;
  bool has_memo_ = false;
};

}  // namespace fidora
