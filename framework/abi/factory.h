// The module registry every library owns, and its single export.
#pragma once

#include <map>

#include "abi/framework_types.h"

namespace ovra {

// (sub-type, identifier): sub-type first, signed; then code units as
// unsigned 16-bit values; a prefix sorts first.
struct ModuleKey {
    int32_t subType;
    wstring id;

    friend bool operator<(const ModuleKey& a, const ModuleKey& b) {
        if (a.subType != b.subType)
            return a.subType < b.subType;
        return a.id < b.id;  // char16_t is unsigned: code-unit order
    }
};

// Allocates and constructs one module; answers the pointer handed to the host.
using ModuleMaker = IMpUnknown* (*)();

class MpFactory : public IMpFactory2 {
public:
    int32_t QueryInterface(const Guid* iid, void** out) override;
    uint32_t AddRef() override { return 1; }   // the factory lives as long as the library
    uint32_t Release() override { return 1; }
    int32_t instantiate(const wchar* id, int32_t subType, IMpUnknown* host, IMpUnknown** out) override;
    int32_t describeBuild(int32_t* version, int32_t maxChars, wchar* text) override;
    int32_t instantiateBare(const wchar* id, int32_t subType, IMpUnknown** out) override;
    virtual ~MpFactory() = default;

    // First registration of a key wins.
    void add(int32_t subType, const wchar* id, ModuleMaker create);

private:
    ModuleMaker find(const wchar* id, int32_t subType) const;

    std::map<ModuleKey, ModuleMaker> registry_;
};

// The library's factory, created on first use.
MpFactory* factorySingleton();

// Called by static initialisers; always answers 0.
int32_t enrolModule(int32_t subType, const wchar* id, ModuleMaker create);

inline constexpr int32_t kFrameworkVersion = 30800;

// Writes "MS Compiler V<number> (Release)" with its NUL into text, at most
// maxChars code units, the last one a NUL; nothing when maxChars < 1 or text
// is null.
void writeBuildText(int32_t compilerNumber, int32_t maxChars, wchar* text);

}  // namespace ovra

// Registers a creation routine while the library loads:
//   OVRA_REGISTER(SUBTYPE_DSP, u"ZVR_Float2GUIFloat", &makeSomething);
#define OVRA_CONCAT_INNER(a, b) a##b
#define OVRA_CONCAT(a, b) OVRA_CONCAT_INNER(a, b)
#define OVRA_REGISTER(subType, id, maker) \
    [[maybe_unused]] static const int32_t OVRA_CONCAT(ovraRegistration_, __LINE__) = ::ovra::enrolModule((subType), (id), (maker))
