// The bytes of a request as a terminal sends them.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fidora {

// A text request: the line, then CR LF.
std::string TextRequest(std::string_view line);

// A block request: "B¦" + payload length + "¦C" + CR LF, then every line followed by CR LF.
std::string BlockRequest(const std::vector<std::string>& lines);

// The lines of a text: each ends at LF, a CR before the LF is dropped, and a line end after the
// last line gives no extra empty line.
std::vector<std::string> SplitInputLines(std::string_view text);

// The request a command-line tool sends for its LINE argument: a text request of the line, or,
// when the argument is "-", a block request of the lines read from `input`. Text given in UTF-8
// goes out as Windows-1252 (see ToCp1252). Returns no value, and sets `error`, when the request
// would be refused or misread: an empty line (the server skips it without a reply), a line with a
// CR or LF inside, no lines on the input, or a character Windows-1252 cannot hold.
std::optional<std::string> MakeRequest(std::string_view argument, std::istream& input,
                                       std::string& error);

// True for a FILE¦GET request (text or block), whose successful reply the server follows with
// the raw bytes of the file. Words are matched as the server matches them: the first field of the
// trimmed, upper-cased first line, and the second field trimmed.
bool IsFileGet(std::string_view request);

}  // namespace fidora
