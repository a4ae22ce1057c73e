// Factory entry points: MP_GetFactory, QueryInterface, AddRef and Release on
// the factory, instantiate and instantiateBare with any identifier bytes,
// sub-type and host, and describeBuild with any maxChars.
#include <string>
#include <vector>

#include "byte_reader.h"
#include "dsp_host.h"
#include "gui_host.h"
#include "harness.h"

namespace ovra::fuzz {

namespace {

const char* const kLibraries[] = {"uplink", "downlink", "guikit", "adsr"};

// An identifier as a host might pass it: registered, nearly registered, or
// any code units; always NUL-terminated (the length of an identifier is found
// by its NUL, so a host cannot pass one without it).
wstring readIdentifier(ByteReader& r) {
    const auto& all = allModules();
    wstring id = all[r.below(all.size())].id;
    switch (r.below(7)) {
    case 0:
    case 1:  // as registered (possibly by another library)
        break;
    case 2:  // one code unit changed
        if (!id.empty())
            id[r.below(id.size())] ^= static_cast<char16_t>(1 + r.below(0x7F));
        break;
    case 3:  // cut short or grown by one unit
        if (r.flag() && !id.empty())
            id.resize(r.below(id.size()));
        else
            id.push_back(static_cast<char16_t>(r.u16() | 1));
        break;
    case 4:
        id.clear();
        break;
    default: {  // any code units but NUL
        id.clear();
        const size_t n = r.below(80);
        for (size_t i = 0; i < n; ++i) {
            const char16_t c = r.u16();
            if (c != 0)
                id.push_back(c);
        }
        break;
    }
    }
    return id;
}

int32_t readSubType(ByteReader& r) {
    const uint8_t b = r.byte();
    return b < 200 ? static_cast<int32_t>(b % 4) - (b % 7 == 0 ? 4 : 0) : r.oddInt();
}

bool isRegistered(const std::string& lib, const wstring& id, int32_t subType) {
    for (const auto& m : allModules())
        if (lib == m.library && m.subType == subType && id == m.id)
            return true;
    return false;
}

// The module a creation call answered: it counts, answers IMpUnknown, and
// its last Release destroys it.
void checkAndRelease(const char* entry, IMpUnknown* made) {
    void* again = nullptr;
    if (made->QueryInterface(&IID_IMpUnknown, &again) != RC_OK || again == nullptr)
        violated(entry, "a new module does not answer IMpUnknown");
    static_cast<IMpUnknown*>(again)->Release();
    if (made->Release() != 0)
        violated(entry, "a new module does not start with exactly one reference");
}

void describe(IMpFactory2* f, ByteReader& r) {
    int32_t maxChars;
    switch (r.below(5)) {
    case 0:
        maxChars = static_cast<int32_t>(r.below(40));
        break;
    case 1:
        maxChars = -static_cast<int32_t>(r.below(100000));
        break;
    case 2:
        maxChars = r.oddInt();
        break;
    default:
        maxChars = static_cast<int32_t>(r.below(300));
        break;
    }
    // The buffer holds exactly maxChars code units, as the caller promises;
    // a maxChars too large to be true comes with no buffer at all.
    const bool plausible = maxChars > 0 && maxChars <= 4096;
    std::vector<wchar> text(plausible ? static_cast<size_t>(maxChars) : 0, u'#');
    int32_t version = -1;
    const bool noVersion = r.below(8) == 0;
    const bool noText = !plausible || r.below(8) == 0;
    const int32_t rc = f->describeBuild(noVersion ? nullptr : &version, maxChars, noText ? nullptr : text.data());
    if (rc != RC_OK)
        violated("describeBuild", "does not answer RC_OK");
    if (!noVersion && version != 30800)
        violated("describeBuild", "writes a version other than 30800", std::to_string(version));
    if (!noText) {
        bool terminated = false;
        for (wchar c : text)
            terminated = terminated || c == 0;
        if (!terminated)
            violated("describeBuild", "the text is not terminated within maxChars",
                     "maxChars " + std::to_string(maxChars));
    }
}

}  // namespace

void runFactoryInput(const uint8_t* data, size_t size) {
    ByteReader r(data, size);
    const std::string name = kLibraries[r.below(4)];
    host::Library& lib = library(name);
    IMpFactory2* f = lib.factory();

    for (int call = 0; call < 24 && !r.empty(); ++call) {
        switch (r.below(8)) {
        case 0:
        case 1:
        case 2: {
            const wstring id = readIdentifier(r);
            const int32_t subType = readSubType(r);
            host::RecordingDspHost dspHost;
            host::RecordingGuiHost guiHost;
            dspHost.answersDspHost = dspHost.answersAux = r.below(8) != 0;
            IMpUnknown* hosts[] = {dspHost.unknown(), guiHost.unknown(), nullptr,
                                   static_cast<IMpDspHost*>(&dspHost)};
            IMpUnknown* host = hosts[r.below(4)];
            const bool noOut = r.below(16) == 0;
            const bool nullId = r.below(32) == 0;
            IMpUnknown* made = reinterpret_cast<IMpUnknown*>(1);
            const bool bare = r.flag();
            const int32_t rc = bare ? f->instantiateBare(nullId ? nullptr : id.c_str(), subType,
                                                         noOut ? nullptr : &made)
                                    : f->instantiate(nullId ? nullptr : id.c_str(), subType, host,
                                                     noOut ? nullptr : &made);
            const char* entry = bare ? "instantiateBare" : "instantiate";
            if (noOut) {
                if (rc == RC_OK)
                    violated(entry, "answers RC_OK with nowhere to put the module");
                break;
            }
            if (rc != RC_OK && made != nullptr)
                violated(entry, "a failed creation leaves a pointer behind");
            const bool known = !nullId && isRegistered(name, id, subType);
            if (!known && rc != RC_NOT_FOUND)
                violated(entry, "an identifier the library does not register is not RC_NOT_FOUND",
                         host::toUtf8(id) + " sub-type " + std::to_string(subType));
            if (known && bare && (rc != RC_OK || made == nullptr))
                violated(entry, "a registered module was not created", host::toUtf8(id));
            if (known && rc != RC_OK && rc != RC_FAILED)
                violated(entry, "a registered module answered RC_NOT_FOUND");
            if (rc == RC_OK && made != nullptr)
                checkAndRelease(entry, made);
            if (dspHost.references != 1)
                violated(entry, "a released module still holds the host", host::toUtf8(id));
            break;
        }
        case 3:
        case 4:
            describe(f, r);
            break;
        case 5: {
            Guid iid{};
            static const Guid kKnown[] = {IID_IMpUnknown, IID_IMpFactory, IID_IMpFactory2, IID_IMpPlugin};
            iid = kKnown[r.below(4)];
            if (r.flag())
                iid.data4[r.below(8)] ^= static_cast<uint8_t>(1 + r.below(255));
            void* out = reinterpret_cast<void*>(1);
            const int32_t rc = f->QueryInterface(r.below(16) == 0 ? nullptr : &iid, r.below(16) == 0 ? nullptr : &out);
            if (rc == RC_OK && out != static_cast<void*>(f))
                violated("QueryInterface", "the factory answers a pointer other than itself");
            if (rc != RC_OK && rc != RC_NOT_FOUND)
                violated("QueryInterface", "answers a code other than RC_OK or RC_NOT_FOUND");
            break;
        }
        case 6:
            if (f->AddRef() != 1 || f->Release() != 1)
                violated("AddRef/Release", "the factory counts references");
            break;
        default: {
            void* out = nullptr;
            if (lib.getFactory()(&out) != RC_OK || out != static_cast<void*>(f))
                violated("MP_GetFactory", "answers another object");
            break;
        }
        }
    }
}

}  // namespace ovra::fuzz
