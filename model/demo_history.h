#pragma once
// The history shown with the demo data: nothing is ever stored in demo mode, so it is built here, leading up
// to the demo windows' values (5 heures at 38 %, Semaine at 62 %) so that the 5-hour forecast shows
// « épuisé vers » and the weekly one does not; and 30 daily token counts ending on 2026-10-03.
#include "platform/clock.h"
#include "platform/history_store.h"

namespace tallyvane {

HistorySnapshot demoHistory(Instant now);

}  // namespace tallyvane
