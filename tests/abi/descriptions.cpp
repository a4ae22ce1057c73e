#include "descriptions.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace rawabi {

namespace {

// Just enough JSON for the descriptions: objects, arrays, strings (ASCII
// escapes), numbers, true, false and null.
struct Value {
    enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Value> items;
    std::map<std::string, Value> members;

    const Value& operator[](const std::string& key) const {
        static const Value none;
        auto found = members.find(key);
        return found == members.end() ? none : found->second;
    }
};

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    Value document() {
        Value v = value();
        skipSpace();
        if (pos_ != text_.size()) fail("text after the document");
        return v;
    }

private:
    [[noreturn]] void fail(const std::string& what) {
        throw std::runtime_error("module description: " + what + " at offset " + std::to_string(pos_));
    }
    void skipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\r' || text_[pos_] == '\t'))
            ++pos_;
    }
    bool take(char c) {
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expect(char c) {
        if (!take(c)) fail(std::string("expected '") + c + "'");
    }
    bool word(const char* w) {
        const std::string s(w);
        if (text_.compare(pos_, s.size(), s) != 0) return false;
        pos_ += s.size();
        return true;
    }

    std::string string() {
        expect('"');
        std::string out;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            char c = text_[pos_++];
            if (c == '\\') {
                if (pos_ >= text_.size()) fail("unfinished escape");
                const char e = text_[pos_++];
                switch (e) {
                case 'n': c = '\n'; break;
                case 't': c = '\t'; break;
                case 'r': c = '\r'; break;
                case 'b': c = '\b'; break;
                case 'f': c = '\f'; break;
                case 'u': {
                    if (pos_ + 4 > text_.size()) fail("short \\u escape");
                    const long code = std::strtol(text_.substr(pos_, 4).c_str(), nullptr, 16);
                    pos_ += 4;
                    if (code > 0x7F) fail("non-ASCII \\u escape");
                    c = static_cast<char>(code);
                    break;
                }
                default: c = e;
                }
            }
            out += c;
        }
        expect('"');
        return out;
    }

    Value value() {
        skipSpace();
        if (pos_ >= text_.size()) fail("unexpected end");
        Value v;
        const char c = text_[pos_];
        if (c == '{') {
            ++pos_;
            v.kind = Value::kObject;
            if (take('}')) return v;
            do {
                skipSpace();
                std::string key = string();
                expect(':');
                v.members[key] = value();
            } while (take(','));
            expect('}');
        } else if (c == '[') {
            ++pos_;
            v.kind = Value::kArray;
            if (take(']')) return v;
            do v.items.push_back(value());
            while (take(','));
            expect(']');
        } else if (c == '"') {
            v.kind = Value::kString;
            v.text = string();
        } else if (word("true")) {
            v.kind = Value::kBool;
            v.boolean = true;
        } else if (word("false")) {
            v.kind = Value::kBool;
        } else if (word("null")) {
            v.kind = Value::kNull;
        } else {
            const char* start = text_.c_str() + pos_;
            char* end = nullptr;
            v.number = std::strtod(start, &end);
            if (end == start) fail("unexpected character");
            pos_ += static_cast<size_t>(end - start);
            v.kind = Value::kNumber;
        }
        return v;
    }

    const std::string& text_;
    size_t pos_ = 0;
};

}  // namespace

std::vector<ModuleDescription> readDescriptions(const std::string& dir, const std::string& library) {
    const std::string path = dir + "/" + library + ".qvm.json";
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    const Value root = Parser(text).document();

    std::vector<ModuleDescription> modules;
    for (const Value& m : root["modules"].items) {
        ModuleDescription module;
        module.name = m["id"].text;
        module.id.assign(module.name.begin(), module.name.end());  // identifiers are ASCII
        for (const Value& h : m["halves"].items) {
            HalfDescription half;
            half.subType = static_cast<int>(h["subType"].number);
            half.kind = h["kind"].text;
            half.draws = h["draws"].boolean;
            half.growing = h["growing"].kind == Value::kObject;
            for (const Value& p : h["pins"].items)
                half.pins.push_back({static_cast<int>(p["index"].number), p["type"].text, p["direction"].text});
            module.halves.push_back(std::move(half));
        }
        modules.push_back(std::move(module));
    }
    if (modules.empty()) throw std::runtime_error(path + " describes no module");
    return modules;
}

}  // namespace rawabi
