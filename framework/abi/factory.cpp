#include "abi/factory.h"
#include "abi/guarded.h"
#include "abi/object_identity.h"

#include <cstdlib>
#include <new>
#include <charconv>
#include <string>

#ifndef OVRA_COMPILER_NUMBER
#error "OVRA_COMPILER_NUMBER is set per library by ovra_add_plugin"
#endif

namespace ovra {

namespace {
MpFactory* gFactory = nullptr;

size_t idLength(const wchar* id) {
    size_t n = 0;
    while (id[n] != 0)
        ++n;
    return n;
}
}  // namespace

MpFactory* factorySingleton() {
    if (gFactory == nullptr)
        gFactory = new MpFactory();
    return gFactory;
}

int32_t enrolModule(int32_t subType, const wchar* id, ModuleMaker create) {
    factorySingleton()->add(subType, id, create);
    return 0;
}

void MpFactory::add(int32_t subType, const wchar* id, ModuleMaker create) {
    registry_.emplace(ModuleKey{subType, wstring(id, idLength(id))}, create);
}

ModuleMaker MpFactory::find(const wchar* id, int32_t subType) const {
    if (id == nullptr)
        return nullptr;
    auto it = registry_.find(ModuleKey{subType, wstring(id, idLength(id))});
    return it == registry_.end() ? nullptr : it->second;
}

int32_t MpFactory::QueryInterface(const Guid* iid, void** out) {
    IMpFactory2* self = this;
    return answerQuery(iid, out, {{&IID_IMpFactory2, self}, {&IID_IMpFactory, self}, {&IID_IMpUnknown, self}});
}

namespace {
// Hands a new module its host: DSP modules and first-family GUI modules
// through the attachment the factory alone reaches. A first-family module
// without the host interfaces it needs throws.
void attachCreated(IMpUnknown* module, IMpUnknown* host) {
#if OVRA_LEGACY_INIT
    if (auto* init = dynamic_cast<IMpLegacyInitialization*>(module))
        init->attachHost(host);
#else
    if (auto* init = dynamic_cast<IoldSchoolInitialisation*>(module))
        init->attachHost(host);
#endif
}
}  // namespace

int32_t MpFactory::instantiate(const wchar* id, int32_t subType, IMpUnknown* host, IMpUnknown** out) {
    const int32_t made = instantiateBare(id, subType, out);
    if (made != RC_OK || *out == nullptr)
        return made;
    IMpUnknown* module = *out;
    const bool attached = guarded(false, [&] {
        attachCreated(module, host);
        return true;
    });
    if (attached)
        return RC_OK;
    // A module that was made but could not be attached is given back.
    *out = nullptr;
    module->Release();
    return RC_FAILED;
}

int32_t MpFactory::instantiateBare(const wchar* id, int32_t subType, IMpUnknown** out) {
    if (out == nullptr)
        return RC_FAILED;
    *out = nullptr;
    return guarded(RC_FAILED, [&] {
        ModuleMaker create = find(id, subType);
        if (create == nullptr)
            return RC_NOT_FOUND;
        *out = create();
        return RC_OK;
    });
}

void writeBuildText(int32_t compilerNumber, int32_t maxChars, wchar* text) {
    if (text == nullptr || maxChars < 1)
        return;
    // Built by hand rather than through a stream: the text is plain ASCII,
    // and a stream would pull the whole locale machinery into every DLL.
    char number[16];
    const auto [end, ec] = std::to_chars(number, number + sizeof(number), compilerNumber);
    const std::string narrow = "MS Compiler V" + std::string(number, ec == std::errc() ? end : number) + " (Release)";
    const size_t room = static_cast<size_t>(maxChars) - 1;
    const size_t n = narrow.size() < room ? narrow.size() : room;
    for (size_t i = 0; i < n; ++i)
        text[i] = static_cast<wchar>(static_cast<unsigned char>(narrow[i]));
    text[n] = 0;
}

int32_t MpFactory::describeBuild(int32_t* version, int32_t maxChars, wchar* text) {
    if (version != nullptr)
        *version = kFrameworkVersion;
    // The text is built on the heap: an allocator that is out of memory
    // leaves it unwritten.
    return guarded(RC_FAILED, [&] {
        writeBuildText(OVRA_COMPILER_NUMBER, maxChars, text);
        return RC_OK;
    });
}

namespace {
// Destroys the factory and its registry when the library is unloaded.
void destroyFactoryAtExit() {
    delete factorySingleton();
    gFactory = nullptr;
}
[[maybe_unused]] const int32_t gExitHandlerRegistered = (std::atexit(destroyFactoryAtExit), 0);
}  // namespace

}  // namespace ovra

#if defined(_WIN32)
#define OVRA_EXPORT extern "C" __declspec(dllexport)
#else
#define OVRA_EXPORT extern "C" __attribute__((visibility("default")))
#endif

OVRA_EXPORT int32_t MP_GetFactory(void** out) {
    return ovra::factorySingleton()->QueryInterface(&ovra::IID_IMpUnknown, out);
}
