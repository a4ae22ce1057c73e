// Checks of the file and its factory, and of the file against its
// description.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <unordered_set>

#include "checks.h"
#include "dsp_host.h"
#include "elf_exports.h"
#include "generators.h"
#include "pin_table.h"
#include "platform/program_path.h"
#include "io/suggest.h"

namespace qvhost {

using namespace ovra;

namespace {

// Creating (id, subType) must answer RC_NOT_FOUND and leave *out null,
// with and without a host.
void expectNothingCreated(const host::Library& lib, const wstring& id, int32_t subType, const std::string& what) {
    host::RecordingDspHost dspHost;
    IMpUnknown* out = kGarbage;
    const int32_t rc = lib.factory()->instantiate(id.c_str(), subType, dspHost.unknown(), &out);
    if (out != nullptr && out != kGarbage)
        out->Release();
    expect(rc == RC_NOT_FOUND && out == nullptr,
           what + " (sub-type " + std::to_string(subType) + ") created something (" + codeName(rc) + ")");
    out = kGarbage;
    const int32_t bare = lib.factory()->instantiateBare(id.c_str(), subType, &out);
    if (out != nullptr && out != kGarbage)
        out->Release();
    expect(bare == RC_NOT_FOUND && out == nullptr,
           what + " (sub-type " + std::to_string(subType) + ") was created bare (" + codeName(bare) + ")");
}

bool creates(const host::Library& lib, const wstring& id, int32_t subType) {
    IMpUnknown* out = nullptr;
    const int32_t rc = lib.factory()->instantiateBare(id.c_str(), subType, &out);
    if (out != nullptr)
        out->Release();
    return rc == RC_OK && out != nullptr;
}

// "; the library registers "X"" (or "X" and "Y") for the registered
// identifiers nearest to a described one that is not registered, those of
// the same sub-type first.
std::string nearestRegistered(const std::string& id, int32_t subType,
                              const std::set<std::pair<std::string, int32_t>>& registered) {
    if (registered.empty())
        return "; the library registers no identifier the scan of the file found";
    std::vector<std::pair<size_t, std::string>> ranked;
    for (const auto& [other, otherSubType] : registered) {
        const size_t distance = editDistance(id, other) * 2 + (otherSubType == subType ? 0 : 1);
        ranked.push_back({distance, other});
    }
    std::sort(ranked.begin(), ranked.end());
    std::vector<std::string> nearest;
    for (const auto& [distance, other] : ranked)
        if (distance <= ranked.front().first + 1 && std::find(nearest.begin(), nearest.end(), other) == nearest.end() &&
            nearest.size() < 3)
            nearest.push_back(other);
    std::string out = "; the library registers ";
    for (size_t i = 0; i < nearest.size(); ++i)
        out += (i == 0 ? "" : i + 1 == nearest.size() ? " and " : ", ") + ("\"" + nearest[i] + "\"");
    return out;
}

}  // namespace

// Read once per file and process.
const std::unordered_set<wstring>& utf16Strings(const std::string& path) {
    static std::map<std::string, std::unordered_set<wstring>> scanned;
    if (const auto it = scanned.find(path); it != scanned.end())
        return it->second;
    std::ifstream in(pathOf(path), std::ios::binary);
    return scanned[path] =
               utf16Strings(std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

Outcome checkSingleExport(CheckContext& ctx) {
    std::string error;
    const auto names = exportedNames(ctx.path, error);
    if (!names)
        return {Status::Skipped, "cannot read the export table: " + error};
    if (*names == std::vector<std::string>{"MP_GetFactory"})
        return {Status::Passed, "MP_GetFactory only"};
    std::string list;
    for (const auto& n : *names)
        list += (list.empty() ? "" : ", ") + n;
    fail("exports " + std::to_string(names->size()) + " names, expected MP_GetFactory only: " +
         (list.size() > 200 ? list.substr(0, 200) + "..." : list));
}

Outcome checkGetFactory(CheckContext& ctx) {
    void* first = kGarbage;
    void* second = kGarbage;
    expect(ctx.library.getFactory()(&first) == RC_OK, "the first MP_GetFactory did not answer RC_OK");
    expect(ctx.library.getFactory()(&second) == RC_OK, "the second MP_GetFactory did not answer RC_OK");
    expect(first != nullptr && first != kGarbage, "MP_GetFactory gave no factory");
    expect(first == second, "MP_GetFactory answered a different object the second time");
    return {Status::Passed, "answers the same factory every time"};
}

Outcome checkFactoryInterfaces(CheckContext& ctx) {
    IMpFactory2* f = ctx.library.factory();
    const std::pair<const char*, Guid> known[] = {
        {"IMpUnknown", IID_IMpUnknown}, {"IMpFactory", IID_IMpFactory}, {"IMpFactory2", IID_IMpFactory2}};
    for (const auto& [name, iid] : known) {
        void* out = kGarbage;
        expect(f->QueryInterface(&iid, &out) == RC_OK, std::string("the factory does not answer ") + name);
        expect(out == static_cast<void*>(static_cast<IMpUnknown*>(f)),
               std::string("the factory answers ") + name + " with another object");
    }
    for (const auto& other : {IID_IMpPlugin, IID_IMpUserInterface, IID_IMpDspHost}) {
        void* out = kGarbage;
        expect(f->QueryInterface(&other, &out) == RC_NOT_FOUND, "the factory answers an interface it lacks");
        expect(out == nullptr, "a refused query leaves the out pointer set");
    }
    Guid nearly = IID_IMpFactory2;
    nearly.data4[7] ^= 1;
    void* out = kGarbage;
    expect(f->QueryInterface(&nearly, &out) == RC_NOT_FOUND && out == nullptr,
           "the factory answers an identifier that differs from IMpFactory2 in its last byte");
    for (int i = 0; i < 20; ++i) {
        expect(f->AddRef() == 1, "the factory's AddRef does not answer 1");
        expect(f->Release() == 1, "the factory's Release does not answer 1");
    }
    for (int i = 0; i < 20; ++i)
        f->Release();
    int32_t version = 0;
    wchar text[64] = {};
    expect(f->describeBuild(&version, 64, text) == RC_OK, "the factory stopped working after Release");
    return {Status::Passed, "answers IMpUnknown, IMpFactory, IMpFactory2 and no other; never counts"};
}

Outcome checkDescribeBuild(CheckContext& ctx) {
    IMpFactory2* f = ctx.library.factory();
    int32_t version = -12345;
    wchar text[256];
    std::fill(std::begin(text), std::end(text), wchar{0xBEEF});
    expect(f->describeBuild(&version, 256, text) == RC_OK, "describeBuild did not answer RC_OK");
    expect(version != -12345, "describeBuild wrote no version");
    const auto end = std::find(std::begin(text), std::end(text), wchar{0});
    expect(end != std::end(text), "describeBuild wrote no terminated text");
    const size_t length = static_cast<size_t>(end - std::begin(text));
    for (int32_t max = 1; max <= static_cast<int32_t>(length) + 1; ++max) {
        wchar small[300];
        std::fill(std::begin(small), std::end(small), wchar{0xBEEF});
        f->describeBuild(&version, max, small);
        for (size_t i = static_cast<size_t>(max); i < 300; ++i)
            expect(small[i] == 0xBEEF, "describeBuild wrote past maxChars = " + std::to_string(max));
    }
    return {Status::Passed,
            "version " + std::to_string(version) + ", " + std::to_string(length) + " characters, never past maxChars"};
}

Outcome checkUnknownIdentifiers(CheckContext& ctx) {
    std::vector<wstring> ids{u"", u"x", u"?", wstring(5000, u'Z'), u"\u00e9\u4e2d", u"\xD800"};
    for (int i = ctx.rounds(40); i > 0; --i) {
        wstring s;
        for (auto k = uniformInt(ctx.rng, 1, 40); k > 0; --k)
            s += static_cast<wchar>(uniformInt(ctx.rng, 32, 126));
        ids.push_back(s);
    }
    // A random identifier may, very rarely, be a real one.
    if (ctx.description)
        ids.erase(std::remove_if(ids.begin(), ids.end(),
                                 [&](const wstring& id) { return ctx.description->find(host::toUtf8(id)) != nullptr; }),
                  ids.end());
    for (const auto& id : ids)
        for (int32_t subType : {SUBTYPE_DSP, SUBTYPE_GUI_V1, SUBTYPE_GUI_V2})
            expectNothingCreated(ctx.library, id, subType,
                                 "the unknown identifier \"" + host::toUtf8(id.substr(0, 40)) + "\"");
    return {Status::Passed, std::to_string(ids.size()) + " unknown identifiers create nothing"};
}

Outcome checkRegisteredModules(CheckContext& ctx) {
    const auto& description = *ctx.description;
    auto described = [&](const std::string& id, int32_t subType) {
        const ModuleDescription* m = description.find(id);
        return m != nullptr && std::any_of(m->halves.begin(), m->halves.end(),
                                           [&](const HalfDescription& h) { return h.subType == subType; });
    };
    const auto& strings = utf16Strings(ctx.path);
    std::set<std::pair<std::string, int32_t>> registered;
    for (const auto& s : strings)
        for (int32_t subType : {SUBTYPE_DSP, SUBTYPE_GUI_V1, SUBTYPE_GUI_V2})
            if (creates(ctx.library, s, subType))
                registered.insert({host::toUtf8(s), subType});
    std::vector<std::string> problems, undescribed;
    for (const auto& [id, subType] : registered)
        if (!described(id, subType))
            undescribed.push_back("\"" + id + "\" (" + halfName(subType) + ", sub-type " + std::to_string(subType) +
                               ") is registered but not described");
    size_t halves = 0;
    for (const auto& m : description.modules)
        for (const auto& h : m.halves) {
            ++halves;
            if (registered.count({m.id, h.subType}) != 0 || creates(ctx.library, host::fromUtf8(m.id), h.subType))
                continue;
            problems.push_back("described \"" + m.id + "\" (" + halfName(h.subType) + ", sub-type " +
                               std::to_string(h.subType) + ") is not registered" +
                               nearestRegistered(m.id, h.subType, registered));
        }
    problems.insert(problems.end(), undescribed.begin(), undescribed.end());
    if (!problems.empty()) {
        std::string all;
        for (size_t i = 0; i < problems.size() && i < 10; ++i)
            all += (all.empty() ? "" : "; ") + problems[i];
        if (problems.size() > 10)
            all += "; and " + std::to_string(problems.size() - 10) + " more";
        fail(all);
    }
    return {Status::Passed, std::to_string(strings.size()) + " UTF-16 strings and suffixes in the file tried; " +
                                counted(registered.size(), "half", "halves") + " created, all among the " +
                                std::to_string(halves) + " described"};
}

// Near misses of an identifier: each letter in the other case, each
// character left out, each character doubled, and one more character at
// either end.
static std::vector<wstring> nearMisses(const wstring& id) {
    std::vector<wstring> near{id + u"x", id + u" ", id + u"0", u" " + id, u"x" + id};
    if (!id.empty()) {
        wstring other = id;
        other.back() = static_cast<wchar>(other.back() ^ 1);
        near.push_back(other);
    }
    for (size_t i = 0; i < id.size(); ++i) {
        const wchar c = id[i];
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
            wstring flipped = id;
            flipped[i] = static_cast<wchar>(c ^ 0x20);
            near.push_back(flipped);
        }
        if (id.size() > 1)
            near.push_back(id.substr(0, i) + id.substr(i + 1));
        near.push_back(id.substr(0, i + 1) + id.substr(i));
    }
    std::set<wstring> seen;
    near.erase(std::remove_if(near.begin(), near.end(), [&](const wstring& n) { return !seen.insert(n).second; }),
               near.end());
    return near;
}

Outcome checkNearIdentifiers(CheckContext& ctx) {
    size_t tried = 0;
    // A near miss that is a text of the file may be registered in its own
    // right: registered-modules tells whether it is described.
    const auto& strings = utf16Strings(ctx.path);
    for (const auto& module : ctx.description->modules) {
        for (const auto& n : nearMisses(host::fromUtf8(module.id))) {
            if (ctx.description->find(host::toUtf8(n)) != nullptr || strings.count(n) != 0)
                continue;
            for (const auto& half : module.halves) {
                expectNothingCreated(ctx.library, n, half.subType, "\"" + host::toUtf8(n) + "\", near " + module.id);
                ++tried;
            }
        }
    }
    return {Status::Passed, std::to_string(tried) + " near misses of described identifiers create nothing"};
}

Outcome checkWrongSubTypes(CheckContext& ctx) {
    size_t tried = 0;
    for (const auto& module : ctx.description->modules) {
        const std::vector<int32_t> subTypes{SUBTYPE_DSP, SUBTYPE_GUI_V1, SUBTYPE_GUI_V2, -1, 3, 100,
                                            std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(),
                                            static_cast<int32_t>(ctx.rng())};
        for (int32_t s : subTypes) {
            const bool described = std::any_of(module.halves.begin(), module.halves.end(),
                                               [&](const HalfDescription& h) { return h.subType == s; });
            if (described)
                continue;
            expectNothingCreated(ctx.library, host::fromUtf8(module.id), s, module.id);
            ++tried;
        }
    }
    return {Status::Passed, std::to_string(tried) + " undescribed sub-types of described identifiers create nothing"};
}

}  // namespace qvhost

namespace qvhost {

namespace {

// Why a described default does not fit its pin's type, or "".
std::string defaultProblem(int32_t type, const Json& value) {
    if (value.is_null())
        return {};
    switch (type) {
    case DATATYPE_FLOAT:
    case DATATYPE_AUDIO:
        if (!value.is_number())
            return "is no number";
        if (std::fabs(value.get<double>()) > std::numeric_limits<float>::max())
            return "lies outside a float's range";
        return {};
    case DATATYPE_INT:
        if (!value.is_number_integer())
            return "is no integer";
        if (value.is_number_unsigned() ? value.get<uint64_t>() > static_cast<uint64_t>(INT32_MAX)
                                       : value.get<int64_t>() < INT32_MIN || value.get<int64_t>() > INT32_MAX)
            return "lies outside a 32-bit integer's range";
        return {};
    case DATATYPE_BOOL: return value.is_boolean() ? "" : "is neither true nor false";
    case DATATYPE_TEXT: return value.is_string() ? "" : "is no text";
    default: return {};
    }
}

}  // namespace

Outcome checkDescriptionLint(CheckContext& ctx) {
    std::vector<std::string> problems;
    for (const auto& m : ctx.description->modules) {
        for (const auto& h : m.halves) {
            const std::string where = m.id + " (" + halfName(h.subType) + ")";
            std::map<std::string, int32_t> named;
            for (const auto& pin : h.pins) {
                if (const auto [it, fresh] = named.emplace(pin.name, pin.index); !fresh)
                    problems.push_back(where + ": pins " + std::to_string(it->second) + " and " +
                                       std::to_string(pin.index) + " are both named \"" + pin.name + "\"");
                if (const std::string why = defaultProblem(pin.type, pin.defaultValue); !why.empty())
                    problems.push_back(where + ": the default of " + pinLabel(pin) + ", " + pin.defaultValue.dump() +
                                       ", " + why);
            }
            if (h.growing)
                if (const std::string why = defaultProblem(h.growing->type, h.growing->defaultValue); !why.empty())
                    problems.push_back(where + ": the default of the growing inputs " + h.growing->name + ", " +
                                       h.growing->defaultValue.dump() + ", " + why);
        }
        if (m.link) {
            const HalfDescription* dsp = m.dspHalf();
            const HalfDescription* gui = m.guiHalf();
            if (dsp == nullptr || !dsp->pinAt(m.link->first))
                problems.push_back(m.id + ": the link names DSP pin " + std::to_string(m.link->first) +
                                   (dsp == nullptr ? ", and the module has no DSP half" : ", which is not described"));
            if (gui == nullptr || !gui->pinAt(m.link->second))
                problems.push_back(m.id + ": the link names GUI pin " + std::to_string(m.link->second) +
                                   (gui == nullptr ? ", and the module has no GUI half" : ", which is not described"));
        }
    }
    expect(problems.empty(), [&] {
        std::string all;
        for (const auto& p : problems)
            all += (all.empty() ? "" : "; ") + p;
        return all;
    }());
    return {Status::Passed, "pin names unique in each half, every default fits its type, every link names "
                            "described pins"};
}

}  // namespace qvhost
