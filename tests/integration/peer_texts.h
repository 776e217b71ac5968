#pragma once
// The French texts the model publishes, as the user reads them.
namespace tallyvane::integration::texts {

inline constexpr const char* signIn = "Reconnecte ton compte ChatGPT dans Codex.";
inline constexpr const char* unavailable = "Données temporairement indisponibles. Nouvel essai automatique.";
inline constexpr const char* late = "Le service tarde à répondre. Dernières données conservées.";
inline constexpr const char* childLost = "Connexion interrompue. Nouvel essai automatique.";
inline constexpr const char* writeFailed = "Connexion Codex indisponible.";

}  // namespace tallyvane::integration::texts
