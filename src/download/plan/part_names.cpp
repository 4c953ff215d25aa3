#include "download/plan/part_names.h"

#include <algorithm>

#include "video/title_cleaning.h"

namespace quivra {

std::string rowNumberText(int row) {
    std::string number = std::to_string(static_cast<long long>(row) + 1);
    if (number.size() == 1) number.insert(0, "0");
    return number;
}

std::string pageName(const std::string& pageTitle) {
    std::string name = cleanTitle(pageTitle);
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

}  // namespace quivra
