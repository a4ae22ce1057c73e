// qvhost validate: conformance checks for .qvm libraries. Each check that
// touches a module runs in a child process, so that a crash or a hang is
// reported as a failure of that check and the run goes on.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <sstream>

#include "abi/abi.h"
#include "commands.h"
#include "dsp_host.h"
#include "elf_exports.h"
#include "failure.h"
#include "gui_host.h"
#include "painting.h"
#include "pin_value.h"

namespace qvhost {

using namespace ovra;
using host::Bytes;

namespace {

enum class Status { Passed, Failed, Warning };

const char* statusName(Status s) {
    switch (s) {
    case Status::Passed: return "PASSED";
    case Status::Failed: return "FAILED";
    default: return "WARNING";
    }
}

struct Outcome {
    Status status = Status::Passed;
    std::string detail;
};

// Thrown inside a check to fail it with a reason.
struct CheckFailed {
    std::string why;
};
[[noreturn]] void fail(const std::string& why) { throw CheckFailed{why}; }
void expect(bool ok, const std::string& why) {
    if (!ok)
        fail(why);
}

struct CheckRecord {
    std::string name;
    std::string module;
    std::string half;
    Outcome outcome;
};

constexpr int kCheckSeconds = 60;

// Runs fn in a child process; a crash, a hang or an exception is a failure.
Outcome isolated(const std::function<Outcome()>& fn) {
    std::fflush(stdout);
    std::fflush(stderr);
    int fds[2];
    if (pipe(fds) != 0)
        return {Status::Failed, "could not start the check: no pipe"};
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return {Status::Failed, "could not start the check: no process"};
    }
    if (pid == 0) {
        close(fds[0]);
        // What a module or its libraries print is no part of the report.
        if (FILE* quiet = std::freopen("/dev/null", "w", stderr))
            (void)quiet;
        alarm(kCheckSeconds);
        Outcome o;
        try {
            o = fn();
        } catch (const CheckFailed& e) {
            o = {Status::Failed, e.why};
        } catch (const std::exception& e) {
            o = {Status::Failed, std::string("an exception reached the host: ") + e.what()};
        } catch (...) {
            o = {Status::Failed, "an exception reached the host"};
        }
        const std::string message = std::string(1, static_cast<char>('0' + static_cast<int>(o.status))) + o.detail;
        size_t done = 0;
        while (done < message.size()) {
            const ssize_t n = write(fds[1], message.data() + done, message.size() - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        close(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    std::string message;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        message.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        if (sig == SIGALRM)
            return {Status::Failed, "did not finish within " + std::to_string(kCheckSeconds) + " s"};
        return {Status::Failed, std::string("crashed: ") + strsignal(sig)};
    }
    if (message.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {Status::Failed, "the module ended the process (exit code " +
                                    std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")"};
    return {static_cast<Status>(message[0] - '0'), message.substr(1)};
}

// Something a host would never pass as an out value, to see it overwritten.
IMpUnknown* const kGarbage = reinterpret_cast<IMpUnknown*>(uintptr_t{0x5EED});

// ---------------------------------------------------------------------------
// Values a pin of each type is fed.

std::vector<Bytes> validValues(int32_t type, std::mt19937_64& rng) {
    std::uniform_real_distribution<float> real(-100.0f, 100.0f);
    std::uniform_int_distribution<int32_t> whole(-1000, 1000);
    switch (type) {
    case DATATYPE_FLOAT:
        return {host::bytesOf(0.0f), host::bytesOf(1.0f), host::bytesOf(-1.0f), host::bytesOf(0.5f),
                host::bytesOf(1e6f), host::bytesOf(-1e-6f), host::bytesOf(-0.0f), host::bytesOf(real(rng))};
    case DATATYPE_INT:
        return {host::bytesOf(int32_t{0}), host::bytesOf(int32_t{1}), host::bytesOf(int32_t{-1}),
                host::bytesOf(int32_t{7}), host::bytesOf(std::numeric_limits<int32_t>::max()),
                host::bytesOf(std::numeric_limits<int32_t>::min()), host::bytesOf(whole(rng))};
    case DATATYPE_BOOL:
        return {host::bytesOf(true), host::bytesOf(false), host::bytesOf(true)};
    case DATATYPE_TEXT:
        return {host::bytesOf(u""), host::bytesOf(u"a"), host::bytesOf(u"Gr\u00fc\u00dfe, abc"),
                host::bytesOf(std::u16string(300, u'x')), host::bytesOf(u"two words")};
    case DATATYPE_BLOB: {
        Bytes big(100);
        for (auto& b : big)
            b = static_cast<uint8_t>(rng());
        return {Bytes{}, Bytes{1}, big};
    }
    default:
        return {};
    }
}

Bytes randomValue(int32_t type, std::mt19937_64& rng) {
    const auto values = validValues(type, rng);
    if (values.empty())
        return {};
    return values[std::uniform_int_distribution<size_t>(0, values.size() - 1)(rng)];
}

// The sizes a pin of the type may send.
bool sizeFits(int32_t type, size_t size) {
    switch (type) {
    case DATATYPE_FLOAT:
    case DATATYPE_INT: return size == 4;
    case DATATYPE_BOOL: return size == 1 || size == 4;
    case DATATYPE_TEXT: return size % 2 == 0;
    default: return true;
    }
}

// ---------------------------------------------------------------------------
// Interfaces each kind of half answers.

struct NamedIid {
    const char* name;
    Guid iid;
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

// ---------------------------------------------------------------------------

class Validator {
public:
    Validator(const ValidateOptions& options, uint64_t seed) : options_(options), seed_(seed) {}

    void validate(const std::string& path) {
        path_ = path;
        const size_t first = all_.size();
        std::string error;
        auto library = host::Library::open(path, error);
        if (!library) {
            add("load", "", "", {Status::Failed, error});
            finishLibrary(first);
            return;
        }
        lib_ = library.get();
        add("load", "", "", {Status::Passed, lib_->describeBuild()});
        checkExports();
        run("get-factory", "", "", [&] { return checkGetFactory(); });
        run("factory-interfaces", "", "", [&] { return checkFactoryInterfaces(); });
        run("describe-build", "", "", [&] { return checkDescribeBuild(); });
        run("unknown-identifiers", "", "", [&] { return checkUnknownIdentifiers(); });

        try {
            description_ = loadDescription(descriptionPathFor(path));
            add("description", "", "",
                {Status::Passed, std::to_string(description_->modules.size()) + " modules described"});
        } catch (const Failure& e) {
            description_.reset();
            add("description", "", "",
                {Status::Warning, std::string(e.what()) + "; only the library-wide checks ran"});
        }
        if (description_) {
            run("near-identifiers", "", "", [&] { return checkNearIdentifiers(); });
            run("wrong-sub-types", "", "", [&] { return checkWrongSubTypes(); });
            for (const auto& module : description_->modules)
                for (const auto& half : module.halves)
                    checkHalf(module, half);
        }
        lib_ = nullptr;
        library.reset();
        finishLibrary(first);
    }

    int finish() {
        size_t passed = 0, failed = 0, warnings = 0;
        for (const auto& r : all_) {
            passed += r.outcome.status == Status::Passed;
            failed += r.outcome.status == Status::Failed;
            warnings += r.outcome.status == Status::Warning;
        }
        if (options_.json) {
            Json doc{{"seed", seed_}, {"libraries", libraries_}};
            doc["summary"] = Json{{"libraries", options_.libraries.size()}, {"checks", all_.size()},
                                  {"passed", passed}, {"failed", failed}, {"warnings", warnings}};
            std::printf("%s\n", doc.dump(2).c_str());
        } else {
            std::printf("\nvalidate: %zu librar%s, %zu checks: %zu passed, %zu failed, %zu warning%s (seed %llu)\n",
                        options_.libraries.size(), options_.libraries.size() == 1 ? "y" : "ies", all_.size(), passed,
                        failed, warnings, warnings == 1 ? "" : "s", static_cast<unsigned long long>(seed_));
        }
        return failed == 0 ? 0 : kExitFailure;
    }

private:
    // ---- bookkeeping

    void add(const std::string& name, const std::string& module, const std::string& half, Outcome o) {
        CheckRecord r{name, module, half, std::move(o)};
        if (!options_.json) {
            if (all_.size() == libraryStart_)
                std::printf("%s%s\n", libraryStart_ == 0 ? "" : "\n", path_.c_str());
            std::string what = module.empty() ? name : module + " (" + half + ") " + name;
            std::printf("  %-8s %s%s%s\n", statusName(r.outcome.status), what.c_str(),
                        r.outcome.detail.empty() ? "" : ": ", r.outcome.detail.c_str());
        }
        all_.push_back(std::move(r));
    }

    void run(const std::string& name, const std::string& module, const std::string& half,
             const std::function<Outcome()>& fn) {
        add(name, module, half, isolated(fn));
    }

    void finishLibrary(size_t first) {
        Json checks = Json::array();
        for (size_t i = first; i < all_.size(); ++i) {
            const auto& r = all_[i];
            Json c{{"name", r.name}, {"status", statusName(r.outcome.status)}, {"detail", r.outcome.detail}};
            if (!r.module.empty()) {
                c["module"] = r.module;
                c["half"] = r.half;
            }
            checks.push_back(c);
        }
        libraries_.push_back(Json{{"path", path_}, {"checks", checks}});
        libraryStart_ = all_.size();
    }

    std::mt19937_64 rngFor(const std::string& check, const std::string& module = "") const {
        std::seed_seq seq{seed_, static_cast<uint64_t>(std::hash<std::string>{}(path_ + "|" + check + "|" + module))};
        return std::mt19937_64(seq);
    }

    // ---- library-wide checks

    void checkExports() {
        std::string error;
        const auto names = exportedNames(path_, error);
        if (!names) {
            add("single-export", "", "", {Status::Warning, "cannot read the export table: " + error});
            return;
        }
        if (*names == std::vector<std::string>{"MP_GetFactory"}) {
            add("single-export", "", "", {Status::Passed, "MP_GetFactory only"});
            return;
        }
        std::string list;
        for (const auto& n : *names)
            list += (list.empty() ? "" : ", ") + n;
        add("single-export", "", "",
            {Status::Failed, "exports " + std::to_string(names->size()) + " names, expected MP_GetFactory only: " +
                                 (list.size() > 200 ? list.substr(0, 200) + "..." : list)});
    }

    Outcome checkGetFactory() {
        void* first = kGarbage;
        void* second = kGarbage;
        expect(lib_->getFactory()(&first) == RC_OK, "the first MP_GetFactory did not answer RC_OK");
        expect(lib_->getFactory()(&second) == RC_OK, "the second MP_GetFactory did not answer RC_OK");
        expect(first != nullptr && first != kGarbage, "MP_GetFactory gave no factory");
        expect(first == second, "MP_GetFactory answered a different object the second time");
        return {Status::Passed, "answers the same factory every time"};
    }

    Outcome checkFactoryInterfaces() {
        IMpFactory2* f = lib_->factory();
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

    Outcome checkDescribeBuild() {
        IMpFactory2* f = lib_->factory();
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
        return {Status::Passed, "version " + std::to_string(version) + ", " + std::to_string(length) +
                                    " characters, never past maxChars"};
    }

    // Creating (id, subType) must answer RC_NOT_FOUND and leave *out null,
    // with and without a host.
    void expectNothingCreated(const wstring& id, int32_t subType, const std::string& what) {
        host::RecordingDspHost dspHost;
        IMpUnknown* out = kGarbage;
        const int32_t rc = lib_->factory()->instantiate(id.c_str(), subType, dspHost.unknown(), &out);
        if (out != nullptr && out != kGarbage)
            out->Release();
        expect(rc == RC_NOT_FOUND && out == nullptr,
               what + " (sub-type " + std::to_string(subType) + ") created something (code " + std::to_string(rc) + ")");
        out = kGarbage;
        const int32_t bare = lib_->factory()->instantiateBare(id.c_str(), subType, &out);
        if (out != nullptr && out != kGarbage)
            out->Release();
        expect(bare == RC_NOT_FOUND && out == nullptr,
               what + " (sub-type " + std::to_string(subType) + ") was created bare (code " + std::to_string(bare) + ")");
    }

    Outcome checkUnknownIdentifiers() {
        auto rng = rngFor("unknown");
        std::vector<wstring> ids{u"", u"x", u"?", wstring(5000, u'Z'), u"\u00e9\u4e2d"};
        std::uniform_int_distribution<int> length(1, 40), ch(32, 126);
        for (int i = 0; i < 40; ++i) {
            wstring s;
            for (int k = length(rng); k > 0; --k)
                s += static_cast<wchar>(ch(rng));
            ids.push_back(s);
        }
        for (const auto& id : ids)
            for (int32_t subType : {SUBTYPE_DSP, SUBTYPE_GUI_V1, SUBTYPE_GUI_V2})
                expectNothingCreated(id, subType, "the unknown identifier \"" + host::toUtf8(id.substr(0, 40)) + "\"");
        return {Status::Passed, std::to_string(ids.size()) + " unknown identifiers create nothing"};
    }

    Outcome checkNearIdentifiers() {
        size_t tried = 0;
        for (const auto& module : description_->modules) {
            const wstring id = host::fromUtf8(module.id);
            std::vector<wstring> near{id + u"x", id + u" ", id + u"0", u" " + id};
            if (id.size() > 1)
                near.push_back(id.substr(0, id.size() - 1));
            wstring other = id;
            other.back() = static_cast<wchar>(other.back() ^ 1);
            near.push_back(other);
            for (size_t i = 0; i < id.size(); ++i) {
                const wchar c = id[i];
                if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
                    wstring flipped = id;
                    flipped[i] = static_cast<wchar>(c ^ 0x20);
                    near.push_back(flipped);
                    break;
                }
            }
            for (const auto& n : near)
                for (const auto& half : module.halves) {
                    std::string what = "\"";
                    what += host::toUtf8(n);
                    what += "\", near ";
                    what += module.id;
                    expectNothingCreated(n, half.subType, what);
                    ++tried;
                }
        }
        return {Status::Passed, std::to_string(tried) + " near misses of described identifiers create nothing"};
    }

    Outcome checkWrongSubTypes() {
        auto rng = rngFor("subtypes");
        size_t tried = 0;
        for (const auto& module : description_->modules) {
            std::vector<int32_t> subTypes{SUBTYPE_DSP, SUBTYPE_GUI_V1, SUBTYPE_GUI_V2, -1, 3, 100,
                                          std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(),
                                          static_cast<int32_t>(rng())};
            for (int32_t s : subTypes) {
                const bool described = std::any_of(module.halves.begin(), module.halves.end(),
                                                   [&](const HalfDescription& h) { return h.subType == s; });
                if (described)
                    continue;
                expectNothingCreated(host::fromUtf8(module.id), s, module.id);
                ++tried;
            }
        }
        return {Status::Passed, std::to_string(tried) + " undescribed sub-types of described identifiers create nothing"};
    }

    // ---- one half of one module

    // A fresh instance with a host attached as the host would attach it.
    struct Instance {
        IMpUnknown* object = nullptr;
        ~Instance() {
            if (object != nullptr)
                object->Release();
        }
    };

    IMpUnknown* createWithHost(const ModuleDescription& module, const HalfDescription& half, IMpUnknown* hostUnknown) {
        IMpUnknown* out = kGarbage;
        const int32_t rc = lib_->create(host::fromUtf8(module.id), half.subType, hostUnknown, &out);
        expect(rc == RC_OK, "instantiate answered " + std::to_string(rc));
        expect(out != nullptr && out != kGarbage, "instantiate answered RC_OK without an object");
        return out;
    }

    void checkHalf(const ModuleDescription& module, const HalfDescription& half) {
        const std::string kind = halfName(half.subType);
        const std::string& id = module.id;
        run("create", id, kind, [&] { return checkCreate(module, half); });
        run("interfaces", id, kind, [&] { return checkInterfaces(module, half); });
        run("pins", id, kind, [&] { return checkPins(module, half); });
        if (half.dsp) {
            run("blocks", id, kind, [&] { return checkBlocks(module, half); });
            run("sleep", id, kind, [&] { return checkSleep(module, half); });
        } else {
            run("gui-values", id, kind, [&] { return checkGuiValues(module, half); });
            run("gui-bad-sizes", id, kind, [&] { return checkGuiBadSizes(module, half); });
            if (half.draws)
                run("paint", id, kind, [&] { return checkPaint(module, half); });
        }
    }

    Outcome checkCreate(const ModuleDescription& module, const HalfDescription& half) {
        const int n = options_.repeat;
        if (half.dsp) {
            host::RecordingDspHost host;
            for (int i = 0; i < n; ++i) {
                IMpUnknown* m = createWithHost(module, half, host.unknown());
                const uint32_t left = m->Release();
                expect(left == 0, "the last Release answered " + std::to_string(left) + ", not 0");
            }
            expect(host.references == 1, "the DSP half kept " + std::to_string(host.references - 1) +
                                             " references on its host after it was destroyed");
        } else {
            host::RecordingGuiHost host;
            for (int i = 0; i < n; ++i) {
                IMpUnknown* m = createWithHost(module, half, host.unknown());
                if (half.subType == SUBTYPE_GUI_V2)
                    host::attachGuiHost(m, host.unknown());
                const uint32_t left = m->Release();
                expect(left == 0, "the last Release answered " + std::to_string(left) + ", not 0");
            }
        }
        for (int i = 0; i < n; ++i) {
            IMpUnknown* out = kGarbage;
            const int32_t rc = lib_->createBare(host::fromUtf8(module.id), half.subType, &out);
            expect(rc == RC_OK && out != nullptr && out != kGarbage,
                   "instantiateBare answered " + std::to_string(rc) + " without an object");
            expect(out->Release() == 0, "the last Release of a bare instance did not answer 0");
        }
        return {Status::Passed, "created and released " + std::to_string(n) + " times with a host and " +
                                    std::to_string(n) + " times without"};
    }

    Outcome checkInterfaces(const ModuleDescription& module, const HalfDescription& half) {
        host::RecordingDspHost dspHost;
        host::RecordingGuiHost guiHost;
        IMpUnknown* m = createWithHost(module, half, half.dsp ? dspHost.unknown() : guiHost.unknown());
        Instance owner{m};
        // Which interfaces answer, and where.
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
                expect(rc == RC_NOT_FOUND, std::string("a query for ") + named.name + " answered " + std::to_string(rc));
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
        expect(count == expected + 1, "after " + std::to_string(answered.size()) +
                                          " answered queries AddRef answered " + std::to_string(count) + ", expected " +
                                          std::to_string(expected + 1));
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

    Outcome checkPins(const ModuleDescription& module, const HalfDescription& half) {
        auto rng = rngFor("pins", module.id);
        const auto count = static_cast<int32_t>(half.pins.size());
        if (half.dsp) {
            host::RecordingDspHost host;
            Instance owner{createWithHost(module, half, host.unknown())};
            auto* plugin = host::queryInterface<IMpPlugin2>(owner.object, IID_IMpPlugin2);
            expect(plugin != nullptr, "does not answer IMpPlugin2");
            std::vector<float> buffer(64);
            for (const auto& pin : half.pins)
                expect(plugin->assignPinBuffer(pin.index, buffer.data()) == RC_OK,
                       "described pin " + std::to_string(pin.index) + " (" + pin.name + ") does not answer");
            for (int32_t beyond : {count, count + 1, -1, std::numeric_limits<int32_t>::max()})
                expect(plugin->assignPinBuffer(beyond, buffer.data()) == RC_FAILED,
                       "undescribed pin " + std::to_string(beyond) + " answers");
            plugin->Release();
        } else {
            host::RecordingGuiHost host;
            Instance owner{createWithHost(module, half, host.unknown())};
            if (half.subType == SUBTYPE_GUI_V2)
                host::attachGuiHost(owner.object, host.unknown());
            for (const auto& pin : half.pins)
                expect(host::deliverOnly(owner.object, pin.index, randomValue(pin.type, rng)) == RC_OK,
                       "described pin " + std::to_string(pin.index) + " (" + pin.name + ") does not take a value");
            std::vector<int32_t> beyond{-1, std::numeric_limits<int32_t>::min()};
            if (half.growing) {
                for (int32_t i : {half.growing->from, half.growing->from + 3})
                    expect(host::deliverOnly(owner.object, i, randomValue(half.growing->type, rng)) == RC_OK,
                           "growing input " + std::to_string(i) + " does not take a value");
                beyond.push_back(half.growing->last + 1);
            } else {
                beyond.push_back(count);
                beyond.push_back(count + 7);
            }
            for (int32_t i : beyond)
                expect(host::deliverOnly(owner.object, i, host::bytesOf(int32_t{1})) == RC_FAILED,
                       "undescribed pin " + std::to_string(i) + " takes a value");
        }
        return {Status::Passed, std::to_string(count) + " described pins answer, none beyond"};
    }

    // ---- DSP halves

    // Buffers with a guard zone after the block, to catch writes past its end.
    static constexpr size_t kMaxBlock = 4096;
    static constexpr size_t kGuard = 64;
    static constexpr float kGuardValue = -12345.678f;

    struct DspSetup {
        host::RecordingDspHost host;
        IMpPlugin2* plugin = nullptr;
        std::vector<std::vector<float>> buffers;  // by pin
        ~DspSetup() {
            if (plugin != nullptr)
                plugin->Release();
        }
    };

    void setUpDsp(DspSetup& s, const ModuleDescription& module, const HalfDescription& half) {
        s.host.countdown = 64;
        IMpUnknown* out = kGarbage;
        expect(lib_->createBare(host::fromUtf8(module.id), half.subType, &out) == RC_OK && out != nullptr,
               "could not create the module");
        s.plugin = host::queryInterface<IMpPlugin2>(out, IID_IMpPlugin2);
        out->Release();
        expect(s.plugin != nullptr, "does not answer IMpPlugin2");
        s.plugin->attachHost(s.host.unknown());
        s.plugin->activate();
        s.buffers.resize(half.pins.size());
        for (const auto& pin : half.pins)
            if (pin.isAudio()) {
                s.buffers[static_cast<size_t>(pin.index)].assign(kMaxBlock + kGuard, 0.0f);
                s.plugin->assignPinBuffer(pin.index, s.buffers[static_cast<size_t>(pin.index)].data());
            }
    }

    // Checks what one block produced.
    void checkBlock(DspSetup& s, const HalfDescription& half, int32_t n, const std::string& where) {
        for (const auto& pin : half.pins) {
            if (!pin.isAudio() || pin.isInput())
                continue;
            const auto& b = s.buffers[static_cast<size_t>(pin.index)];
            for (int32_t i = 0; i < n; ++i)
                expect(std::isfinite(b[static_cast<size_t>(i)]) || b[static_cast<size_t>(i)] == kGuardValue,
                       "output " + pin.name + " is " + std::to_string(b[static_cast<size_t>(i)]) + " at sample " +
                           std::to_string(i) + " of " + where);
            for (size_t i = static_cast<size_t>(n); i < static_cast<size_t>(n) + kGuard; ++i)
                expect(b[i] == kGuardValue, "output " + pin.name + " was written past the end of " + where);
        }
        for (const auto& call : s.host.calls) {
            if (call.kind == host::DspCall::Publish) {
                expect(call.sampleOffset >= 0 && call.sampleOffset < n,
                       "a value was sent at offset " + std::to_string(call.sampleOffset) + " of " + where);
                const auto pin = half.pinAt(call.pinIndex);
                expect(pin && !pin->isInput() && !pin->isAudio(),
                       "a value was sent for pin " + std::to_string(call.pinIndex) + ", which is no control output");
                expect(sizeFits(pin->type, call.bytes.size()),
                       "pin " + pin->name + " sent " + std::to_string(call.bytes.size()) + " bytes for a " +
                           typeName(pin->type));
                if (pin->type == DATATYPE_FLOAT)
                    expect(std::isfinite(host::floatOf(call.bytes)),
                           "pin " + pin->name + " sent " + formatValue(pin->type, call.bytes) + " in " + where);
            } else if (call.kind == host::DspCall::Streaming) {
                expect(call.sampleOffset >= 0 && call.sampleOffset < std::max(n, 1),
                       "streaming was announced at offset " + std::to_string(call.sampleOffset) + " of " + where);
            }
        }
    }

    void prepareOutputs(DspSetup& s, const HalfDescription& half, int32_t n) {
        for (const auto& pin : half.pins)
            if (pin.isAudio()) {
                auto& b = s.buffers[static_cast<size_t>(pin.index)];
                std::fill(b.begin() + n, b.end(), kGuardValue);
                if (!pin.isInput())
                    std::fill(b.begin(), b.begin() + n, kGuardValue);
            }
        s.host.clear();
    }

    Outcome checkBlocks(const ModuleDescription& module, const HalfDescription& half) {
        auto rng = rngFor("blocks", module.id);
        std::vector<int32_t> sizes{1, 2, 17, 64, 1024};
        std::uniform_int_distribution<int32_t> anySize(1, static_cast<int32_t>(kMaxBlock));
        for (int i = 0; i < 3; ++i)
            sizes.push_back(anySize(rng));
        std::uniform_real_distribution<float> level(-1.0f, 1.0f);
        DspSetup s;
        setUpDsp(s, module, half);
        bool started = false;
        size_t blocks = 0;
        for (int32_t n : sizes) {
            for (int round = 0; round < 12; ++round) {
                const std::string where = "a block of " + std::to_string(n);
                prepareOutputs(s, half, n);
                host::EventList events;
                if (!started) {
                    events.start(0);
                    started = true;
                }
                const bool streaming = round % 3 != 2;
                for (const auto& pin : half.pins) {
                    if (!pin.isInput())
                        continue;
                    if (pin.isAudio()) {
                        auto& b = s.buffers[static_cast<size_t>(pin.index)];
                        if (streaming)
                            for (int32_t i = 0; i < n; ++i)
                                b[static_cast<size_t>(i)] = level(rng);
                        else
                            std::fill(b.begin(), b.begin() + n, level(rng));
                        if (round % 3 == 0)
                            events.streamOn(0, pin.index);
                        else if (round % 3 == 2)
                            events.streamOff(0, pin.index);
                    } else if (round % 2 == 0) {
                        events.value(0, pin.index, randomValue(pin.type, rng));
                    }
                }
                // Values at the block's last sample.
                for (const auto& pin : half.pins)
                    if (pin.isInput() && !pin.isAudio() && round % 4 != 3)
                        events.value(n - 1, pin.index, randomValue(pin.type, rng));
                s.plugin->processBlock(n, events.head());
                checkBlock(s, half, n, where);
                ++blocks;
            }
        }
        std::string list;
        for (int32_t n : sizes)
            list += (list.empty() ? "" : ", ") + std::to_string(n);
        return {Status::Passed, std::to_string(blocks) + " blocks of " + list + " samples; outputs finite"};
    }

    Outcome checkSleep(const ModuleDescription& module, const HalfDescription& half) {
        auto rng = rngFor("sleep", module.id);
        DspSetup s;
        setUpDsp(s, module, half);
        constexpr int32_t n = 64;
        // Static inputs at their defaults (or random values), then silence.
        prepareOutputs(s, half, n);
        host::EventList events;
        events.start(0);
        for (const auto& pin : half.pins) {
            if (!pin.isInput())
                continue;
            if (pin.isAudio()) {
                const float v = pin.defaultValue.is_number() ? pin.defaultValue.get<float>()
                                                             : std::uniform_real_distribution<float>(-1, 1)(rng);
                std::fill(s.buffers[static_cast<size_t>(pin.index)].begin(),
                          s.buffers[static_cast<size_t>(pin.index)].begin() + n, v);
                events.streamOff(0, pin.index);
            } else {
                // Bools on (a held gate), the rest at random.
                events.value(0, pin.index, pin.type == DATATYPE_BOOL ? host::bytesOf(true) : randomValue(pin.type, rng));
            }
        }
        s.plugin->processBlock(n, events.head());
        std::vector<float> held(half.pins.size(), 0.0f);
        auto remember = [&] {
            for (const auto& pin : half.pins)
                if (pin.isAudio() && !pin.isInput())
                    for (int32_t i = 0; i < n; ++i)
                        if (s.buffers[static_cast<size_t>(pin.index)][static_cast<size_t>(i)] != kGuardValue)
                            held[static_cast<size_t>(pin.index)] =
                                s.buffers[static_cast<size_t>(pin.index)][static_cast<size_t>(i)];
        };
        remember();
        int block = 0;
        constexpr int kBlocksToSleep = 4000;  // about five seconds at 48 kHz
        while (s.host.count(host::DspCall::OfferSleep) == 0 && block < kBlocksToSleep) {
            prepareOutputs(s, half, n);
            s.plugin->processBlock(n, nullptr);
            remember();
            ++block;
        }
        if (s.host.count(host::DspCall::OfferSleep) == 0)
            return {Status::Passed, "never offered sleep with static inputs (allowed)"};
        // Asleep: nothing may move any more.
        for (int k = 0; k < 50; ++k) {
            prepareOutputs(s, half, n);
            s.plugin->processBlock(n, nullptr);
            for (const auto& pin : half.pins) {
                if (!pin.isAudio() || pin.isInput())
                    continue;
                for (int32_t i = 0; i < n; ++i) {
                    const float v = s.buffers[static_cast<size_t>(pin.index)][static_cast<size_t>(i)];
                    expect(v == kGuardValue || v == held[static_cast<size_t>(pin.index)],
                           "offered sleep, then output " + pin.name + " moved from " +
                               std::to_string(held[static_cast<size_t>(pin.index)]) + " to " + std::to_string(v) +
                               " without any event");
                }
            }
            expect(s.host.count(host::DspCall::Publish) == 0,
                   "offered sleep, then sent a control value without any event");
        }
        return {Status::Passed, "offered sleep after " + std::to_string(block + 1) +
                                    " blocks and kept its outputs constant"};
    }

    // ---- GUI halves

    struct GuiSetup {
        host::RecordingGuiHost host;
        Instance instance;
    };

    void setUpGui(GuiSetup& g, const ModuleDescription& module, const HalfDescription& half) {
        g.instance.object = createWithHost(module, half, g.host.unknown());
        if (half.subType == SUBTYPE_GUI_V2) {
            expect(host::attachGuiHost(g.instance.object, g.host.unknown()) == RC_OK, "attachHost failed");
        } else if (auto* ui = host::queryInterface<IMpUserInterface>(g.instance.object, IID_IMpUserInterface)) {
            expect(ui->initialiseGui() == RC_OK, "initialiseGui did not answer RC_OK");
            ui->Release();
        }
    }

    void checkSends(const GuiSetup& g, const HalfDescription& half, const std::string& after) {
        for (const auto& call : g.host.sends()) {
            const auto pin = half.pinAt(call.pinIndex);
            expect(pin.has_value(), "sent a value on undescribed pin " + std::to_string(call.pinIndex) + " " + after);
            expect(sizeFits(pin->type, call.bytes.size()), "pin " + pin->name + " sent " +
                                                               std::to_string(call.bytes.size()) + " bytes for a " +
                                                               typeName(pin->type) + " " + after);
        }
    }

    Outcome checkGuiValues(const ModuleDescription& module, const HalfDescription& half) {
        auto rng = rngFor("gui-values", module.id);
        GuiSetup g;
        setUpGui(g, module, half);
        size_t fed = 0;
        std::vector<PinDescription> pins = half.pins;
        if (half.growing)
            for (int32_t i : {half.growing->from, half.growing->from + 2})
                pins.push_back(*half.pinAt(i));
        for (int round = 0; round < 3; ++round)
            for (const auto& pin : pins)
                for (const auto& v : validValues(pin.type, rng)) {
                    const std::string after = "after " + pin.name + " = " + formatValue(pin.type, v);
                    g.host.clear();
                    expect(host::deliverOnly(g.instance.object, pin.index, v) == RC_OK,
                           "deliverPinValue refused " + pin.name + " = " + formatValue(pin.type, v));
                    expect(host::signalOnly(g.instance.object, pin.index) == RC_OK,
                           "signalPinChange refused pin " + pin.name);
                    checkSends(g, half, after);
                    ++fed;
                }
        return {Status::Passed, std::to_string(fed) + " values on " + std::to_string(pins.size()) + " pins"};
    }

    Outcome checkGuiBadSizes(const ModuleDescription& module, const HalfDescription& half) {
        auto rng = rngFor("gui-bad-sizes", module.id);
        GuiSetup g;
        setUpGui(g, module, half);
        std::vector<int32_t> indices;
        for (const auto& pin : half.pins)
            indices.push_back(pin.index);
        if (half.growing)
            indices.push_back(half.growing->from + 1);
        size_t fed = 0;
        for (int32_t index : indices)
            for (int32_t size : {0, 1, 2, 3, 5, 7, 8, 64, 4097}) {
                Bytes junk(static_cast<size_t>(size));
                for (auto& b : junk)
                    b = static_cast<uint8_t>(rng());
                host::deliverOnly(g.instance.object, index, junk);
                host::signalOnly(g.instance.object, index);
                ++fed;
            }
        // Null data with a size of 0, and signals for pins that do not exist.
        for (int32_t index : indices)
            host::deliverOnly(g.instance.object, index, Bytes{});
        for (int32_t index : {-1, 1 << 20, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()})
            host::signalOnly(g.instance.object, index);
        return {Status::Passed, std::to_string(fed) + " values of wrong sizes taken without a crash"};
    }

    Outcome checkPaint(const ModuleDescription& module, const HalfDescription& half) {
        GuiSetup g;
        setUpGui(g, module, half);
        auto* gfx = host::queryInterface<IQvGraphicsComposited>(g.instance.object, IID_IQvGraphicsComposited);
        expect(gfx != nullptr, "does not answer IQvGraphicsComposited");
        const GuiSize offers[] = {{0, 0}, {1, 1}, {7, 3}, {333, 17}, {-5, -5}, {100000, 100000}};
        for (const auto& offer : offers) {
            GuiSize result{-77, -77};
            expect(gfx->measure(offer, &result) == RC_OK, "measure refused an offer");
            expect(result.width >= 0 && result.height >= 0 && result.width < 100000 && result.height < 100000,
                   "measure answered " + std::to_string(result.width) + " x " + std::to_string(result.height) +
                       " for " + std::to_string(offer.width) + " x " + std::to_string(offer.height));
        }
        gfx->Release();
        // Odd sizes, pins changed in between.
        const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {3, 2}, {7, 13}, {110, 20}, {257, 3}, {2, 300}};
        auto rng = rngFor("paint", module.id);
        for (const auto& [w, h] : sizes) {
            for (const auto& pin : half.pins)
                if (pin.isInput())
                    host::deliverAndSignal(g.instance.object, pin.index, randomValue(pin.type, rng));
            paintModule(g.instance.object, w, h);
        }
        return {Status::Passed, "measured and painted at " + std::to_string(std::size(sizes)) + " odd sizes"};
    }

    const ValidateOptions& options_;
    uint64_t seed_;
    std::string path_;
    host::Library* lib_ = nullptr;
    std::optional<LibraryDescription> description_;
    std::vector<CheckRecord> all_;
    Json libraries_ = Json::array();
    size_t libraryStart_ = 0;
};

}  // namespace

int runValidate(const ValidateOptions& options) {
    const uint64_t seed = options.seed ? *options.seed : std::random_device{}();
    Validator validator(options, seed);
    for (const auto& path : options.libraries)
        validator.validate(path);
    return validator.finish();
}

}  // namespace qvhost
