#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace voxquill {

// Both are pure and may be called from any thread; the hypothesis is only
// read during the call.

// The words of an engine hypothesis, without silence, filler and noise tokens
// ("<sil>", "[noise]", "++um++") and without alternate-pronunciation marks
// ("read(2)" is "read").
std::vector<std::string> spokenWords(std::string_view hypothesis);

// The words joined by single spaces, the first letter capitalized and the
// pronoun "I" too ("i", "i'm", "i'll"); no punctuation is added.
std::string transcriptOf(const std::vector<std::string>& words);

}  // namespace voxquill
