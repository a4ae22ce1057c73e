#include "readable_text.h"

#include <cstdint>
#include <cstdio>

namespace qvhost {

namespace {

bool continuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// The length of the valid sequence at text[i], or 0.
size_t sequenceAt(const std::string& text, size_t i) {
    const auto at = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t b = at(i);
    const size_t left = text.size() - i;
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF)
        return left >= 2 && continuation(at(i + 1)) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        if (left < 3 || !continuation(at(i + 1)) || !continuation(at(i + 2)))
            return 0;
        const uint8_t second = at(i + 1);
        if ((b == 0xE0 && second < 0xA0) || (b == 0xED && second >= 0xA0))
            return 0;  // overlong, or a surrogate
        return 3;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (left < 4 || !continuation(at(i + 1)) || !continuation(at(i + 2)) || !continuation(at(i + 3)))
            return 0;
        const uint8_t second = at(i + 1);
        if ((b == 0xF0 && second < 0x90) || (b == 0xF4 && second >= 0x90))
            return 0;  // overlong, or beyond U+10FFFF
        return 4;
    }
    return 0;
}

}  // namespace

std::string readable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    char escape[8];
    for (size_t i = 0; i < text.size();) {
        const size_t n = sequenceAt(text, i);
        if (n > 0) {
            out.append(text, i, n);
            i += n;
            continue;
        }
        const auto b = static_cast<uint8_t>(text[i]);
        if (b == 0xED && i + 2 < text.size() && static_cast<uint8_t>(text[i + 1]) >= 0xA0 &&
            static_cast<uint8_t>(text[i + 1]) <= 0xBF && continuation(static_cast<uint8_t>(text[i + 2]))) {
            const unsigned unit = 0xD000u | ((static_cast<uint8_t>(text[i + 1]) & 0x3Fu) << 6) |
                                  (static_cast<uint8_t>(text[i + 2]) & 0x3Fu);
            std::snprintf(escape, sizeof escape, "\\u%04X", unit);
            out += escape;
            i += 3;
            continue;
        }
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(b));
        out += escape;
        ++i;
    }
    return out;
}

}  // namespace qvhost
