#include "platform/text/transcript_text.h"

#include <cctype>
#include <sstream>

namespace voxquill {

namespace {

bool isFillerToken(const std::string& token) {
    const char first = token.front();
    return first == '<' || first == '[' || first == '+';
}

std::string withoutPronunciationMark(std::string token) {
    const auto open = token.rfind('(');
    if (open != std::string::npos && open > 0 && token.back() == ')') token.erase(open);
    return token;
}

bool isPronounI(const std::string& word) {
    return word == "i" || (word.size() > 1 && word[0] == 'i' && word[1] == '\'');
}

void capitalizeFirst(std::string& word) {
    word[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
}

}  // namespace

std::vector<std::string> spokenWords(std::string_view hypothesis) {
    std::istringstream tokens{std::string(hypothesis)};
    std::vector<std::string> words;
    for (std::string token; tokens >> token;) {
        if (!isFillerToken(token)) words.push_back(withoutPronunciationMark(token));
    }
    return words;
}

std::string transcriptOf(const std::vector<std::string>& words) {
    std::string text;
    for (std::string word : words) {
        if (text.empty() || isPronounI(word)) capitalizeFirst(word);
        if (!text.empty()) text += ' ';
        text += word;
    }
    return text;
}

}  // namespace voxquill
