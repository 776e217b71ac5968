#include "app/desktop/title_text.h"

#include "model/formatting.h"
#include "model/panel_texts.h"
#include "model/safe_text.h"

namespace tallyvane {

std::string statusTitle(const std::vector<QuotaWindow>& windows, const std::optional<std::string>& error, bool demo) {
    const std::optional<double> highest = highestUse(windows);
    if (!highest) return " GPT —";
    std::string title = " ";
    if (demo) title += "DÉMO ";
    title += "GPT " + std::to_string(roundedPercent(*highest)) + " %";
    if (error) title += " !";
    return title;
}

std::string statusTitleGuide(bool demo) { return demo ? " DÉMO GPT 100 % !" : " GPT 100 % !"; }

std::string statusToolTip(const std::optional<std::string>& error, bool demo) {
    if (demo) return "Démo · données fictives · aucune connexion";
    return "Quota Codex consommé · " + error.value_or("Actualisation toutes les 30 secondes");
}

std::string menuWindowLine(const QuotaWindow& window) {
    std::string line = safeText(window.name) + " : " + std::to_string(roundedPercent(window.used)) + " %";
    if (window.reset) line += " · " + resetText(*window.reset);
    return line;
}

}  // namespace tallyvane
