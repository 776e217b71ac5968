#pragma once
// When the history recorder writes a row: a change, or a heartbeat every few minutes so that flat
// stretches still show in the history.
#include <optional>

#include "model/quota_window.h"
#include "platform/clock.h"
#include "platform/history_store.h"

namespace tallyvane {

Reading readingOf(const QuotaWindow& window, Instant takenAt);

// True when `next` must be stored after `last` (the window's last stored row; none yet: true): its used
// percentage, name or duration changed, its reset moved by more than 60 s (or appeared or disappeared),
// or 5 minutes have passed.
bool worthStoring(const std::optional<Reading>& last, const Reading& next);

}  // namespace tallyvane
