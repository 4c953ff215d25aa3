#include "download/engine/control_file.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

namespace quivra {

namespace {

// Control files are a few hundred bytes; anything far larger is not one.
constexpr std::uintmax_t kLargestControlFile = 16 << 20;

// Reads the record's integers in order: version 1 stores them big-endian, version 0 in
// the byte order of the machine that wrote it (this one).
class RecordReader {
  public:
    explicit RecordReader(std::string bytes) : bytes_(std::move(bytes)) {}

    std::optional<std::uint64_t> number(std::size_t size) {
        if (bytes_.size() - at_ < size) return std::nullopt;
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            const auto byte =
                static_cast<unsigned char>(bytes_[at_ + (bigEndian_ ? i : size - 1 - i)]);
            value = value << 8 | byte;
        }
        at_ += size;
        return value;
    }
    bool skip(std::uint64_t size) {
        if (bytes_.size() - at_ < size) return false;
        at_ += static_cast<std::size_t>(size);
        return true;
    }
    void setBigEndian(bool bigEndian) { bigEndian_ = bigEndian; }
    bool atEnd() const { return at_ == bytes_.size(); }

  private:
    std::string bytes_;
    std::size_t at_ = 0;
    bool bigEndian_ = true;
};

bool isWholeRecord(RecordReader& record) {
    const auto version = record.number(2);
    if (!version || *version > 1) return false;
    record.setBigEndian(*version == 1);
    const auto extension = record.number(4);
    const auto hashLength = record.number(4);
    if (!extension || !hashLength || !record.skip(*hashLength)) return false;
    const auto pieceLength = record.number(4);
    const auto totalLength = record.number(8);
    const auto uploadLength = record.number(8);
    const auto bitfieldLength = record.number(4);
    if (!pieceLength || *pieceLength == 0 || !totalLength || !uploadLength || !bitfieldLength) {
        return false;
    }
    const std::uint64_t pieces = (*totalLength + *pieceLength - 1) / *pieceLength;
    if (*bitfieldLength != (pieces + 7) / 8 || !record.skip(*bitfieldLength)) return false;
    const auto inFlight = record.number(4);
    if (!inFlight || *inFlight > pieces) return false;
    for (std::uint64_t i = 0; i < *inFlight; ++i) {
        const auto index = record.number(4);
        const auto length = record.number(4);
        const auto pieceBitfield = record.number(4);
        if (!index || *index >= pieces || !length || !pieceBitfield ||
            !record.skip(*pieceBitfield)) {
            return false;
        }
    }
    return record.atEnd();
}

}  // namespace

bool isReadableControlFile(const std::string& controlPath) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(controlPath, error);
    if (error || size > kLargestControlFile) return false;
    std::ifstream in(controlPath, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (!in.good() && !in.eof()) return false;
    if (bytes.size() != size) return false;
    RecordReader record(std::move(bytes));
    return isWholeRecord(record);
}

void dropUnresumablePartial(const std::string& filePath) {
    const std::string control = filePath + ".aria2";
    std::error_code error;
    if (!std::filesystem::exists(control, error) || isReadableControlFile(control)) return;
    std::filesystem::remove(filePath, error);
    std::filesystem::remove(control, error);
}

}  // namespace quivra
