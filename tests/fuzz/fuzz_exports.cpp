// libFuzzer entry: every input is a file handed to qvhost validate as a
// library. Its export table is read as ELF or PE and its bytes scanned for
// identifiers; a damaged file must give an answer or a reason, never a
// crash, a hang or a read outside it.
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include "validate/elf_exports.h"

namespace {

void stop(const char* rule) {
    std::fprintf(stderr, "broken rule: %s\n", rule);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<char> bytes(reinterpret_cast<const char*>(data), reinterpret_cast<const char*>(data) + size);
    std::string error;
    const auto names = qvhost::exportedNamesIn(bytes, error);
    if (names) {
        for (size_t i = 0; i < names->size(); ++i) {
            if ((*names)[i].size() > 1024)
                stop("an export name longer than 1024 bytes");
            if (i > 0 && !((*names)[i - 1] < (*names)[i]))
                stop("export names not sorted and unique");
        }
    } else if (error.empty()) {
        stop("no export table and no reason");
    }
    for (const auto& s : qvhost::utf16Strings(bytes)) {
        if (s.empty() || s.size() > 1024)
            stop("an identifier candidate empty or longer than 1024 code units");
        for (char16_t c : s)
            if (c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0xD800 && c < 0xE000) || c >= 0xFFFE)
                stop("an identifier candidate with an unprintable code unit");
    }
    return 0;
}
