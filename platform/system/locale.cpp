#include "platform/system/locale.h"

#include <cstdlib>

namespace voxquill {

namespace {

std::string firstSetting() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return value;
    }
    return "";
}

}  // namespace

std::string currentLocaleId() {
    std::string id = firstSetting();
    const auto cut = id.find_first_of(".@");
    if (cut != std::string::npos) id.erase(cut);
    return id;
}

}  // namespace voxquill
