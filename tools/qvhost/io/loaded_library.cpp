// Opening a library with its description, and finding a module in it.
#include "loaded_library.h"

#include "abi/abi.h"
#include "failure.h"
#include "suggest.h"

namespace qvhost {

using namespace ovra;

LoadedLibrary openLibrary(const std::string& path, bool needDescription) {
    LoadedLibrary lib;
    std::string error;
    lib.library = host::Library::open(path, error);
    if (!lib.library)
        throw Failure(error);
    const std::string descriptionPath = descriptionPathFor(path);
    try {
        lib.description = loadDescription(descriptionPath);
    } catch (const Failure& e) {
        if (needDescription)
            throw Failure(std::string(e.what()) + " (the module description of " + path + ")");
        lib.descriptionProblem = e.what();
    }
    return lib;
}

namespace {

// Whether the factory creates the identifier under any sub-type.
bool registered(const host::Library& library, const std::string& id) {
    for (int32_t subType : {SUBTYPE_DSP, SUBTYPE_GUI_V1, SUBTYPE_GUI_V2}) {
        IMpUnknown* out = nullptr;
        const int32_t rc = library.createBare(host::fromUtf8(id), subType, &out);
        if (out != nullptr)
            out->Release();
        if (rc == RC_OK && out != nullptr)
            return true;
    }
    return false;
}

}  // namespace

std::string unknownIdentifier(const LoadedLibrary& lib, const std::string& id) {
    const std::string where = "unknown module identifier \"" + id + "\" in " + lib.library->path();
    if (registered(*lib.library, id))
        return where + ": the library registers it, but " + descriptionPathFor(lib.library->path()) +
               " does not describe it";
    // Only what the library can create is worth suggesting.
    std::vector<std::string> ids;
    for (const auto& m : lib.description->modules)
        if (registered(*lib.library, m.id))
            ids.push_back(m.id);
    return where + suggestion(id, ids, "; qvhost info " + lib.library->path() + " lists them");
}

const ModuleDescription& findModule(const LoadedLibrary& lib, const std::string& id) {
    const ModuleDescription* module = lib.description->find(id);
    if (module == nullptr)
        throw Failure(unknownIdentifier(lib, id));
    return *module;
}

LibraryModule openModule(const std::string& path, const std::string& id) {
    LibraryModule found{openLibrary(path, true)};
    found.module = &findModule(found.lib, id);
    return found;
}

}  // namespace qvhost
