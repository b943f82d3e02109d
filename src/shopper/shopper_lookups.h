// Finding shoppers and clubs, and the reward parameters of a club.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/money.h"

namespace fidora {

class TXbDataSet;

// The seek key of a shopper number in the order TRAKNUM (UPPER(ACCOUNTNUM)): the number as
// given, padded with blanks to 16 characters; a longer number stays as it is.
std::string ShopperKey(std::string_view number);

// The TRAKNUM key of a shopper whose ACCOUNTNUM is set to `number`: the number cut to the
// column's 16 characters, upper-cased and padded. Seeking it tells whether storing the number
// would give a second shopper the key of an existing one.
std::string StoredShopperKey(std::string_view number);

// Moves the open dataset to its first record, then on until `column`, trimmed and
// upper-cased, equals `value`, trimmed and upper-cased (null values are empty text). True on
// the first match, which stays current; false at the end of the table.
bool LocateByColumn(TXbDataSet& dataset, const std::string& column, std::string_view value);

// The reward parameters of one club (CLUB.DBF).
struct ClubRewards {
  int32_t PointsDivisor = 0;    // CLUBPTS: the purchase amount that earns one point
  int32_t RewardThreshold = 0;  // CLUBREWRD: the points that earn one reward
  TMoney RewardDollars;         // CLUBDOLL: shopper dollars per reward
};

}  // namespace fidora
