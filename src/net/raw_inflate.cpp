#include "net/raw_inflate.h"

#include <zlib.h>

#include <array>

namespace quivra {

Inflated inflateRaw(std::string_view compressed, std::size_t cap) {
    Inflated result;
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return result;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    std::array<char, 64 * 1024> chunk{};
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk.data());
        stream.avail_out = static_cast<uInt>(chunk.size());
        status = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = chunk.size() - stream.avail_out;
        if (result.text.size() + produced > cap) {
            inflateEnd(&stream);
            return {Inflated::TooLarge, {}};
        }
        result.text.append(chunk.data(), produced);
    }
    inflateEnd(&stream);
    if (status == Z_STREAM_END) {
        result.outcome = Inflated::Whole;
    } else if (status == Z_BUF_ERROR) {  // out of input before the stream's end
        result.outcome = Inflated::Cut;
    } else {
        result.outcome = Inflated::NotDeflate;
        result.text.clear();
    }
    return result;
}

}  // namespace quivra
