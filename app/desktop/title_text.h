#pragma once
// The tray item's text, tooltip and menu lines, derived from the quota windows and the quota error.
#include <optional>
#include <string>
#include <vector>

#include "model/quota_window.h"

namespace tallyvane {

// Shown until the model first changes.
inline constexpr const char* initialStatusTitle = " GPT …";

// " GPT 62 %", " DÉMO GPT 62 %", " GPT 87 % !", or " GPT —" without any window.
std::string statusTitle(const std::vector<QuotaWindow>& windows, const std::optional<std::string>& error, bool demo);

// The widest title there can be, for hosts that reserve the label's room in advance.
std::string statusTitleGuide(bool demo);

std::string statusToolTip(const std::optional<std::string>& error, bool demo);

// A window's line in the item's menu, with the panel's own figures: « 5 heures : 38 % · ↻ 7 déc., 14:00 ».
std::string menuWindowLine(const QuotaWindow& window);

}  // namespace tallyvane
