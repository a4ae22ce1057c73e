#include "program_path.h"

namespace qvhost {

namespace fs = std::filesystem;

std::string ownExecutable() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

fs::path pathOf(const std::string& utf8) { return fs::path(utf8); }

std::string utf8Of(const fs::path& path) { return path.string(); }

}  // namespace qvhost
