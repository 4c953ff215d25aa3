#include "net/raw_inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace quivra {
namespace {

std::string deflateRaw(const std::string& text) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, text.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

TEST(RawInflate, TellsAWholeBodyFromACutOneAForeignOneAndABomb) {
    const std::string xml = "<i>" + std::string(200000, 'x') + "</i>";
    const std::string body = deflateRaw(xml);

    const Inflated whole = inflateRaw(body, xml.size());
    EXPECT_EQ(whole.outcome, Inflated::Whole);
    EXPECT_EQ(whole.text, xml);

    const Inflated cut = inflateRaw(std::string_view(body).substr(0, body.size() / 2), 1 << 20);
    EXPECT_EQ(cut.outcome, Inflated::Cut);
    EXPECT_LT(cut.text.size(), xml.size());

    // A zlib stream (with its header) and plain text are not raw deflate.
    EXPECT_EQ(inflateRaw("\x78\x9c\xcb\x48\xcd\xc9\xc9\x07\x00\x06\x2c\x02\x15", 100).outcome,
              Inflated::NotDeflate);
    EXPECT_EQ(inflateRaw("<i></i> is plain XML", 100).outcome, Inflated::NotDeflate);

    // One byte past the cap is refused and nothing is kept.
    const Inflated bomb = inflateRaw(body, xml.size() - 1);
    EXPECT_EQ(bomb.outcome, Inflated::TooLarge);
    EXPECT_TRUE(bomb.text.empty());
}

}  // namespace
}  // namespace quivra
