#include "platform/speech/sphinx/model_registry.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>

namespace voxquill {

namespace {

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isReadableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), R_OK) == 0;
}

std::string firstExisting(const std::string& first, const std::string& second) {
    return isReadableFile(first) ? first : second;
}

LanguageModel modelAt(const std::string& folder, const std::string& name) {
    const std::string base = folder + "/" + name + "/";
    LanguageModel model;
    model.name = name;
    model.acousticModel = base + name;
    model.languageModel = firstExisting(base + name + ".lm.bin", base + name + ".lm");
    model.dictionary = firstExisting(base + "cmudict-" + name + ".dict", base + name + ".dict");
    return model;
}

std::vector<std::string> modelNamesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && isDirectory(folder + "/" + name)) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string languageOf(const std::string& modelName) {
    return modelName.substr(0, modelName.find('-'));
}

std::optional<LanguageModel> findNamed(const std::vector<std::string>& folders, const std::string& wanted,
                                       bool sameLanguageWillDo) {
    for (const auto& folder : folders) {
        for (const auto& name : modelNamesIn(folder)) {
            const bool matches = sameLanguageWillDo ? languageOf(name) == languageOf(wanted) : name == wanted;
            if (matches) return modelAt(folder, name);
        }
    }
    return std::nullopt;
}

}  // namespace

std::string modelNameFor(std::string_view localeId) {
    std::string name(localeId.substr(0, localeId.find_first_of(".@")));
    for (char& c : name) {
        c = c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

std::optional<LanguageModel> findModel(const std::vector<std::string>& folders, std::string_view localeId) {
    const std::string wanted = modelNameFor(localeId);
    if (wanted.empty()) return std::nullopt;
    if (auto model = findNamed(folders, wanted, false)) return model;
    return findNamed(folders, wanted, true);
}

bool isUsable(const LanguageModel& model) {
    for (const char* part : {"mdef", "means", "variances", "transition_matrices"}) {
        if (!isReadableFile(model.acousticModel + "/" + part)) return false;
    }
    return isReadableFile(model.languageModel) && isReadableFile(model.dictionary);
}

}  // namespace voxquill
