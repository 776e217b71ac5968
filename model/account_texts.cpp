#include "model/account_texts.h"

#include <algorithm>
#include <map>

#include "model/formatting.h"

namespace tallyvane {
namespace {

std::optional<std::string> planText(const std::optional<std::string>& plan) {
    static const std::map<std::string, std::string> names{
        {"free", "Gratuit"}, {"go", "Go"}, {"plus", "Plus"}, {"pro", "Pro"}, {"prolite", "Pro Lite"},
        {"promax", "Pro Max"}, {"team", "Team"}, {"self_serve_business_prolite", "Business"},
        {"self_serve_business_usage_based", "Business"}, {"business", "Business"}, {"ent26", "Enterprise"},
        {"enterprise_cbp_automation", "Enterprise"}, {"enterprise_cbp_usage_based", "Enterprise"},
        {"enterprise", "Enterprise"}, {"edu", "Edu"}, {"edu_plus", "Edu"}, {"edu_pro", "Edu"}};
    if (!plan) return std::nullopt;
    const auto name = names.find(*plan);
    return name == names.end() ? std::nullopt : std::optional("Forfait " + name->second);
}

// Below 2 a French count takes the singular: « 1,5 crédit ».
bool plural(const std::string& french) {
    const std::string whole = french.substr(0, french.find(','));  // without leading zeros
    return whole.size() > 1 || whole >= "2";
}

std::string counted(const std::string& figure, const char* one, const char* many) {
    return figure + " " + (plural(figure) ? many : one);
}

std::string headline(const AccountState& account) {
    static const std::map<std::string, std::string> kinds{
        {"workspace_owner_credits_depleted", "Crédits de ton espace de travail épuisés"},
        {"workspace_member_credits_depleted", "Crédits de l’espace de travail épuisés : vois avec son administrateur"},
        {"workspace_owner_usage_limit_reached", "Limite de ton espace de travail atteinte"},
        {"workspace_member_usage_limit_reached", "Limite de l’espace de travail atteinte : vois avec son administrateur"}};
    if (account.reachedType)
        if (const auto kind = kinds.find(*account.reachedType); kind != kinds.end()) return kind->second;
    if (!account.reachedType && account.spendControlReached == true) return "Plafond de dépenses atteint";
    return "Limite atteinte";
}

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : " · ") + part;
    return text;
}

// A plain decimal text in French: comma, at most two decimals (rounded), no trailing zeros. "5.395" -> "5,4".
std::string frenchDecimal(const std::string& plain) {
    const std::size_t point = std::min(plain.find('.'), plain.size());
    std::string whole = plain.substr(0, point), fraction = point < plain.size() ? plain.substr(point + 1) : "";
    std::string digits = whole + (fraction + "000").substr(0, 3);  // hundredths and the digit that rounds them
    const bool up = digits.back() >= '5';
    digits.pop_back();
    for (std::size_t i = digits.size(); up && i-- > 0;) {
        if (digits[i] != '9') { ++digits[i]; break; }
        digits[i] = '0';
        if (i == 0) digits.insert(digits.begin(), '1');
    }
    whole = digits.substr(0, digits.size() - 2), fraction = digits.substr(digits.size() - 2);
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
    fraction.erase(fraction.find_last_not_of('0') + 1);
    return fraction.empty() ? whole : whole + "," + fraction;
}

}  // namespace

bool limitReached(const AccountState& account, const std::vector<QuotaWindow>& windows) {
    return account.reachedType || account.ordinaryUsageAllowed == false || account.spendControlReached == true ||
           std::any_of(windows.begin(), windows.end(), [](const QuotaWindow& w) { return w.used >= 100; });
}

std::optional<Instant> limitReset(const std::vector<QuotaWindow>& windows) {
    std::optional<Instant> earliest;
    for (const QuotaWindow& window : windows)
        if (window.used >= 100 && window.reset && (!earliest || *window.reset < *earliest)) earliest = window.reset;
    return earliest;
}

std::optional<std::string> accountLineText(const AccountState& account) {
    std::vector<std::string> parts;
    if (auto plan = planText(account.planType)) parts.push_back(std::move(*plan));
    if (account.unlimited == true) parts.emplace_back("crédits illimités");
    else if (account.hasCredits == true && account.balance)
        parts.push_back(counted(frenchDecimal(*account.balance), "crédit", "crédits"));
    if (account.resetCredits > 0)
        parts.push_back(counted(std::to_string(*account.resetCredits), "réinitialisation disponible",
                                "réinitialisations disponibles"));
    if (parts.empty()) return std::nullopt;
    return joined(parts);
}

std::optional<std::string> limitBlockText(const AccountState& account, const std::vector<QuotaWindow>& windows) {
    if (!limitReached(account, windows)) return std::nullopt;
    std::vector<std::string> parts{headline(account)};
    if (account.unlimited == true) parts.emplace_back("crédits illimités");
    else if (account.hasCredits == true)
        parts.push_back("les crédits prennent le relais" +
                        (account.balance ? " (" + counted(frenchDecimal(*account.balance), "restant", "restants") + ")" : ""));
    else if (const auto reset = limitReset(windows)) parts.push_back("reprise le " + resetStamp(*reset));
    return joined(parts);
}

std::string limitAlertBody(const AccountState& account, const std::vector<QuotaWindow>& windows) {
    std::vector<std::string> parts;
    if (account.unlimited == true) parts.emplace_back("Crédits illimités");
    else if (account.hasCredits == true && account.balance) parts.push_back("Crédits : " + frenchDecimal(*account.balance));
    else if (account.hasCredits == true) parts.emplace_back("Crédits disponibles");
    else if (account.hasCredits == false) parts.emplace_back("Aucun crédit");
    if (const auto reset = limitReset(windows))
        parts.push_back(std::string(parts.empty() ? "R" : "r") + "éinitialisation : " + resetStamp(*reset));
    return parts.empty() ? std::string() : joined(parts) + ".";
}

}  // namespace tallyvane
