#include "download/plan/part_names.h"

#include <algorithm>
#include <cstring>

#include "download/job/merge_command.h"
#include "download/plan/download_files.h"
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

std::string outputFilePath(const std::string& directory, const std::string& videoTitle, int row,
                           const std::string& pageTitle, const std::string& suffix) {
    // The page name is cut so that the whole name fits, with room for the merge's ".part".
    const std::string number = rowNumberText(row) + "_";
    const std::size_t room = kNameBytes - std::strlen(kPartSuffix) - number.size() - suffix.size();
    return directory + "/" + videoTitle + "/" + number + fitNameBytes(pageName(pageTitle), room) +
           suffix;
}

}  // namespace quivra
