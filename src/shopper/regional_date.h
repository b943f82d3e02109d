// Dates as the operating system writes them for the user's regional settings, where a reply
// asks for that rather than the program's own "dd/mm/yyyy" (VOUCHER UNUSED): the date format
// of the process's locale (LC_TIME, which Qt takes from the environment at start). The C and
// POSIX locales have no regional date format of their own; there the text is "dd/mm/yyyy".
#pragma once

#include <cstdint>
#include <string>

namespace fidora {

// The date text of a day number; "" for 0 (no date).
std::string RegionalDateText(int64_t day_number);

}  // namespace fidora
