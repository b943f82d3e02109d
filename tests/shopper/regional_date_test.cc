// The regional date text in the locales without a regional format of their own.
#include "shopper/regional_date.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "engine/dbf/dbf_date.h"

namespace fidora {
namespace {

TEST(RegionalDateText, IsDayMonthYearInTheCLocalesAndEmptyForNoDate) {
  const int64_t day = TxDBFDate::EncodeDay(2021, 2, 1);
  const std::string before = std::setlocale(LC_TIME, nullptr);
  for (const char* locale : {"C", "POSIX", "C.UTF-8"}) {
    if (!std::setlocale(LC_TIME, locale)) continue;
    EXPECT_EQ(RegionalDateText(day), "01/02/2021") << locale;
    EXPECT_EQ(RegionalDateText(0), "") << locale;
  }
  std::setlocale(LC_TIME, before.c_str());
}

}  // namespace
}  // namespace fidora
