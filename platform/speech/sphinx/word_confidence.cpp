#include "platform/speech/sphinx/word_confidence.h"

namespace voxquill {

std::string confidentHypothesis(const std::vector<PathWord>& path, double leastPosterior) {
    std::string hypothesis;
    for (const PathWord& word : path) {
        if (word.posterior < leastPosterior) continue;
        if (!hypothesis.empty()) hypothesis += ' ';
        hypothesis += word.word;
    }
    return hypothesis;
}

}  // namespace voxquill
