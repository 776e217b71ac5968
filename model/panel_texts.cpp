#include "model/panel_texts.h"

#include "model/formatting.h"

namespace tallyvane {

UsageLevel usageLevel(double percentage) {
    if (percentage >= 90) return UsageLevel::Critical;
    if (percentage >= 75) return UsageLevel::Warning;
    return UsageLevel::Normal;
}

std::string subtitleText(bool demo) {
    return demo ? "Démo · données fictives" : "Limites du compte connecté à Codex";
}

std::string readingText(const std::optional<Instant>& updated) {
    return updated ? "Relevé à " + clockTime(*updated) : "En attente de données";
}

std::string usedText(double used) { return std::to_string(roundedPercent(used)) + " % utilisés"; }

std::string remainingText(double used, const std::optional<Instant>& exhausted) {
    std::string text = std::to_string(roundedPercent(100 - used)) + " % restants";
    if (exhausted) text += " · épuisé vers " + resetStamp(*exhausted);
    return text;
}

std::string resetText(Instant reset) { return "↻ " + resetStamp(reset); }

std::string tokenFigureText(const std::optional<std::int64_t>& tokens) {
    return tokens ? compactNumber(*tokens) : "—";
}

std::string tokenDayText(const std::optional<std::string>& dayKey) {
    return dayKey ? day(*dayKey) : "Date indisponible";
}

std::string lifetimeText(const std::optional<std::int64_t>& lifetime) {
    return lifetime ? compactNumber(*lifetime) : "Indisponible";
}

}  // namespace tallyvane
