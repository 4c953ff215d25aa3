#include "account/user_info.h"

#include <utility>

#include "account/date_text.h"
#include "base/config_file.h"
#include "base/shared_state.h"
#include "net/http_request.h"
#include "net/json_object.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

const char* flagText(bool flag) {
    return flag ? "1" : "0";
}

void storeUserRecord(const std::string& configPath, const UserRecord& user) {
    const std::pair<const char*, std::string> items[] = {
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
    for (const auto& [key, value] : items) writeConfigItem(configPath, "user", key, value);
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

    // Every field but the failure message is replaced in one step.
    state.user.update([&](UserRecord& user) {
        fresh.failureMessage = std::move(user.failureMessage);
        user = fresh;
    });
    storeUserRecord(state.configPath, fresh);
    return true;
}

void forgetUserInfo() {
    SharedState& state = sharedState();
    state.user.set({});
    storeUserRecord(state.configPath, UserRecord{});
}

}  // namespace quivra
