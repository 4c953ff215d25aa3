#include "account/user_info.h"

#include <utility>
#include <vector>

#include "base/config_file.h"
#include "base/date_text.h"
#include "base/proxy_route.h"
#include "base/settings_table.h"
#include "base/shared_state.h"
#include "net/answer_reason.h"
#include "net/cookies.h"
#include "net/http_request.h"
#include "net/json_object.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

// Every [user] key goes in one replacement of the file: a reader, or another instance,
// sees the whole account or none of it.
void storeUserRecord(const std::string& configPath, const UserRecord& user) {
    writeSettings(configPath, settingKeysOf<UserRecord>(), user);
}

}  // namespace

bool fetchUserInfo(std::string& cookie) {
    SharedState& state = sharedState();
    HttpRequestOptions options;
    options.cookies = &cookie;
    HttpOutcome outcome = HttpOutcome::NoAnswer;
    options.outcome = &outcome;
    const std::string body = utf8ToLocalText(
        siteRequest(state.site.api + "/x/web-interface/nav?build=0&mobi_app=web", options));

    // A failure always says why: the site's message, or what was wrong with the answer.
    auto fail = [&](const std::string& reason) {
        state.user.update([&](UserRecord& user) { user.failureMessage = reason; });
        return false;
    };
    JsonObject json;
    if (!json.parse(body)) return fail(unreadableAnswerReason(outcome, body));
    if (const std::string code = json.valueText("code"); code != "0") {
        const std::string message = json.getText("message");
        json.clear();
        return fail(message.empty() ? refusedAnswerReason(code, message) : message);
    }

    UserRecord fresh;
    fresh.mid = json.valueText("data.mid");
    fresh.name = json.getText("data.uname");
    fresh.headImg = json.getText("data.face");
    fresh.coinNumber = json.valueText("data.money");
    fresh.moral = json.valueText("data.moral");
    fresh.emailVerify = json.valueText("data['email_verified']") == "1";
    fresh.mobileVerify = json.valueText("data['mobile_verified']") == "1";
    fresh.cookie = cookie;
    fresh.level.currentLevel = json.valueText("data['level_info']['current_level']");
    fresh.level.currentExp = json.valueText("data['level_info']['current_exp']");
    fresh.level.nextExp = json.valueText("data['level_info']['next_exp']");
    fresh.vip.status = json.valueText("data.vipStatus") == "1";
    fresh.vip.dueDate = timestampToDate(json.valueText("data.vipDueDate"));
    json.clear();
    keepUserRecord(std::move(fresh));
    return true;
}

void keepUserRecord(UserRecord user) {
    SharedState& state = sharedState();
    user.cookie = fitCookieList(user.cookie, kMaxConfigValueBytes);
    // Every field but the failure message is replaced in one step.
    state.user.update([&](UserRecord& shared) {
        user.failureMessage = std::move(shared.failureMessage);
        shared = user;
    });
    storeUserRecord(state.configPath, user);
}

void forgetUserInfo() {
    SharedState& state = sharedState();
    state.user.set(defaultUserRecord());
    storeUserRecord(state.configPath, defaultUserRecord());
}

}  // namespace quivra
