#include "video/member_message.h"

#include "net/text_encoding.h"

namespace quivra {

std::string memberOnlyMessage() {
    return localText("这个质量需要大会员才可以下载哦，您还不是大会员或还没有登录哟，请先登录~");
}

}  // namespace quivra
