#include "account/user_info.h"

#include <utility>
#include <vector>

#include "account/date_text.h"
#include "base/config_file.h"
#include "base/shared_state.h"
#include "net/cookies.h"
#include "net/http_request.h"
#include "net/json_object.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

const char* flagText(bool flag) {
    return flag ? "1" : "0";
}

// The thirteen keys go in one replacement of the file: a reader, or another instance,
// sees the whole account or none of it.
void storeUserRecord(const std::string& configPath, const UserRecord& user) {
    const std::vector<std::pair<std::string, std::string>> items = {
        {"mid", user.mid},
        {"name", user.name},
        {"headImg", user.headImg},
        {"coinNumber", user.coinNumber},
        {"moral", user.moral},
        {"emailVerify", flagText(user.emailVerify)},
        {"mobileVerify", flagText(user.mobileVerify)},
        {"cookie", user.cookie},
        {"level.currentLevel", user.level.currentLevel},
        {"level.currentExp", user.level.currentExp},
        {"level.nextExp", user.level.nextExp},
        {"vip.status", flagText(user.vip.status)},
        {"vip.dueDate", user.vip.dueDate},
    };
    writeConfigItems(configPath, "user", items);
}

}  // namespace

bool fetchUserInfo(std::string& cookie) {
    SharedState& state = sharedState();
    HttpRequestOptions options;
    options.cookies = &cookie;
    const std::string body =
        httpRequest(state.site.api + "/x/web-interface/nav?build=0&mobi_app=web", options);

    JsonObject json;
    if (!json.parse(utf8ToLocalText(body))) return false;
    if (json.valueText("code") != "0") {
        const std::string message = json.getText("message");
        state.user.update([&](UserRecord& user) { user.failureMessage = message; });
        json.clear();
        return false;
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

}  // namespace quivra
