#pragma once
// French texts for the panel's numbers and dates (ICU data).
#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace tallyvane {

std::string compactNumber(std::int64_t n);
std::string day(const std::string& key);
std::int64_t roundedPercent(double x);
std::string resetStamp(Instant t);   // French, user's time zone
std::string clockTime(Instant t);    // user's locale (LC_ALL / LC_TIME / LANG) and time zone

}  // namespace tallyvane
