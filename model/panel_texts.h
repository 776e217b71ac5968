#pragma once
// The texts and thresholds that the panel and the terminal view both show, kept in one place so
// that the two views cannot drift apart.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace tallyvane {

// How alarming a consumed percentage is: Critical from 90, Warning from 75, Normal below (and for NaN).
enum class UsageLevel { Normal, Warning, Critical };
UsageLevel usageLevel(double percentage);

inline constexpr const char* titleText = "Tallyvane";
inline constexpr const char* connectingText = "Connexion à ton compte…";
inline constexpr const char* tokenHeadingText = "TOKENS DÉCLARÉS PAR CODEX";
inline constexpr const char* lifetimeCaptionText = "Total historique";
inline constexpr const char* tokenNoteText =
    "L’historique peut arriver en retard. Il ne représente pas un compteur de toutes les conversations ChatGPT.";
inline constexpr const char* refreshPeriodText = "Toutes les 30 s";

std::string subtitleText(bool demo);
// « Relevé à HH:MM:SS », or « En attente de données » before the first reading.
std::string readingText(const std::optional<Instant>& updated);

// One quota window: « 38 % utilisés », « 62 % restants », « ↻ 5 oct. 14:30 ».
std::string usedText(double used);
// « 62 % restants », or « 62 % restants · épuisé vers 7 déc., 11:40 » when the window would run out first.
std::string remainingText(double used, const std::optional<Instant>& exhausted = std::nullopt);
std::string resetText(Instant reset);

// The token figures, or what stands in for one Codex did not give.
std::string tokenFigureText(const std::optional<std::int64_t>& tokens);
std::string tokenDayText(const std::optional<std::string>& dayKey);
std::string lifetimeText(const std::optional<std::int64_t>& lifetime);

}  // namespace tallyvane
