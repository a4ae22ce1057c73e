#include "scratch_folder.h"

#include <stdexcept>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace ovra::test {

std::filesystem::path makeScratchFolder(const std::string& prefix) {
#if defined(_WIN32)
    const int id = _getpid();
#else
    const int id = static_cast<int>(getpid());
#endif
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    // A folder of the same name left by an earlier process of the same id
    // is passed over, never reused.
    for (int count = 0; count < 1000; ++count) {
        const std::filesystem::path dir = base / (prefix + std::to_string(id) + "-" + std::to_string(count));
        if (std::filesystem::create_directory(dir))
            return dir;
    }
    throw std::runtime_error("no scratch folder could be made in " + base.string());
}

}  // namespace ovra::test
