// JsonObject: parsing arbitrary bytes and reading or changing the document at arbitrary
// paths. Whatever it holds must print to a text that parses back (taken as it is, so
// that a string stays a string) to the same print; a null document parses as a failure.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/json_object.h"

using quivra::JsonObject;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string document = input.ConsumeRandomLengthString(4096);
    const bool direct = input.ConsumeBool();

    JsonObject json;
    if (json.parse(document, direct)) {
        const std::string printed = json.toText();
        JsonObject again;
        if (!again.parse(printed, true) || again.toText() != printed) std::abort();
    }

    while (input.remaining_bytes() > 0) {
        const std::string path = input.ConsumeRandomLengthString(64);
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
                json.setValue(path, value, input.ConsumeBool());
                break;
            }
            case 5:
                json.exists(path);
                break;
            case 6:
                json.remove(path);
                break;
            case 7:
                json.addItem(input.ConsumeRandomLengthString(32), path, input.ConsumeBool(),
                             input.ConsumeBool());
                break;
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
    if (!reparsed.parse(final, true) && !final.empty() && final != "null") {
        std::fprintf(stderr, "does not parse back: %s\n", final.c_str());
        std::abort();
    }
    return 0;
}
