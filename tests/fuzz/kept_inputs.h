// The inputs kept for a fuzz target: its seed corpus and every input that
// once made it fail, replayed by the ordinary test suites.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace ovra::fuzz {

// The files under <root>/corpus/<target> and <root>/regressions/<target>,
// sorted; hidden files are left out.
inline std::vector<std::filesystem::path> keptInputs(const std::filesystem::path& root, const std::string& target) {
    std::vector<std::filesystem::path> files;
    for (const char* kind : {"corpus", "regressions"}) {
        const auto dir = root / kind / target;
        if (!std::filesystem::is_directory(dir))
            continue;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline std::vector<uint8_t> contentsOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace ovra::fuzz
