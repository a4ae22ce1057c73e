#include "patch_file.h"

#include <cstdio>

#include "patch_rules.h"

namespace qvhost {

std::string messageNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", v);
    return text;
}

namespace {

[[noreturn]] void beyond(const JsonSource& source, const JsonPath& at, const std::string& what,
                         const std::string& limit, const char* option) {
    source.fail(at, what + " is more than the limit of " + limit + " (" + option + " raises it)");
}

void checkLimits(const PatchFile& patch, const PatchLimits& limits) {
    const JsonSource& source = *patch.source;
    if (patch.seconds > limits.seconds)
        beyond(source, JsonPath("/seconds"), messageNumber(patch.seconds) + " s", messageNumber(limits.seconds) + " s",
               "--max-seconds");
    if (patch.rate > limits.rate)
        beyond(source, JsonPath("/rate"), messageNumber(patch.rate) + " Hz",
               messageNumber(static_cast<double>(limits.rate)) + " Hz", "--max-rate");
    const auto modules = static_cast<int64_t>(source.doc()["modules"].size());
    if (modules > limits.modules)
        beyond(source, JsonPath("/modules"), std::to_string(modules) + " modules", std::to_string(limits.modules),
               "--max-modules");
}

void readModules(const Json& doc, PatchFile& patch) {
    for (const auto& [name, m] : doc["modules"].items()) {
        WrittenModule module{name, m["library"].get<std::string>(), m["id"].get<std::string>(),
                             JsonPath("/modules") / name, {}};
        if (m.contains("set"))
            for (const auto& [pin, value] : m["set"].items())
                module.sets.emplace_back(pin, value);
        patch.modules.push_back(std::move(module));
    }
}

// Calls read(entry, where) for each entry of the list under key, if the
// patch has one.
template <class Read>
void forEachEntry(const Json& doc, const std::string& key, Read read) {
    if (!doc.contains(key))
        return;
    const Json& list = doc[key];
    for (size_t i = 0; i < list.size(); ++i)
        read(list[i], JsonPath("/" + key) / i);
}

void readConnections(const Json& doc, PatchFile& patch) {
    forEachEntry(doc, "connections", [&](const Json& c, const JsonPath& where) {
        patch.connections.push_back(
            {{c[0].get<std::string>(), where / 0}, {c[1].get<std::string>(), where / 1}, where});
    });
}

void readTimeline(const Json& doc, PatchFile& patch) {
    forEachEntry(doc, "timeline", [&](const Json& e, const JsonPath& where) {
        patch.timeline.push_back({{e["set"].get<std::string>(), where / "set"}, e["value"], where / "value",
                                  e["at"].get<double>()});
    });
}

void readRecordings(const Json& doc, PatchFile& patch) {
    forEachEntry(doc, "record", [&](const Json& r, const JsonPath& where) {
        WrittenRecording rec;
        for (size_t k = 0; k < r["signals"].size(); ++k)
            rec.signals.push_back({r["signals"][k].get<std::string>(), where / "signals" / k});
        rec.wav = r.value("wav", "");
        rec.plot = r.value("plot", "");
        rec.at = where;
        patch.recordings.push_back(std::move(rec));
    });
}

void readFrames(const Json& doc, PatchFile& patch) {
    forEachEntry(doc, "frames", [&](const Json& f, const JsonPath& where) {
        WrittenFrames series;
        series.module = f["module"].get<std::string>();
        series.every = f.value("every", 0.1);
        series.everyWritten = f.contains("every");
        if (f.contains("size"))
            series.size = std::make_pair(static_cast<int32_t>(f["size"][0].get<double>()),
                                         static_cast<int32_t>(f["size"][1].get<double>()));
        series.stem = f.value("name", series.module);
        series.nameWritten = f.contains("name");
        series.at = where;
        patch.frames.push_back(std::move(series));
    });
}

}  // namespace

const std::string* PatchFile::libraryPath(const std::string& name) const {
    for (const auto& [n, path] : libraries)
        if (n == name)
            return &path;
    return nullptr;
}

PatchFile readPatchFile(const JsonSource& source, const PatchLimits& limits) {
    checkAgainstSchema(source, patchSchema());
    const Json& doc = source.doc();
    PatchFile patch;
    patch.source = &source;
    patch.title = doc.value("title", source.name());
    patch.rate = static_cast<int32_t>(doc.value("rate", 48000.0));
    patch.block = static_cast<int32_t>(doc.value("block", 64.0));
    patch.seconds = doc.value("seconds", 1.0);
    checkLimits(patch, limits);
    if (doc.contains("libraries"))
        for (const auto& [name, path] : doc["libraries"].items())
            patch.libraries.emplace_back(name, path.get<std::string>());
    readModules(doc, patch);
    readConnections(doc, patch);
    readTimeline(doc, patch);
    readRecordings(doc, patch);
    readFrames(doc, patch);
    return patch;
}

}  // namespace qvhost
