// The module registry every library owns, and its single export.
#pragma once

#include <map>
#include <type_traits>

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
    // Nothing a creation routine or an attachment throws leaves these: the
    // host gets RC_FAILED and nothing is left behind.
    int32_t instantiate(const wchar* id, int32_t subType, IMpUnknown* host, IMpUnknown** out) final;
    int32_t describeBuild(int32_t* version, int32_t maxChars, wchar* text) final;
    int32_t instantiateBare(const wchar* id, int32_t subType, IMpUnknown** out) final;
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

// A module class is registered under the sub-type of its base's family, and
// the host receives the interface that family is created as.
template <class Module>
inline constexpr int32_t kSubTypeOf = std::is_base_of_v<IMpPlugin2, Module>         ? SUBTYPE_DSP
                                      : std::is_base_of_v<IMpUserInterface, Module>  ? SUBTYPE_GUI_V1
                                      : std::is_base_of_v<IMpUserInterface2B, Module> ? SUBTYPE_GUI_V2
                                                                                     : -1;

// The creation routine of a module class.
template <class Module>
IMpUnknown* makeModule() {
    static_assert(kSubTypeOf<Module> != -1, "a module derives from a DSP or a GUI base");
    if constexpr (kSubTypeOf<Module> == SUBTYPE_DSP)
        return static_cast<IMpPlugin2*>(new Module());
    else if constexpr (kSubTypeOf<Module> == SUBTYPE_GUI_V1)
        return static_cast<IMpUserInterface*>(new Module());
    else
        return static_cast<IMpUserInterface2B*>(new Module());
}

template <class Module>
int32_t enrolModule(const wchar* id) {
    return enrolModule(kSubTypeOf<Module>, id, &makeModule<Module>);
}

// Registers each half of a module under its identifier, in the order given;
// answers the last registration's answer.
template <class... Halves>
int32_t enrolHalves(const wchar* id) {
    int32_t answer = 0;
    ((answer = enrolModule<Halves>(id)), ...);
    return answer;
}

}  // namespace ovra

#define OVRA_CONCAT_INNER(a, b) a##b
#define OVRA_CONCAT(a, b) OVRA_CONCAT_INNER(a, b)

// Registers a module's classes (its DSP half, its GUI half or both) under its
// identifier while the library loads, one line at the bottom of the module's
// file:
//   OVRA_MODULE(u"ZVR_Float2GUIFloat", DSPtoGUI<float>, DSPtoGUIGui<float>);
#define OVRA_MODULE(id, ...) \
    [[maybe_unused]] static const int32_t OVRA_CONCAT(ovraModule_, __LINE__) = ::ovra::enrolHalves<__VA_ARGS__>(id)

// Registers a creation routine of one's own under a sub-type (test modules
// that break the rules on purpose):
//   OVRA_REGISTER(SUBTYPE_DSP, u"Probe", &makeSomething);
#define OVRA_REGISTER(subType, id, maker) \
    [[maybe_unused]] static const int32_t OVRA_CONCAT(ovraRegistration_, __LINE__) = ::ovra::enrolModule((subType), (id), (maker))
