// Windows-1252, the code page of protocol text, and UTF-8, the code page of a Linux terminal.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fidora {

// Appends the Windows-1252 bytes as UTF-8. Every byte converts: the five bytes that Windows-1252
// leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same value,
// as Windows itself converts them.
void AppendCp1252AsUtf8(std::string_view cp1252, std::string& out);

// As AppendCp1252AsUtf8, for showing on a terminal: control characters (0x00-0x1F except TAB,
// 0x7F and the unassigned 0x81, 0x8D, 0x8F, 0x90, 0x9D) are written as "\xNN" so that no byte of
// the text can move the cursor or send the terminal an escape sequence.
void AppendCp1252ForTerminal(std::string_view cp1252, std::string& out);

// The text as Windows-1252 bytes. Text that is valid UTF-8 is converted character by character;
// text that is not valid UTF-8 is taken to be Windows-1252 already and returned unchanged.
// Returns no value, and sets `error`, for a character that Windows-1252 cannot hold.
std::optional<std::string> ToCp1252(std::string_view text, std::string& error);

}  // namespace fidora
