// A JSON file kept with its text, so that a message about any value can say
// where that value is written: "FILE:LINE:COLUMN: key.path: what".
#pragma once

#include <map>
#include <string>

#include "description.h"

namespace qvhost {

using JsonPath = Json::json_pointer;

class JsonSource {
public:
    // Parses `text`; a syntax error throws Failure "NAME:LINE:COLUMN: what".
    JsonSource(std::string name, std::string text);
    static JsonSource fromFile(const std::string& path);  // throws Failure

    const Json& doc() const { return doc_; }
    const std::string& name() const { return name_; }

    // "NAME:LINE:COLUMN: PATH" for the value at `path` (its nearest written
    // ancestor when the value itself is missing).
    std::string where(const JsonPath& path) const;
    [[noreturn]] void fail(const JsonPath& path, const std::string& what) const;
    // Byte offset of the value at `path` in the text (of its nearest written
    // ancestor when it is missing).
    size_t offsetOf(const JsonPath& path) const;
    // A path as a user reads it: modules.env.set.Gate, timeline[2].at.
    std::string pathText(const JsonPath& path) const;

private:
    std::string name_;
    std::string text_;
    Json doc_;
    std::map<std::string, size_t> offsets_;  // JSON pointer text -> byte offset of the value
};

// Line and column (from 1) of a byte offset of a text.
std::pair<size_t, size_t> lineAndColumn(const std::string& text, size_t offset);

}  // namespace qvhost
