// JsonObject: parsing arbitrary bytes and reading or changing the document at arbitrary
// paths. Whatever it holds must print to a text that parses back (taken as it is, so
// that a string stays a string) to the same print; a null document parses as a failure.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/json_object.h"

using quivra::JsonObject;

namespace {

bool mayWriteBackslash(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text.find('\\') != std::string::npos || text.find("\xE2\x90\x80") != std::string::npos ||
           lower.find("u2400") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string document = input.ConsumeRandomLengthString(4096);
    // Stored texts write their backslashes raw (and U+2400 as a backslash), so a document
    // holding either may print as text that is not JSON; only other documents must parse back.
    bool rawBackslashes = mayWriteBackslash(document);
    const bool direct = input.ConsumeBool();

    JsonObject json;
    if (json.parse(document, direct)) {
        const std::string printed = json.toText();
        JsonObject again;
        if (!rawBackslashes && (!again.parse(printed, true) || again.toText() != printed)) {
            std::abort();
        }
    }

    while (input.remaining_bytes() > 0) {
        const std::string path = input.ConsumeRandomLengthString(64);
        rawBackslashes = rawBackslashes || mayWriteBackslash(path);
        switch (input.ConsumeIntegralInRange(0, 11)) {
            case 0:
                json.getText(path, input.ConsumeBool());
                break;
            case 1:
                json.getObject(path).toText();
                break;
            case 2:
                json.count(path);
                break;
            case 3:
                json.typeOf(path);
                break;
            case 4: {
                const std::string value = input.ConsumeRandomLengthString(64);
                rawBackslashes = rawBackslashes || mayWriteBackslash(value);
                json.setValue(path, value, input.ConsumeBool());
                break;
            }
            case 5:
                json.exists(path);
                break;
            case 6:
                json.remove(path);
                break;
            case 7: {
                const std::string value = input.ConsumeRandomLengthString(32);
                rawBackslashes = rawBackslashes || mayWriteBackslash(value);
                json.addItem(value, path, input.ConsumeBool(), input.ConsumeBool());
                break;
            }
            case 8:
                json.getItemText(input.ConsumeIntegral<int>(), path);
                break;
            case 9:
                json.removeItem(input.ConsumeIntegral<int>(), path);
                break;
            case 10:
                json.setNumber(path, input.ConsumeFloatingPoint<double>());
                break;
            default: {
                std::string resolved = path;
                json.resolvePath(resolved);
                json.valueText(resolved);
                break;
            }
        }
    }
    // Whatever the changes did, the document still prints as JSON that parses back.
    const std::string final = json.toText();
    JsonObject reparsed;
    if (!rawBackslashes && !reparsed.parse(final, true) && !final.empty() && final != "null") {
        std::fprintf(stderr, "does not parse back: %s\n", final.c_str());
        std::abort();
    }
    return 0;
}
