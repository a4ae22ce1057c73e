// Checks of either half: creation, release and interfaces.
#include <algorithm>

#include "checks.h"
#include "dsp_host.h"
#include "gui_host.h"
#include "pin_table.h"

namespace qvhost {

using namespace ovra;

namespace {

struct NamedIid {
    const char* name;
    Guid iid;
};

const NamedIid kAllInterfaces[] = {
    {"IMpUnknown", IID_IMpUnknown},
    {"IMpPlugin", IID_IMpPlugin},
    {"IMpPlugin2", IID_IMpPlugin2},
    {"IMpLegacyInitialization", IID_IMpLegacyInitialization},
    {"IMpUserInterface", IID_IMpUserInterface},
    {"IMpUserInterface2", IID_IMpUserInterface2},
    {"IMpUserInterface2B", IID_IMpUserInterface2B},
    {"IMpGraphicsWinGdi", IID_IMpGraphicsWinGdi},
    {"IQvGraphicsComposited", IID_IQvGraphicsComposited},
};

std::vector<NamedIid> requiredInterfaces(const HalfDescription& half) {
    std::vector<NamedIid> out{{"IMpUnknown", IID_IMpUnknown}};
    if (half.dsp) {
        out.push_back({"IMpPlugin", IID_IMpPlugin});
        out.push_back({"IMpPlugin2", IID_IMpPlugin2});
    } else if (half.subType == SUBTYPE_GUI_V1) {
        out.push_back({"IMpUserInterface", IID_IMpUserInterface});
    } else {
        out.push_back({"IMpUserInterface2", IID_IMpUserInterface2});
    }
    if (half.draws)
        out.push_back({"IQvGraphicsComposited", IID_IQvGraphicsComposited});
    return out;
}

}  // namespace

IMpUnknown* createWithHost(CheckContext& ctx, IMpUnknown* hostUnknown) {
    IMpUnknown* out = kGarbage;
    const int32_t rc = ctx.library.create(host::fromUtf8(ctx.module->id), ctx.half->subType, hostUnknown, &out);
    expect(rc == RC_OK, "instantiate answered " + codeName(rc));
    expect(out != nullptr && out != kGarbage, "instantiate answered RC_OK without an object");
    return out;
}

bool sizeFits(int32_t type, size_t size) {
    switch (type) {
    case DATATYPE_FLOAT:
    case DATATYPE_INT: return size == 4;
    case DATATYPE_BOOL: return size == 1 || size == 4;
    case DATATYPE_TEXT: return size % 2 == 0;
    default: return true;
    }
}

std::string codeName(int32_t rc) {
    switch (rc) {
    case RC_OK: return "RC_OK (0)";
    case RC_FAILED: return "RC_FAILED (-1)";
    case RC_NOT_FOUND: return "RC_NOT_FOUND (-2)";
    default: return std::to_string(rc);
    }
}

std::string joined(const std::vector<std::string>& texts) {
    std::string out;
    for (const auto& t : texts)
        out += (out.empty() ? "" : "; ") + t;
    return out;
}

std::string comparePinTable(CheckContext& ctx, std::vector<std::string>& problems) {
    std::string why;
    const auto declared = declaredPins(ctx.path, ctx.module->id, ctx.half->subType, why);
    if (!declared)
        return "behaviour only: " + why;
    const auto disagreements = pinDisagreements(*ctx.half, *declared);
    problems.insert(problems.end(), disagreements.begin(), disagreements.end());
    return std::string(ctx.half->dsp ? "types and directions" : "types") + " checked against the pin table (" +
           std::to_string(declared->rows.size()) + " pins declared)";
}

std::string pinLabel(const PinDescription& pin) { return "pin " + std::to_string(pin.index) + " (" + pin.name + ")"; }

Outcome checkCreate(CheckContext& ctx) {
    const int n = ctx.options.repeat;
    const auto& half = *ctx.half;
    // A described half the factory does not know is registered-modules'
    // one failure; nothing of the half can be checked.
    IMpUnknown* probe = nullptr;
    const int32_t known = ctx.library.createBare(host::fromUtf8(ctx.module->id), half.subType, &probe);
    if (probe != nullptr)
        probe->Release();
    if (known == RC_NOT_FOUND && checkSelected("registered-modules", ctx.options))
        return {Status::Skipped, "not registered (registered-modules names it)"};
    if (half.dsp) {
        host::RecordingDspHost host;
        for (int i = 0; i < n; ++i) {
            IMpUnknown* m = createWithHost(ctx, host.unknown());
            const uint32_t left = m->Release();
            expect(left == 0, "the last Release answered " + std::to_string(left) + ", not 0");
        }
        expect(host.references == 1, "the DSP half kept " + std::to_string(host.references - 1) +
                                         " references on its host after it was destroyed");
    } else {
        host::RecordingGuiHost host;
        for (int i = 0; i < n; ++i) {
            IMpUnknown* m = createWithHost(ctx, host.unknown());
            if (half.subType == SUBTYPE_GUI_V2)
                host::attachGuiHost(m, host.unknown());
            const uint32_t left = m->Release();
            expect(left == 0, "the last Release answered " + std::to_string(left) + ", not 0");
        }
    }
    for (int i = 0; i < n; ++i) {
        IMpUnknown* out = kGarbage;
        const int32_t rc = ctx.library.createBare(host::fromUtf8(ctx.module->id), half.subType, &out);
        expect(rc == RC_OK && out != nullptr && out != kGarbage,
               "instantiateBare answered " + codeName(rc) + " without an object");
        expect(out->Release() == 0, "the last Release of a bare instance did not answer 0");
    }
    return {Status::Passed, "created and released " + std::to_string(n) + " times with a host and " +
                                std::to_string(n) + " times without"};
}

// Long: queries, identity and counting are checked on the same references.
Outcome checkInterfaces(CheckContext& ctx) {
    const auto& half = *ctx.half;
    host::RecordingDspHost dspHost;
    host::RecordingGuiHost guiHost;
    IMpUnknown* m = createWithHost(ctx, half.dsp ? dspHost.unknown() : guiHost.unknown());
    Instance owner{m};
    std::vector<std::pair<const NamedIid*, void*>> answered;
    uint32_t count = m->AddRef();
    expect(count == 2, "AddRef on a new object answered " + std::to_string(count) + ", not 2");
    count = m->Release();
    expect(count == 1, "Release after AddRef answered " + std::to_string(count) + ", not 1");
    for (const auto& named : kAllInterfaces) {
        void* out = kGarbage;
        const int32_t rc = m->QueryInterface(&named.iid, &out);
        if (rc == RC_OK) {
            expect(out != nullptr && out != kGarbage, std::string(named.name) + " answered without a pointer");
            answered.push_back({&named, out});
        } else {
            expect(rc == RC_NOT_FOUND, std::string("a query for ") + named.name + " answered " + codeName(rc));
            expect(out == nullptr, std::string("a refused query for ") + named.name + " left the out pointer set");
        }
    }
    for (const auto& required : requiredInterfaces(half)) {
        const bool found = std::any_of(answered.begin(), answered.end(),
                                       [&](const auto& a) { return a.first->iid == required.iid; });
        expect(found, std::string("does not answer ") + required.name);
    }
    // Every query added one reference on the one object.
    const uint32_t expected = 1 + static_cast<uint32_t>(answered.size());
    count = m->AddRef();
    expect(count == expected + 1, "after " + std::to_string(answered.size()) + " answered queries AddRef answered " +
                                      std::to_string(count) + ", expected " + std::to_string(expected + 1));
    m->Release();
    // Identity: asking any interface for any other answers the same pointer.
    void* unknown = nullptr;
    m->QueryInterface(&IID_IMpUnknown, &unknown);
    for (const auto& [named, pointer] : answered) {
        auto* through = static_cast<IMpUnknown*>(pointer);
        for (const auto& [other, where] : answered) {
            void* out = nullptr;
            expect(through->QueryInterface(&other->iid, &out) == RC_OK,
                   std::string(named->name) + " does not lead to " + other->name);
            expect(out == where, std::string("asking ") + named->name + " for " + other->name +
                                     " answers another pointer than asking the object");
            static_cast<IMpUnknown*>(out)->Release();
        }
        void* refused = kGarbage;
        Guid nearly = named->iid;
        nearly.data4[7] ^= 1;
        expect(through->QueryInterface(&nearly, &refused) == RC_NOT_FOUND && refused == nullptr,
               std::string("answers an identifier one byte away from ") + named->name);
    }
    static_cast<IMpUnknown*>(unknown)->Release();
    // Releases through every interface count on one count.
    uint32_t refs = expected;
    for (auto it = answered.rbegin(); it != answered.rend(); ++it) {
        const uint32_t left = static_cast<IMpUnknown*>(it->second)->Release();
        expect(left == refs - 1, "Release through " + std::string(it->first->name) + " answered " +
                                     std::to_string(left) + ", expected " + std::to_string(refs - 1));
        refs = left;
    }
    const uint32_t last = m->Release();
    owner.object = nullptr;
    expect(last == 0, "the last Release answered " + std::to_string(last) + ", not 0");
    std::string names;
    for (const auto& a : answered)
        names += (names.empty() ? "" : ", ") + std::string(a.first->name);
    return {Status::Passed, names};
}

}  // namespace qvhost
