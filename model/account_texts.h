#pragma once
// The account's texts that the panel, the terminal view and the notifications all show, kept in
// one place beside the panel's other texts.
#include <optional>
#include <string>
#include <vector>

#include "model/account_state.h"
#include "model/quota_window.h"

namespace tallyvane {

inline constexpr const char* limitAlertSummary = "Limite Codex atteinte";

// A limit is reached when Codex names one (of any kind), refuses ordinary usage, reports its spend
// control reached, or a window is at 100 %.
bool limitReached(const AccountState& account, const std::vector<QuotaWindow>& windows);

// The earliest reset of the windows at 100 %, when one has a reset.
std::optional<Instant> limitReset(const std::vector<QuotaWindow>& windows);

// « Forfait Plus · 5,39 crédits · 1 réinitialisation disponible », of the parts that are known.
std::optional<std::string> accountLineText(const AccountState& account);

// At the limit: its headline, then what remains (« · les crédits prennent le relais (5,39 restants) »).
std::optional<std::string> limitBlockText(const AccountState& account, const std::vector<QuotaWindow>& windows);

// « Crédits : 5,39 · réinitialisation : 7 déc., 14:00. », of the parts that are known.
std::string limitAlertBody(const AccountState& account, const std::vector<QuotaWindow>& windows);

}  // namespace tallyvane
