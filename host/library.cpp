#include "library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#endif

namespace ovra::host {

namespace {
#if defined(_WIN32)
void* loadLibrary(const std::string& path, std::string& error) {
    const wstring wide = fromUtf8(path);
    std::wstring native(wide.begin(), wide.end());
    HMODULE h = LoadLibraryW(native.c_str());
    if (h == nullptr)
        error = "cannot load " + path + ": error " + std::to_string(GetLastError());
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

std::unique_ptr<Library> Library::open(const std::string& path, std::string& error) {
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

std::string Library::describeBuild(int32_t* version) const {
    wchar text[128] = {};
    int32_t v = 0;
    factory_->describeBuild(&v, 128, text);
    if (version != nullptr)
        *version = v;
    return toUtf8(text);
}

std::string toUtf8(const wstring& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

wstring fromUtf8(const std::string& text) {
    wstring out;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        uint32_t c = b;
        size_t extra = 0;
        if (b >= 0xF0) {
            c = b & 0x07;
            extra = 3;
        } else if (b >= 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if (b >= 0xC0) {
            c = b & 0x1F;
            extra = 1;
        }
        ++i;
        for (size_t k = 0; k < extra && i < text.size(); ++k, ++i)
            c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

}  // namespace ovra::host
