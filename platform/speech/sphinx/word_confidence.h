#pragma once

#include <string>
#include <vector>

// Pure: any thread.

namespace voxquill {

// A word of an utterance's best path, with the share of the utterance's
// lattice that passes through it (1 when the search kept no lattice).
struct PathWord {
    std::string word;
    double posterior;
};

// The words of `path` in order, spelt as the engine spells them and
// separated by spaces, as its hypotheses are, but for those less sure than
// `leastPosterior`: breaths, clicks and noise taken for words are the
// unsure ones, and without them more errors went than came.
std::string confidentHypothesis(const std::vector<PathWord>& path, double leastPosterior);

}  // namespace voxquill
