// How table text meets the person at the terminal. Tables keep their text in the OEM code page
// (437); the tool shows it as UTF-8 and stores UTF-8 input as OEM bytes, going through the
// ANSI code page (Windows-1252) exactly as the server's datasets and the terminals do, so the
// tool shows what a terminal would show. With --raw the stored bytes pass both ways unchanged.
#pragma once

#include <string>
#include <string_view>

namespace fidora::tool {

enum class TextCoding { Utf8, Raw };

// The coding of this run of the tool, chosen once from the command line (default Utf8).
void SetTextCoding(TextCoding coding);
TextCoding CurrentTextCoding();

// Stored table bytes as the text to print.
std::string ShownFromStored(std::string_view stored);

// Text from the command line or standard input as the bytes to store. Input that is not valid
// UTF-8 is taken as Windows-1252 already (a line using byte 166 as its separator). Throws
// EXbError naming the character when Windows-1252 cannot hold it.
std::string StoredFromInput(std::string_view input);

}  // namespace fidora::tool
