#include "suggest.h"

#include <algorithm>
#include <cctype>

namespace qvhost {

namespace {

char folded(char c) {
    if (c == '-' || c == '_')
        return ' ';
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

constexpr size_t kListedAtMost = 8;  // a longer list of names helps no one

}  // namespace

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const size_t cost = folded(a[i - 1]) == folded(b[j - 1]) ? 0 : 1;
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + cost});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string suggestion(const std::string& word, const std::vector<std::string>& candidates,
                       const std::string& otherwise) {
    if (candidates.empty())
        return otherwise;
    // Near enough to be a slip: about a third of the word may differ.
    const size_t limit = std::max<size_t>(2, word.size() / 3);
    size_t best = limit + 1;
    std::vector<std::string> nearest;
    for (const auto& c : candidates) {
        const size_t d = editDistance(word, c);
        if (d < best) {
            best = d;
            nearest.clear();
        }
        if (d == best && std::find(nearest.begin(), nearest.end(), c) == nearest.end())
            nearest.push_back(c);
    }
    std::string out;
    if (!nearest.empty() && nearest.size() <= 3) {
        out = "; did you mean ";
        for (size_t i = 0; i < nearest.size(); ++i)
            out += (i == 0 ? "" : " or ") + ("\"" + nearest[i] + "\"");
        return out + "?";
    }
    if (candidates.size() > kListedAtMost)
        return otherwise;
    out = "; known: ";
    for (size_t i = 0; i < candidates.size(); ++i)
        out += (i == 0 ? "" : ", ") + candidates[i];
    return out;
}

std::string counted(size_t n, const std::string& singular, const std::string& plural) {
    return std::to_string(n) + " " + (n == 1 ? singular : plural.empty() ? singular + "s" : plural);
}

}  // namespace qvhost
