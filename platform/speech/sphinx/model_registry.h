#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace voxquill {

// The files of one installed CMU Sphinx model for a language, as paths: a
// plain value, any thread. In a model
// folder, the model named NAME (say "en-us") is the folder NAME holding the
// acoustic model NAME/NAME, the language model NAME.lm.bin (or NAME.lm) and
// the dictionary cmudict-NAME.dict (or NAME.dict).
struct LanguageModel {
    std::string name;
    std::string acousticModel;
    std::string languageModel;
    std::string dictionary;
};

constexpr std::string_view defaultLocaleId = "en-US";

// "en_US.UTF-8", "en-US" and "en-us" all name the model "en-us".
std::string modelNameFor(std::string_view localeId);

// The first model, folder by folder, named for the locale; failing that, one
// of the same language ("en" or "en_GB" find "en-us"). Reads the folders;
// any thread.
std::optional<LanguageModel> findModel(const std::vector<std::string>& folders, std::string_view localeId);

// Whether every file the engine loads is present and readable.
bool isUsable(const LanguageModel& model);

}  // namespace voxquill
