#include "tools/dbf/text_coding.h"

#include "engine/dbf/xb_error.h"
#include "engine/table/oem_ansi.h"
#include "protocol/cp1252.h"

namespace fidora::tool {

namespace {
TextCoding g_coding = TextCoding::Utf8;
}  // namespace

void SetTextCoding(TextCoding coding) {
  g_coding = coding;
}

TextCoding CurrentTextCoding() {
  return g_coding;
}

std::string ShownFromStored(std::string_view stored) {
  if (g_coding == TextCoding::Raw) return std::string(stored);
  std::string shown;
  shown.reserve(stored.size());
  AppendCp1252AsUtf8(OemToAnsi(stored), shown);
  return shown;
}

std::string StoredFromInput(std::string_view input) {
  if (g_coding == TextCoding::Raw) return std::string(input);
  std::string error;
  const std::optional<std::string> ansi = ToCp1252(input, error);
  if (!ansi) throw EXbError(error);
  return AnsiToOem(*ansi);
}

}  // namespace fidora::tool
