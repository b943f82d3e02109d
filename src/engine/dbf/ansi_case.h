// Upper and lower case of single-byte text, following Windows-1252 (ASCII and the Latin-1
// letters), the way names and keys are compared throughout the engine.
#pragma once

#include <string>
#include <string_view>

namespace fidora {

char AnsiUpper(char c);
char AnsiLower(char c);
std::string AnsiUpperCase(std::string_view text);
// Appends the upper case of text to out.
void AppendAnsiUpper(std::string& out, std::string_view text);
std::string AnsiLowerCase(std::string_view text);
// Equal without regard to case.
bool AnsiSameText(std::string_view a, std::string_view b);

}  // namespace fidora
