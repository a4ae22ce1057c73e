// libFuzzer entry: every input is a patch file handed to qvhost run. The
// patch is read, checked, its libraries loaded and its modules wired; a
// mistake in it must end as qvhost's own one-line Failure, nothing else.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "failure.h"
#include "library.h"
#include "patch/patch.h"

#ifndef OVRA_PLUGIN_DIR
#define OVRA_PLUGIN_DIR "."
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const qvhost::PatchRunSettings settings = [] {
        qvhost::PatchRunSettings s;
        s.outputDir = (std::filesystem::temp_directory_path() / "ovra-fuzz-patch").string();
        const char* dir = std::getenv("OVRA_PLUGIN_DIR");
        s.searchDirs.push_back(dir != nullptr && *dir != 0 ? dir : OVRA_PLUGIN_DIR);
        s.checkOnly = true;
        return s;
    }();
    // Each library stays loaded for the whole run: the fuzzer keeps reading
    // the coverage counters of every library it has seen, so none may be
    // unloaded when a patch closes it.
    static const std::vector<std::unique_ptr<ovra::host::Library>> kept = [] {
        std::vector<std::unique_ptr<ovra::host::Library>> out;
        for (const char* name : {"uplink", "downlink", "guikit", "adsr"}) {
            std::string error;
            out.push_back(ovra::host::Library::open(settings.searchDirs.front() + "/" + name + ".qvm", error));
        }
        return out;
    }();
    try {
        const qvhost::JsonSource patch("fuzz.json", std::string(reinterpret_cast<const char*>(data), size));
        qvhost::runPatchJson(patch, ".", settings);
    } catch (const qvhost::Failure&) {
    }
    return 0;
}
