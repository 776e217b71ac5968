#pragma once
// Reading values sent by the peer. They are untrusted: booleans are not numbers here,
// and conversions saturate instead of overflowing.
#include <cstdint>
#include <optional>

#include <nlohmann/json.hpp>

#include "platform/clock.h"

namespace tallyvane {

// The member `name` of `object`; null when `object` is not an object or has no such member.
const nlohmann::json* jsonMember(const nlohmann::json& object, const char* name);

// The value as a double, when it is a JSON number (not a boolean).
std::optional<double> jsonDouble(const nlohmann::json& value);

// The value truncated toward zero to 64 bits, saturating at the range ends.
std::optional<std::int64_t> jsonTruncatedInt64(const nlohmann::json& value);

// The value when it is a number with an integral value inside the 64-bit range; 1e300 and -0.5 are not.
std::optional<std::int64_t> jsonIntegral(const nlohmann::json& value);

std::int64_t saturatingTruncate(double value);

// Seconds since 1970 as an instant, absent when outside what an instant can hold (about years 1678-2262).
std::optional<Instant> instantFromUnixSeconds(double seconds);

}  // namespace tallyvane
