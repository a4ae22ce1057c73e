#include "program_path.h"

namespace qvhost {

namespace fs = std::filesystem;

std::string ownExecutable() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

}  // namespace qvhost
