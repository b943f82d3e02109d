// What the table tool's commands share: opening tables the way the server does (shared,
// Clipper lock protocol), the "¦" separator, and record locks that wait like TDM.RLock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf/dbf_fields.h"

namespace fidora::tool {

// The broken bar as the terminal shows it (UTF-8); input lines may also use byte 166.
inline constexpr std::string_view kBar = "\xC2\xA6";

// Opens TABLE (".dbf" may be left off) shared with the Clipper lock protocol.
std::unique_ptr<TDbfFields> OpenTable(const std::string& table, bool read_write);

// Splits an input line at "¦" (UTF-8), or at byte 166 when the line has no UTF-8 bar.
std::vector<std::string> SplitBar(std::string_view line);

// A positive record number, else UsageError.
uint32_t ParseRecno(const std::string& text);

// Reads record n; "Record number %d is not in table %s" when it is not there.
void ReadExisting(TDbfFields& table, uint32_t n);

// Takes the record lock of record n, 100 attempts 50 ms apart; "Record is locked by another
// user" when it stays refused. The record is read again once locked.
void LockAndRead(TDbfFields& table, uint32_t n);

// Text shown for field n: the display text in the run's text coding; numbers without their
// leading blanks.
std::string ShownText(TDbfFields& table, int n);

}  // namespace fidora::tool
