// Where this program lives and how file names given as UTF-8 text reach the
// file system (wide names on Windows, so that any letter works).
#pragma once

#include <filesystem>
#include <string>

namespace qvhost {

// The full path of the running executable, UTF-8; empty when unknown.
std::string ownExecutable();

// A UTF-8 file name as a path, and back.
std::filesystem::path pathOf(const std::string& utf8);
std::string utf8Of(const std::filesystem::path& path);

}  // namespace qvhost
