#include "library.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#endif

namespace ovra::host {

namespace {

std::filesystem::path nativePath(const std::string& utf8) {
#if defined(_WIN32)
    const wstring wide = fromUtf8(utf8);
    return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
#else
    return std::filesystem::path(utf8);
#endif
}

// A library built for the other platform cannot load here; saying what it
// is beats the loader's own message.
bool isForeignLibrary(const std::string& path, std::string& error) {
#if defined(_WIN32)
    if (binaryKind(path) == BinaryKind::Elf) {
        error = path + " is a Linux library: validate it with qvhost on Linux, or build the Windows twin";
        return true;
    }
#else
    if (binaryKind(path) == BinaryKind::WindowsPe) {
        error = path + " is a Windows library: the Linux qvhost runs it with qvhost.exe under Wine, or build the native twin";
        return true;
    }
#endif
    return false;
}

#if defined(_WIN32)
void* loadLibrary(const std::string& path, std::string& error) {
    const std::wstring name = nativePath(path).wstring();
    if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = "cannot load " + path + ": no such file";
        return nullptr;
    }
    // A full path: a bare name would make the loader search the system
    // folders, and the library's own folder is where its neighbours lie.
    std::wstring full(MAX_PATH, L'\0');
    DWORD n = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    full.resize(n < full.size() ? n : 0);
    HMODULE h = LoadLibraryExW(full.empty() ? name.c_str() : full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (h == nullptr) {
        const DWORD code = GetLastError();
        if (code == ERROR_BAD_EXE_FORMAT)
            error = "cannot load " + path + ": not a 64-bit Windows library";
        else if (code == ERROR_MOD_NOT_FOUND)
            error = "cannot load " + path + ": a library it needs is missing";
        else
            error = "cannot load " + path + ": error " + std::to_string(code);
    }
    return reinterpret_cast<void*>(h);
}
void* findSymbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void unloadLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
void* loadLibrary(const std::string& path, std::string& error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        error = "cannot load " + path + ": no such file";
        return nullptr;
    }
    // A bare name would make dlopen search the system paths.
    const std::string where = path.find('/') == std::string::npos ? "./" + path : path;
    void* h = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) {
        const char* why = dlerror();
        error = "cannot load " + path + ": " + (why != nullptr ? why : "not a loadable library");
    }
    return h;
}
void* findSymbol(void* handle, const char* name) { return dlsym(handle, name); }
void unloadLibrary(void* handle) { dlclose(handle); }
#endif
}  // namespace

BinaryKind binaryKind(const std::string& path) {
    std::ifstream in(nativePath(path), std::ios::binary);
    if (!in)
        return BinaryKind::Unreadable;
    unsigned char head[64] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    const auto got = static_cast<size_t>(in.gcount());
    if (got >= 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0)
        return BinaryKind::Elf;
    // An executable image: "MZ", and at the offset stored at 0x3C the
    // signature "PE\0\0".
    if (got < sizeof head || head[0] != 'M' || head[1] != 'Z')
        return BinaryKind::Other;
    const uint32_t peOffset = uint32_t{head[0x3C]} | uint32_t{head[0x3D]} << 8 | uint32_t{head[0x3E]} << 16 |
                              uint32_t{head[0x3F]} << 24;
    char signature[4] = {};
    in.seekg(peOffset);
    in.read(signature, sizeof signature);
    if (in.gcount() == 4 && std::memcmp(signature, "PE\0\0", 4) == 0)
        return BinaryKind::WindowsPe;
    return BinaryKind::Other;
}

std::unique_ptr<Library> Library::open(const std::string& path, std::string& error) {
    if (isForeignLibrary(path, error))
        return nullptr;
    void* handle = loadLibrary(path, error);
    if (handle == nullptr)
        return nullptr;
    std::unique_ptr<Library> lib(new Library());
    lib->path_ = path;
    lib->handle_ = handle;
    lib->getFactory_ = reinterpret_cast<GetFactoryFunction>(findSymbol(handle, "MP_GetFactory"));
    if (lib->getFactory_ == nullptr) {
        error = path + " is not a plug-in library: it has no MP_GetFactory export";
        return nullptr;
    }
    void* unknown = nullptr;
    if (lib->getFactory_(&unknown) != RC_OK || unknown == nullptr) {
        error = path + ": MP_GetFactory gave no factory";
        return nullptr;
    }
    lib->factory_ = queryInterface<IMpFactory2>(static_cast<IMpUnknown*>(unknown), IID_IMpFactory2);
    static_cast<IMpUnknown*>(unknown)->Release();
    if (lib->factory_ == nullptr) {
        error = path + ": the factory does not answer IMpFactory2";
        return nullptr;
    }
    return lib;
}

Library::~Library() {
    if (factory_ != nullptr)
        factory_->Release();
    if (handle_ != nullptr)
        unloadLibrary(handle_);
}

int32_t Library::create(const wstring& id, int32_t subType, IMpUnknown* host, IMpUnknown** out) const {
    return factory_->instantiate(id.c_str(), subType, host, out);
}

int32_t Library::createBare(const wstring& id, int32_t subType, IMpUnknown** out) const {
    return factory_->instantiateBare(id.c_str(), subType, out);
}

void* Library::symbol(const char* name) const { return findSymbol(handle_, name); }

std::string Library::describeBuild(int32_t* version) const {
    wchar text[128] = {};
    int32_t v = 0;
    factory_->describeBuild(&v, 128, text);
    if (version != nullptr)
        *version = v;
    return toUtf8(text);
}

}  // namespace ovra::host
