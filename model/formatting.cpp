#include "model/formatting.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>

#include <unicode/decimfmt.h>
#include <unicode/dtptngen.h>
#include <unicode/numfmt.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

namespace tallyvane {
namespace {

const icu::Locale french("fr_FR");

std::string utf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

UDate icuDate(Instant t) {
    return static_cast<UDate>(std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count());
}

// The user's zone as TZ or the system says now, re-read at every call.
std::unique_ptr<icu::TimeZone> userZone() { return std::unique_ptr<icu::TimeZone>(icu::TimeZone::detectHostTimeZone()); }

// The locale a Linux user sets for times: LC_ALL, then LC_TIME, then LANG ("de_DE.UTF-8@euro" -> "de_DE").
icu::Locale userTimeLocale() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0') continue;
        std::string name(value);
        name = name.substr(0, name.find_first_of(".@"));
        if (name == "C" || name == "POSIX") return icu::Locale("en_US_POSIX");
        return icu::Locale(name.c_str());
    }
    return icu::Locale("en_US_POSIX");
}

// Building an ICU formatter costs far more than using one: keep one per thread, locale and skeleton.
// The time zone is still read afresh at every call.
icu::SimpleDateFormat* skeletonFormat(const icu::Locale& locale, const char* skeleton) {
    thread_local std::map<std::string, std::unique_ptr<icu::SimpleDateFormat>> formats;
    auto& format = formats[std::string(locale.getName()) + "|" + skeleton];
    if (format) return format.get();
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status)) return nullptr;
    icu::UnicodeString pattern = generator->getBestPattern(icu::UnicodeString(skeleton), status);
    if (U_FAILURE(status)) return nullptr;
    auto made = std::make_unique<icu::SimpleDateFormat>(pattern, locale, status);
    if (U_FAILURE(status)) return nullptr;
    format = std::move(made);
    return format.get();
}

std::string formatWithSkeleton(Instant t, const icu::Locale& locale, const char* skeleton) {
    icu::SimpleDateFormat* format = skeletonFormat(locale, skeleton);
    if (format == nullptr) return {};
    format->adoptTimeZone(userZone().release());
    icu::UnicodeString text;
    format->format(icuDate(t), text);
    return utf8(text);
}

// French decimal with at most one fraction digit, no grouping, ties to even.
icu::NumberFormat* compactQuotientFormat() {
    thread_local std::unique_ptr<icu::NumberFormat> format = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::NumberFormat> made(icu::NumberFormat::createInstance(french, status));
        if (U_FAILURE(status)) return std::unique_ptr<icu::NumberFormat>();
        made->setGroupingUsed(false);
        made->setMinimumFractionDigits(0);
        made->setMaximumFractionDigits(1);
        made->setRoundingMode(icu::NumberFormat::kRoundHalfEven);
        return made;
    }();
    return format.get();
}

struct DayFormats {
    std::unique_ptr<icu::SimpleDateFormat> reader;
    std::unique_ptr<icu::SimpleDateFormat> writer;
};

const DayFormats& dayFormats() {
    thread_local DayFormats formats = [] {
        UErrorCode status = U_ZERO_ERROR;
        DayFormats made{
            std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString("yyyy-MM-dd"), icu::Locale("en_US_POSIX"), status),
            std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString("d MMMM yyyy"), french, status)};
        if (U_FAILURE(status)) return DayFormats{};
        made.reader->adoptTimeZone(icu::TimeZone::createTimeZone("GMT"));
        made.writer->adoptTimeZone(icu::TimeZone::createTimeZone("GMT"));
        made.reader->setLenient(false);
        return made;
    }();
    return formats;
}

// Four ASCII digits, "-", two, "-", two.
bool isDayKeyShape(const std::string& key) {
    if (key.size() != 10) return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? key[i] != '-' : (key[i] < '0' || key[i] > '9')) return false;
    }
    return true;
}

}  // namespace

std::string compactNumber(std::int64_t n) {
    struct Unit {
        double threshold;
        const char* suffix;
    };
    constexpr std::array units{Unit{1e9, "Md"}, Unit{1e6, "M"}, Unit{1e3, "k"}};
    const double v = static_cast<double>(n);
    for (const auto& unit : units) {
        if (unit.threshold > v) continue;
        std::string number;
        if (icu::NumberFormat* format = compactQuotientFormat()) {
            icu::UnicodeString text;
            format->format(v / unit.threshold, text);
            number = utf8(text);
        }
        if (number.empty()) number = "—";
        return number + " " + unit.suffix;
    }
    return std::to_string(n);
}

std::string day(const std::string& key) {
    const DayFormats& formats = dayFormats();
    if (!formats.reader) return key;
    // ICU, even when strict, skips blanks and marks and reads other scripts' digits: only the exact
    // ASCII shape is a day key.
    if (!isDayKeyShape(key)) return key;
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(key);
    icu::ParsePosition position(0);
    const UDate date = formats.reader->parse(text, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != text.length()) return key;
    icu::UnicodeString out;
    formats.writer->format(date, out);
    return utf8(out);
}

std::int64_t roundedPercent(double x) {
    if (std::isnan(x)) return 0;
    const double rounded = std::round(x);  // halves away from zero
    if (rounded >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
    if (rounded < -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(rounded);
}

std::string resetStamp(Instant t) { return formatWithSkeleton(t, french, "dMMMjmm"); }

std::string clockTime(Instant t) { return formatWithSkeleton(t, userTimeLocale(), "jmmss"); }

}  // namespace tallyvane
