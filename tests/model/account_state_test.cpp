// The account as Codex describes it beside the windows: what the model keeps, the panel's line and limit block,
// and the members status.json gains.
#include <gtest/gtest.h>

#include "model/account_texts.h"
#include "tests/support/fakes.h"
#include "tests/support/scoped_variable.h"

namespace tallyvane {
namespace {

// A read result: two windows (the first at `used`), the snapshot's `members`, then the result's own `top` members.
std::string answer(const std::string& members, const std::string& top = "", int used = 42) {
    return R"({"rateLimits":{"primary":{"usedPercent":)" + std::to_string(used) + R"(,"windowDurationMins":300,"resetsAt":1796600000},)"
           R"("secondary":{"usedPercent":5})" + (members.empty() ? "" : ",") + members + "}" + (top.empty() ? "" : ",") + top + "}";
}
std::string credits(const std::string& has, const std::string& unlimited, const std::string& balance) {
    return R"("credits":{"hasCredits":)" + has + R"(,"unlimited":)" + unlimited + R"(,"balance":)" + balance + "}";
}

// Each row: the answers (a notification as it comes; "!" an error answer), then "line | block | [planType,
// creditsBalance, limitReached, resetCreditsAvailable]" of status.json, "-" for no text. The windows always stay.
TEST(AccountState, LineBlockAndStatusMembers) {
    const auto zone = testing::setUntilTheEnd("TZ", "UTC");
    const std::string c539 = credits("true", "false", R"("5.39")"), reached = R"(,"rateLimitReachedType":)";
    const std::string relay = "Limite atteinte · les crédits prennent le relais (5,39 restants)", spent = "reprise le 6 déc., 23:33";
    const std::pair<std::vector<std::string>, std::string> table[] = {
        {{answer(R"("planType":"plus",)" + c539 + reached + R"("rate_limit_reached")",
                 R"("rateLimitResetCredits":{"availableCount":1,"credits":null},"ordinaryUsageAllowed":null)")},
         "Forfait Plus · 5,39 crédits · 1 réinitialisation disponible | " + relay + R"( | ["plus","5.39",true,1])"},
        {{answer(R"("planType":"unknown",)" + credits("false", "true", "null") + reached + R"("workspace_owner_credits_depleted")",
                 R"("rateLimitResetCredits":{"availableCount":2})")},
         R"(crédits illimités · 2 réinitialisations disponibles | Crédits de ton espace de travail épuisés · crédits illimités | ["unknown","",true,2])"},
        {{answer(R"("planType":"platinum")" + reached + R"("workspace_member_credits_depleted")", R"("rateLimitResetCredits":{"availableCount":0})", 100)},
         "- | Crédits de l’espace de travail épuisés : vois avec son administrateur · " + spent + R"( | ["","",true,0])"},
        {{answer(credits("true", "false", R"("1.994")") + reached + R"("workspace_owner_usage_limit_reached")")},
         R"(1,99 crédit | Limite de ton espace de travail atteinte · les crédits prennent le relais (1,99 restant) | ["","1.994",true,0])"},
        {{answer(credits("false", "false", R"("0")") + reached + R"("workspace_member_usage_limit_reached")")},
         R"(- | Limite de l’espace de travail atteinte : vois avec son administrateur | ["","0",true,0])"},
        {{answer(R"("spendControlReached":true)" + reached + R"("brand_new_limit")")}, R"(- | Limite atteinte | ["","",true,0])"},
        {{answer(R"("spendControlReached":true,)" + credits("true", "false", R"("9.996")"))},
         R"(10 crédits | Plafond de dépenses atteint · les crédits prennent le relais (10 restants) | ["","9.996",true,0])"},
        {{answer("", R"("ordinaryUsageAllowed":false,"rateLimitResetCredits":{"availableCount":-1})", 100)},
         "- | Limite atteinte · " + spent + R"( | ["","",true,0])"},
        {{answer(R"("planType":5,"spendControlReached":"true",)" + credits(R"("yes")", "1", "5.39") + reached + "7",
                 R"("ordinaryUsageAllowed":0,"rateLimitResetCredits":{"availableCount":"1"})")}, R"(- | - | ["","",false,0])"},
        {{answer(R"("planType":null,)" + credits("true", "false", R"("5,39")"))}, R"(- | - | ["","",false,0])"},
        // The codex entry stands for the account; errors keep everything; the notification keeps the top-level members.
        {{answer(R"("planType":"go")", R"("rateLimitResetCredits":{"availableCount":3},"rateLimitsByLimitId":{"codex":{"planType":"pro",)" +
                 c539 + R"(,"primary":{"usedPercent":1},"secondary":{"usedPercent":2}},"other":{}})"), "!",
          R"({"method":"account/rateLimits/updated","params":{"rateLimits":{"planType":"edu_pro",)" + c539 +
              R"(,"primary":{"usedPercent":1},"secondary":{"usedPercent":100}}}})"},
         "Forfait Edu · 5,39 crédits · 3 réinitialisations disponibles | " + relay + R"( | ["edu_pro","5.39",true,3])"},
    };
    for (const auto& [results, expected] : table) {
        testing::ModelRig rig;
        rig.startReady();
        for (const std::string& result : results) {
            rig.model->refresh();
            if (result == "!") rig.answerError(rig.pendingId("quota"), "failed to fetch codex rate limits");
            else if (result.starts_with(R"({"method")")) rig.receive(result);
            else rig.answerQuota(result);
        }
        const Json status = Json::parse(rig.files->writes.back().second);
        const Json members{status["planType"], status["creditsBalance"], status["limitReached"], status["resetCreditsAvailable"]};
        const AccountState& account = rig.model->account();
        EXPECT_EQ(accountLineText(account).value_or("-") + " | " + limitBlockText(account, rig.model->windows()).value_or("-") +
                      " | " + members.dump(), expected);
        EXPECT_EQ(rig.model->windows().size(), 2u) << expected;
    }
    // A name in French, in two words, one per family of ids; a known plan without a name; "Plus" is not the protocol's.
    const std::pair<const char*, const char*> plans[] = {{"free", "Gratuit"}, {"prolite", "Pro Lite"}, {"sci", ""}, {"Plus", ""},
        {"self_serve_business_usage_based", "Business"}, {"enterprise_cbp_automation", "Enterprise"}, {"edu_plus", "Edu"}};
    for (const auto& [plan, name] : plans)
        EXPECT_EQ(accountLineText(readAccount(Json::parse(answer(R"("planType":")" + std::string(plan) + "\"")), true, {})),
                  *name ? std::optional("Forfait " + std::string(name)) : std::nullopt) << plan;
}

}  // namespace
}  // namespace tallyvane
