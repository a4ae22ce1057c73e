// Where this program lives, and how file names given as UTF-8 text reach the
// file system: as wide names on Windows, so that a folder with any letters
// works, unchanged on Linux.
#pragma once

#include <filesystem>
#include <string>

#include "utf8.h"

namespace qvhost {

// The full path of the running executable, UTF-8; empty when unknown.
std::string ownExecutable();

// A UTF-8 file name as a path, and back.
inline std::filesystem::path pathOf(const std::string& utf8) {
#if defined(_WIN32)
    const ovra::wstring wide = ovra::host::fromUtf8(utf8);
    return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
#else
    return std::filesystem::path(utf8);
#endif
}

inline std::string utf8Of(const std::filesystem::path& path) {
#if defined(_WIN32)
    const std::wstring& wide = path.native();
    return ovra::host::toUtf8(ovra::wstring(wide.begin(), wide.end()));
#else
    return path.string();
#endif
}

}  // namespace qvhost
