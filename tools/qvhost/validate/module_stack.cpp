#include "module_stack.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "elf_exports.h"

namespace qvhost {

namespace {

// "Hoarder::write" from "_ZN12_GLOBAL__N_17Hoarder5writeEi": demangled,
// without the anonymous namespace, template arguments and parameter list.
std::string readable(const std::string& mangled) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> plain(abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status),
                                                      &std::free);
    std::string name = status == 0 && plain ? plain.get() : mangled;
    const std::string anonymous = "(anonymous namespace)::";
    for (size_t at; (at = name.find(anonymous)) != std::string::npos;)
        name.erase(at, anonymous.size());
    if (const size_t open = name.find('('); open != std::string::npos && open > 0)
        name.erase(open);
    // Without template arguments, and without a return type or a "thunk to".
    std::string shorter;
    int depth = 0;
    for (const char c : name) {
        depth += c == '<' ? 1 : 0;
        if (depth == 0)
            shorter += c;
        depth -= c == '>' && depth > 0 ? 1 : 0;
    }
    if (const size_t space = shorter.rfind(' '); space != std::string::npos)
        shorter.erase(0, space + 1);
    return shorter.empty() ? name : shorter;
}

const std::vector<FunctionSymbol>& symbolsOf(const std::string& path) {
    static std::map<std::string, std::vector<FunctionSymbol>> cache;
    auto it = cache.find(path);
    if (it == cache.end())
        it = cache.emplace(path, functionSymbols(path)).first;
    return it->second;
}

std::string nameAt(const std::string& path, uintptr_t address) {
    const auto& symbols = symbolsOf(path);
    auto after = std::upper_bound(symbols.begin(), symbols.end(), address,
                                  [](uintptr_t a, const FunctionSymbol& s) { return a < s.address; });
    if (after != symbols.begin()) {
        const FunctionSymbol& s = *std::prev(after);
        if (address < s.address + s.size)
            return readable(s.name);
    }
    char text[32];
    std::snprintf(text, sizeof text, "+0x%llx", static_cast<unsigned long long>(address));
    return std::filesystem::path(path).filename().string() + text;
}

}  // namespace

std::string moduleStack(const RealtimeRecord& record, const std::string& libraryPath) {
    return moduleStack(record.stack, record.depth, libraryPath);
}

std::string moduleStack(void* const* stack, int depth, const std::string& libraryPath) {
    std::string out;
    int shown = 0;
    std::error_code ec;
    for (int i = 0; i < depth && shown < 6; ++i) {
        // A return address points past its call: look one byte back.
        const char* pc = static_cast<const char*>(stack[i]) - (i == 0 ? 0 : 1);
        const CodePlace place = placeOf(pc);
        if (place.file.empty() || !std::filesystem::equivalent(place.file, libraryPath, ec))
            continue;
        out += (shown++ == 0 ? "" : " <- ") + nameAt(libraryPath, place.address);
    }
    return out;
}

}  // namespace qvhost
