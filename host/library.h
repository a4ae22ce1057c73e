// Host side: loading a .qvm library, reaching its factory, creating modules.
#pragma once

#include <memory>
#include <string>

#include "abi/framework_types.h"
#include "utf8.h"  // identifiers and paths cross as UTF-16

namespace ovra::host {

// A loaded plug-in library. Unloads on destruction; modules created from it
// must be released first.
class Library {
public:
    // Loads the file and asks its export for the factory. On failure answers
    // null and says why in error (never throws, never crashes on a file that
    // is not a plug-in library).
    static std::unique_ptr<Library> open(const std::string& path, std::string& error);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    const std::string& path() const { return path_; }
    GetFactoryFunction getFactory() const { return getFactory_; }
    IMpFactory2* factory() const { return factory_; }

    // Creates a module and answers the result code; the caller owns *out.
    int32_t create(const wstring& id, int32_t subType, IMpUnknown* host, IMpUnknown** out) const;
    int32_t createBare(const wstring& id, int32_t subType, IMpUnknown** out) const;
    // The factory's build text and version.
    std::string describeBuild(int32_t* version = nullptr) const;
    // Another export of the library by name, or null.
    void* symbol(const char* name) const;

private:
    Library() = default;

    std::string path_;
    void* handle_ = nullptr;
    GetFactoryFunction getFactory_ = nullptr;
    IMpFactory2* factory_ = nullptr;
};

// What a file holds, told from its first bytes: a library for this platform
// or for the other one. Files that cannot be read are Unreadable.
enum class BinaryKind { Unreadable, Elf, WindowsPe, Other };
BinaryKind binaryKind(const std::string& path);

// Interface pointer helper: asks an object for I, answers null when absent.
template <class I>
I* queryInterface(IMpUnknown* object, const Guid& iid) {
    void* out = nullptr;
    if (object == nullptr || object->QueryInterface(&iid, &out) != RC_OK)
        return nullptr;
    return static_cast<I*>(out);
}

}  // namespace ovra::host
