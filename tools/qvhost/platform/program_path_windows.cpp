#include "program_path.h"

#include <windows.h>

#include "utf8.h"

namespace qvhost {

namespace fs = std::filesystem;

std::string ownExecutable() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0)
            return {};
        if (n < name.size()) {
            name.resize(n);
            return ovra::host::toUtf8(ovra::wstring(name.begin(), name.end()));
        }
        name.resize(name.size() * 2);
    }
}

}  // namespace qvhost
