#include "model/json_numbers.h"

#include <cmath>
#include <limits>

namespace tallyvane {

const nlohmann::json* jsonMember(const nlohmann::json& object, const char* name) {
    if (!object.is_object()) return nullptr;
    const auto it = object.find(name);
    return it == object.end() ? nullptr : &*it;
}

std::optional<double> jsonDouble(const nlohmann::json& value) {
    if (!value.is_number()) return std::nullopt;  // is_number() is false for booleans
    return value.get<double>();
}

std::int64_t saturatingTruncate(double value) {
    constexpr double upper = 9223372036854775808.0;  // 2^63, the first value out of range
    if (std::isnan(value)) return 0;
    if (value >= upper) return std::numeric_limits<std::int64_t>::max();
    if (value < -upper) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

std::optional<std::int64_t> jsonTruncatedInt64(const nlohmann::json& value) {
    if (value.is_number_integer() && !value.is_number_unsigned()) return value.get<std::int64_t>();
    if (value.is_number_unsigned()) {
        auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return std::numeric_limits<std::int64_t>::max();
        return static_cast<std::int64_t>(u);
    }
    if (value.is_number_float()) return saturatingTruncate(value.get<double>());
    return std::nullopt;
}

std::optional<std::int64_t> jsonIntegral(const nlohmann::json& value) {
    if (value.is_number_unsigned()) {
        auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
        return static_cast<std::int64_t>(u);
    }
    if (value.is_number_integer()) return value.get<std::int64_t>();
    if (!value.is_number_float()) return std::nullopt;
    double d = value.get<double>();
    if (!std::isfinite(d) || std::trunc(d) != d || d >= 9223372036854775808.0 || d < -9223372036854775808.0)
        return std::nullopt;
    return static_cast<std::int64_t>(d);
}

std::optional<Instant> instantFromUnixSeconds(double seconds) {
    using namespace std::chrono;
    // Instants count nanoseconds in 64 bits; stay a little inside that range.
    constexpr double limit = 9.2e9;
    if (!std::isfinite(seconds) || std::fabs(seconds) > limit) return std::nullopt;
    auto ns = static_cast<std::int64_t>(std::llround(seconds * 1e9));
    return Instant{} + duration_cast<system_clock::duration>(nanoseconds(ns));
}

}  // namespace tallyvane
