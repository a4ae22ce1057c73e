// The way forward in a message: the known names nearest to a misspelt one.
#pragma once

#include <string>
#include <vector>

namespace qvhost {

// Edit distance (insertions, deletions, substitutions), ignoring case and
// treating '-', '_' and ' ' alike, so that "qv adsr4" is near "QV ADSR4".
size_t editDistance(const std::string& a, const std::string& b);

// "; did you mean "X"?" (or "X" or "Y"?) for the candidates nearest to `word`,
// when any is near enough to be a slip; else, for a short list, "; known: A, B,
// C"; else `otherwise`.
std::string suggestion(const std::string& word, const std::vector<std::string>& candidates,
                       const std::string& otherwise = "");

// "1 module", "2 modules".
std::string counted(size_t n, const std::string& singular, const std::string& plural = "");

}  // namespace qvhost
