#include "patch_rules.h"

#include <algorithm>
#include <cmath>
#include <regex>

#include "patch_schema.h"
#include "io/suggest.h"

namespace qvhost {

namespace {

std::string kindOf(const Json& v) {
    switch (v.type()) {
    case Json::value_t::object: return "an object";
    case Json::value_t::array: return "a list";
    case Json::value_t::string: return "a string";
    case Json::value_t::boolean: return "a boolean";
    case Json::value_t::null: return "null";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned: return "an integer";
    default: return "a number";
    }
}

bool isIntegral(const Json& v) {
    return v.is_number_integer() || (v.is_number_float() && std::isfinite(v.get<double>()) &&
                                     std::floor(v.get<double>()) == v.get<double>());
}

bool hasType(const Json& v, const std::string& type) {
    if (type == "object") return v.is_object();
    if (type == "array") return v.is_array();
    if (type == "string") return v.is_string();
    if (type == "boolean") return v.is_boolean();
    if (type == "number") return v.is_number();
    if (type == "integer") return isIntegral(v);
    return type == "null" && v.is_null();
}

std::string typeWords(const std::string& type) {
    if (type == "object") return "an object";
    if (type == "array") return "a list";
    if (type == "integer") return "an integer";
    if (type == "boolean") return "true or false";
    return "a " + type;
}

// The value as the message quotes it, kept short.
std::string shown(const Json& v) {
    std::string text = v.dump();
    if (text.size() > 40)
        text = text.substr(0, 37) + "...";
    return text;
}

std::string shortNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

class Checker {
public:
    Checker(const JsonSource& source, const Json& root) : source_(source), root_(root) {}

    // Throws Failure at the first rule `value` breaks.
    void check(const Json& value, const Json& schema, const JsonPath& path) const {
        const Json& s = resolved(schema);
        if (s.contains("type")) {
            std::vector<std::string> types;
            if (s["type"].is_array())
                for (const auto& t : s["type"])
                    types.push_back(t.get<std::string>());
            else
                types.push_back(s["type"].get<std::string>());
            bool any = false;
            for (const auto& t : types)
                any = any || hasType(value, t);
            if (!any) {
                std::string want;
                for (size_t i = 0; i < types.size(); ++i)
                    want += (i == 0 ? "" : i + 1 == types.size() ? " or " : ", ") + typeWords(types[i]);
                source_.fail(path, "must be " + want + ", not " + kindOf(value) + " (" + shown(value) + ")");
            }
        }
        if (value.is_number())
            checkRange(value.get<double>(), s, path);
        if (value.is_string() && s.contains("pattern") &&
            !std::regex_search(value.get<std::string>(), std::regex(s["pattern"].get<std::string>())))
            source_.fail(path, shown(value) + " is not " + s.value("x-message", "of the expected form"));
        if (value.is_object())
            checkObject(value, s, path);
        if (value.is_array())
            checkArray(value, s, path);
        if (s.contains("anyOf")) {
            bool any = false;
            for (const auto& option : s["anyOf"])
                any = any || passes(value, option);
            if (!any)
                source_.fail(path, s.value("x-message", "fits none of the allowed forms"));
        }
    }

private:
    const Json& resolved(const Json& schema) const {
        if (!schema.is_object() || !schema.contains("$ref"))
            return schema;
        const std::string ref = schema["$ref"].get<std::string>();
        return root_.at(JsonPath(ref.substr(1)));
    }

    bool passes(const Json& value, const Json& schema) const {
        try {
            check(value, schema, JsonPath());
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }

    void checkRange(double v, const Json& s, const JsonPath& path) const {
        if (s.contains("minimum") && !(v >= s["minimum"].get<double>()))
            source_.fail(path, "must be at least " + shortNumber(s["minimum"].get<double>()) + ", not " + shortNumber(v));
        if (s.contains("exclusiveMinimum") && !(v > s["exclusiveMinimum"].get<double>()))
            source_.fail(path,
                         "must be above " + shortNumber(s["exclusiveMinimum"].get<double>()) + ", not " + shortNumber(v));
        if (s.contains("maximum") && !(v <= s["maximum"].get<double>()))
            source_.fail(path, "must be at most " + shortNumber(s["maximum"].get<double>()) + ", not " + shortNumber(v));
    }

    void checkObject(const Json& value, const Json& s, const JsonPath& path) const {
        const Json empty = Json::object();
        const Json& properties = s.contains("properties") ? s["properties"] : empty;
        for (const auto& key : s.value("required", Json::array()))
            if (!value.contains(key.get<std::string>()))
                source_.fail(path, "needs \"" + key.get<std::string>() + "\"");
        if (s.contains("minProperties") && value.size() < s["minProperties"].get<size_t>())
            source_.fail(path, "needs at least " + counted(s["minProperties"].get<size_t>(), "entry", "entries"));
        // Keys in the order they are written, so that the first mistake in
        // the file is the one reported.
        std::vector<std::string> keys;
        for (const auto& [key, item] : value.items())
            keys.push_back(key);
        std::stable_sort(keys.begin(), keys.end(), [&](const std::string& a, const std::string& b) {
            return source_.offsetOf(path / a) < source_.offsetOf(path / b);
        });
        for (const auto& key : keys) {
            const Json& item = value[key];
            if (properties.contains(key)) {
                check(item, properties[key], path / key);
            } else if (s.contains("additionalProperties")) {
                const Json& extra = s["additionalProperties"];
                if (extra.is_boolean() && !extra.get<bool>()) {
                    std::vector<std::string> known;
                    for (const auto& [name, rule] : properties.items())
                        known.push_back(name);
                    source_.fail(path / key, "unknown key \"" + key + "\"" + suggestion(key, known));
                }
                check(item, extra, path / key);
            }
        }
    }

    void checkArray(const Json& value, const Json& s, const JsonPath& path) const {
        if (s.contains("minItems") && value.size() < s["minItems"].get<size_t>())
            source_.fail(path, "needs at least " + counted(s["minItems"].get<size_t>(), "item"));
        if (s.contains("maxItems") && value.size() > s["maxItems"].get<size_t>())
            source_.fail(path, "takes at most " + counted(s["maxItems"].get<size_t>(), "item"));
        if (s.contains("items"))
            for (size_t i = 0; i < value.size(); ++i)
                check(value[i], s["items"], path / i);
    }

    const JsonSource& source_;
    const Json& root_;
};

}  // namespace

const Json& patchSchema() {
    static const Json schema = Json::parse(kPatchSchema);
    return schema;
}

void checkAgainstSchema(const JsonSource& source, const Json& schema) {
    Checker(source, schema).check(source.doc(), schema, JsonPath());
}

}  // namespace qvhost
