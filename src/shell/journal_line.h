// Lines on standard error, the server's console and, under systemd, its journal. When
// standard error is the journal (the JOURNAL_STREAM variable names its device and inode),
// every line starts with its syslog priority ("<3>" for an error ... "<6>" for information),
// which the journal keeps as the entry's priority and strips from the text; anywhere else the
// lines are written as they are.
#pragma once

#include <string_view>

namespace fidora {

enum class TLinePriority { Error = 3, Warning = 4, Notice = 5, Info = 6 };

// Writes `text`, one line per line of it, to standard error.
void StderrLine(TLinePriority priority, std::string_view text);

// Whether the open file `fd` is the one `journal_stream` ("device:inode", may be null) names.
bool IsJournalStream(int fd, const char* journal_stream);

}  // namespace fidora
