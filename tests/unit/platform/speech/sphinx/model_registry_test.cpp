#include "platform/speech/sphinx/model_registry.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace voxquill {
namespace {

using testing::TempDir;

// Lays out a model as the engine's packages install it.
void installModel(const TempDir& root, const std::string& folder, const std::string& name) {
    ::mkdir((root.path() + "/" + folder).c_str(), 0755);
    const std::string base = folder + "/" + name;
    ::mkdir((root.path() + "/" + base).c_str(), 0755);
    ::mkdir((root.path() + "/" + base + "/" + name).c_str(), 0755);
    for (const char* part : {"mdef", "means", "variances", "transition_matrices"}) {
        root.write(base + "/" + name + "/" + part, "x");
    }
    root.write(base + "/" + name + ".lm.bin", "x");
    root.write(base + "/cmudict-" + name + ".dict", "x");
}

TEST(ModelRegistry, LocaleIdentifiersNameModelsLooselyInForm) {
    for (const char* id : {"en-US", "en_US", "en-us", "en_US.UTF-8", "EN_us@euro"}) {
        EXPECT_EQ(modelNameFor(id), "en-us") << id;
    }
    EXPECT_EQ(modelNameFor(""), "");
}

TEST(ModelRegistry, FindsAModelByLocaleThenByLanguage) {
    TempDir root;
    installModel(root, "system", "en-us");
    installModel(root, "system", "fr-fr");
    const std::vector<std::string> folders = {root.path() + "/system"};

    const auto exact = findModel(folders, "fr_FR.UTF-8");
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->name, "fr-fr");
    EXPECT_EQ(exact->acousticModel, root.path() + "/system/fr-fr/fr-fr");
    EXPECT_EQ(exact->languageModel, root.path() + "/system/fr-fr/fr-fr.lm.bin");
    EXPECT_EQ(exact->dictionary, root.path() + "/system/fr-fr/cmudict-fr-fr.dict");
    EXPECT_TRUE(isUsable(*exact));

    const auto sameLanguage = findModel(folders, "en_GB");
    ASSERT_TRUE(sameLanguage);
    EXPECT_EQ(sameLanguage->name, "en-us");

    for (const char* none : {"de_DE", "C", "POSIX", "", "e"}) EXPECT_FALSE(findModel(folders, none)) << none;
}

TEST(ModelRegistry, EarlierFoldersWinAndMissingFoldersAreSkipped) {
    TempDir root;
    installModel(root, "system", "en-us");
    installModel(root, "local", "en-us");
    const auto model = findModel({root.path() + "/absent", root.path() + "/local", root.path() + "/system"}, "en-US");
    ASSERT_TRUE(model);
    EXPECT_EQ(model->acousticModel, root.path() + "/local/en-us/en-us");
    EXPECT_FALSE(findModel({root.path() + "/absent"}, "en-US"));
}

TEST(ModelRegistry, AModelWithAMissingPartIsNotUsable) {
    TempDir root;
    installModel(root, "system", "en-us");
    const std::vector<std::string> folders = {root.path() + "/system"};
    ::unlink((root.path() + "/system/en-us/en-us/means").c_str());
    const auto model = findModel(folders, "en-US");
    ASSERT_TRUE(model);
    EXPECT_FALSE(isUsable(*model));
}

TEST(ModelRegistry, PlainDictionaryAndTextLanguageModelNamesAreAccepted) {
    TempDir root;
    installModel(root, "local", "de-de");
    ::rename((root.path() + "/local/de-de/de-de.lm.bin").c_str(), (root.path() + "/local/de-de/de-de.lm").c_str());
    ::rename((root.path() + "/local/de-de/cmudict-de-de.dict").c_str(),
             (root.path() + "/local/de-de/de-de.dict").c_str());
    const auto model = findModel({root.path() + "/local"}, "de_DE");
    ASSERT_TRUE(model);
    EXPECT_EQ(model->languageModel, root.path() + "/local/de-de/de-de.lm");
    EXPECT_EQ(model->dictionary, root.path() + "/local/de-de/de-de.dict");
    EXPECT_TRUE(isUsable(*model));
}

}  // namespace
}  // namespace voxquill
