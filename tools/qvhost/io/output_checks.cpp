// Checks of what qvhost writes, made in qvhost's words and kept apart from
// the file libraries so that every way of writing shares them.
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "audio_file.h"
#include "failure.h"
#include "suggest.h"

namespace qvhost {

namespace fs = std::filesystem;

bool isNullDevice(const std::string& path) {
    if (path == "/dev/null")
        return true;
#ifdef _WIN32
    std::string name = path;
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name == "NUL" || name == "\\\\.\\NUL";
#else
    return false;
#endif
}

void checkOutputFile(const std::string& path, const std::string& extension, const std::string& what) {
    if (isNullDevice(path))
        return;
    const fs::path p(path);
    std::string ext = p.extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != extension) {
        std::string kind = extension.substr(1);
        for (char& c : kind)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        throw Failure(what + ": qvhost writes " + kind + " files only; name the file " + p.stem().string() +
                      extension);
    }
    const fs::path folder = p.parent_path();
    std::error_code ec;
    if (!folder.empty() && !fs::is_directory(folder, ec))
        throw Failure(what + ": the folder " + folder.string() + " does not exist");
}

void reportNonFinite(const std::vector<Signal>& signals, int32_t sampleRate, bool strict) {
    size_t failing = 0;
    for (const auto& s : signals) {
        size_t count = 0, first = 0;
        for (size_t i = 0; i < s.samples.size(); ++i)
            if (!std::isfinite(s.samples[i]) && count++ == 0)
                first = i;
        if (count == 0)
            continue;
        ++failing;
        const float v = s.samples[first];
        std::fprintf(stderr, "qvhost: %s: %s is not finite from %.6f s (first %s; %s of %zu)\n",
                     strict ? "error" : "warning", s.name.c_str(), static_cast<double>(first) / sampleRate,
                     std::isnan(v) ? "nan" : v > 0 ? "inf" : "-inf", counted(count, "sample").c_str(),
                     s.samples.size());
    }
    if (strict && failing > 0)
        throw Failure("--strict: " + counted(failing, "signal") + " not finite");
}

}  // namespace qvhost
