// A library opened with its description, and a module found in it: how
// every command that names a library and a module reaches them.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "description.h"
#include "library.h"

namespace qvhost {

// A library with its description; the description is optional for info and
// validate only.
struct LoadedLibrary {
    std::unique_ptr<ovra::host::Library> library;
    std::optional<LibraryDescription> description;
    std::string descriptionProblem;  // why there is none
};
// Throws Failure when the library does not load, or (with needDescription)
// when its description cannot be read.
LoadedLibrary openLibrary(const std::string& path, bool needDescription);

// Throws Failure naming the nearest identifiers when `id` is not in the library.
const ModuleDescription& findModule(const LoadedLibrary& lib, const std::string& id);
// Why `id` is not a module of the library, with the nearest identifiers.
std::string unknownIdentifier(const LoadedLibrary& lib, const std::string& id);

// A described module of an opened library.
struct LibraryModule {
    LoadedLibrary lib;
    const ModuleDescription* module = nullptr;  // in lib.description
};
// Opens the library with its description and finds the module: openLibrary,
// then findModule. Throws Failure.
LibraryModule openModule(const std::string& path, const std::string& id);

}  // namespace qvhost
