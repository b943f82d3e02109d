// Translation between the OEM code page of the tables (437) and the program's ANSI code page
// (Windows-1252). Bytes below 128 are unchanged. A character that the other code page lacks
// becomes its nearest look-alike (an unaccented letter, "+", "-", "|"), so a Latin-1 letter
// that code page 437 has survives a round trip and one it lacks keeps at least its base letter.
#pragma once

#include <string>
#include <string_view>

namespace fidora {

char OemToAnsiChar(char c);
char AnsiToOemChar(char c);
std::string OemToAnsi(std::string_view text);
std::string AnsiToOem(std::string_view text);

}  // namespace fidora
