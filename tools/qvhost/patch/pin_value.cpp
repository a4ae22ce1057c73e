#include "pin_value.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "abi/abi.h"
#include "failure.h"
#include "utf8.h"

namespace qvhost {

using namespace ovra;

namespace {

[[noreturn]] void notA(const std::string& what, const std::string& text, const std::string& pinName) {
    throw Failure("value '" + text + "' for pin " + pinName + " is not " + what);
}

bool parseDouble(const std::string& text, double& out) {
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

}  // namespace

float audioLevel(const std::string& text, const std::string& pinName) {
    double v = 0;
    if (!parseDouble(text, v))
        notA("a number", text, pinName);
    return static_cast<float>(v);
}

Bytes parseValue(int32_t type, const std::string& text, const std::string& pinName) {
    switch (type) {
    case DATATYPE_FLOAT:
    case DATATYPE_AUDIO:
        return host::bytesOf(audioLevel(text, pinName));
    case DATATYPE_INT: {
        errno = 0;
        char* end = nullptr;
        const long long v = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE ||
            v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
            notA("an int", text, pinName);
        return host::bytesOf(static_cast<int32_t>(v));
    }
    case DATATYPE_BOOL:
        if (text == "true" || text == "1" || text == "on")
            return host::bytesOf(true);
        if (text == "false" || text == "0" || text == "off")
            return host::bytesOf(false);
        notA("a bool (true or false)", text, pinName);
    case DATATYPE_TEXT:
        return host::bytesOf(host::fromUtf8(text));
    case DATATYPE_BLOB: {
        // Hex digits, two per byte.
        if (text.size() % 2 != 0 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            notA("a blob (hex digits, two per byte)", text, pinName);
        Bytes out;
        for (size_t i = 0; i < text.size(); i += 2)
            out.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
        return out;
    }
    default:
        throw Failure("pin " + pinName + " has a type that takes no value");
    }
}

Bytes valueFromJson(int32_t type, const Json& value, const std::string& pinName) {
    // Text reads as on the command line, so "nan", "inf" and "on" work in
    // patches as they do with --set.
    if (value.is_string())
        return parseValue(type, value.get<std::string>(), pinName);
    switch (type) {
    case DATATYPE_FLOAT:
    case DATATYPE_AUDIO:
        if (!value.is_number())
            throw Failure("value " + value.dump() + " for pin " + pinName + " is not a number");
        return host::bytesOf(value.get<float>());
    case DATATYPE_INT:
        // A number beyond int64 arrives unsigned; read as int64 it would wrap.
        if (!value.is_number_integer() ||
            (value.is_number_unsigned() && value.get<uint64_t>() > std::numeric_limits<int32_t>::max()) ||
            value.get<int64_t>() < std::numeric_limits<int32_t>::min() ||
            value.get<int64_t>() > std::numeric_limits<int32_t>::max())
            throw Failure("value " + value.dump() + " for pin " + pinName + " is not an int");
        return host::bytesOf(value.get<int32_t>());
    case DATATYPE_BOOL:
        if (!value.is_boolean())
            throw Failure("value " + value.dump() + " for pin " + pinName + " is not a bool (true or false)");
        return host::bytesOf(value.get<bool>());
    case DATATYPE_TEXT:
    case DATATYPE_BLOB:
        throw Failure("value " + value.dump() + " for pin " + pinName + " is not a string");
    default:
        throw Failure("pin " + pinName + " has a type that takes no value");
    }
}

std::string formatValue(int32_t type, const Bytes& bytes) {
    char text[64];
    switch (type) {
    case DATATYPE_FLOAT:
    case DATATYPE_AUDIO:
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(host::floatOf(bytes)));
        return text;
    case DATATYPE_INT:
        return std::to_string(host::intOf(bytes));
    case DATATYPE_BOOL:
        return host::boolOf(bytes) ? "true" : "false";
    case DATATYPE_TEXT:
        return quoted(host::toUtf8(host::textOf(bytes)));
    default: {
        std::string out;
        for (uint8_t b : bytes) {
            std::snprintf(text, sizeof text, "%02x", b);
            out += text;
        }
        return out.empty() ? "(empty)" : out;
    }
    }
}

std::string quoted(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    out += text;
    out += '\'';
    return out;
}

double parseSeconds(const std::string& text, const std::string& what) {
    std::string number = text;
    double scale = 1.0;
    if (number.size() > 2 && number.compare(number.size() - 2, 2, "ms") == 0) {
        number.resize(number.size() - 2);
        scale = 0.001;
    } else if (number.size() > 1 && number.back() == 's') {
        number.pop_back();
    }
    double v = 0;
    if (!parseDouble(number, v) || !std::isfinite(v) || v < 0)
        throw Failure(what + " '" + text + "' is not a time in seconds");
    return v * scale;
}

}  // namespace qvhost
