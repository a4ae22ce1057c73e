#include "json_source.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "failure.h"
#include "platform/program_path.h"

namespace qvhost {

namespace {

// Records the offset of every value of a text nlohmann-json has accepted.
class OffsetScanner {
public:
    OffsetScanner(const std::string& text, std::map<std::string, size_t>& out) : t_(text), out_(out) {}

    void value(const JsonPath& path) {
        space();
        out_[path.to_string()] = i_;
        if (i_ >= t_.size())
            return;
        if (t_[i_] == '{') {
            ++i_;
            for (space(); i_ < t_.size() && t_[i_] != '}'; space()) {
                const std::string key = string();
                space();
                ++i_;  // ':'
                value(path / key);
                space();
                if (i_ < t_.size() && t_[i_] == ',')
                    ++i_;
            }
            ++i_;
        } else if (t_[i_] == '[') {
            ++i_;
            size_t index = 0;
            for (space(); i_ < t_.size() && t_[i_] != ']'; space()) {
                value(path / index++);
                space();
                if (i_ < t_.size() && t_[i_] == ',')
                    ++i_;
            }
            ++i_;
        } else if (t_[i_] == '"') {
            string();
        } else {
            while (i_ < t_.size() && std::string(",]} \t\r\n").find(t_[i_]) == std::string::npos)
                ++i_;
        }
    }

private:
    void space() {
        while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\t' || t_[i_] == '\r' || t_[i_] == '\n'))
            ++i_;
    }
    // A string literal, decoded by the parser that accepted it.
    std::string string() {
        const size_t start = i_++;
        while (i_ < t_.size() && t_[i_] != '"')
            i_ += t_[i_] == '\\' ? 2 : 1;
        ++i_;
        return Json::parse(t_.substr(start, i_ - start)).get<std::string>();
    }

    const std::string& t_;
    std::map<std::string, size_t>& out_;
    size_t i_ = 0;
};

}  // namespace

std::pair<size_t, size_t> lineAndColumn(const std::string& text, size_t offset) {
    size_t line = 1, column = 1;
    for (size_t i = 0; i < std::min(offset, text.size()); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return {line, column};
}

std::string JsonSource::pathText(const JsonPath& path) const {
    std::vector<std::string> tokens;
    for (JsonPath p = path; !p.empty(); p = p.parent_pointer())
        tokens.push_back(p.back());
    std::reverse(tokens.begin(), tokens.end());
    std::string out;
    const Json* node = &doc_;
    for (const auto& token : tokens) {
        const bool index = node != nullptr && node->is_array();
        out += index ? "[" + token + "]" : (out.empty() ? "" : ".") + token;
        if (node == nullptr)
            continue;
        if (index) {
            const size_t i = std::stoul(token);
            node = i < node->size() ? &(*node)[i] : nullptr;
        } else {
            node = node->is_object() && node->contains(token) ? &(*node)[token] : nullptr;
        }
    }
    return out.empty() ? "top level" : out;
}

JsonSource::JsonSource(std::string name, std::string text) : name_(std::move(name)), text_(std::move(text)) {
    try {
        doc_ = Json::parse(text_);
    } catch (const Json::parse_error& e) {
        const auto [line, column] = lineAndColumn(text_, e.byte == 0 ? 0 : e.byte - 1);
        std::string what = e.what();
        const auto colon = what.find(": ", what.find("parse error"));
        if (colon != std::string::npos)
            what = what.substr(colon + 2);
        throw Failure(name_ + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + what);
    } catch (const Json::out_of_range& e) {
        // A number beyond a double ("1e999"): the message quotes the number,
        // and its first appearance in the text is where it stands.
        std::string what = e.what();
        const auto bracket = what.find("] ");
        if (bracket != std::string::npos)
            what = what.substr(bracket + 2);
        const auto open = what.find('\'');
        const auto close = what.rfind('\'');
        const auto at = open < close ? text_.find(what.substr(open + 1, close - open - 1)) : std::string::npos;
        if (at == std::string::npos)
            throw Failure(name_ + ": " + what);
        const auto [line, column] = lineAndColumn(text_, at);
        throw Failure(name_ + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + what);
    }
    OffsetScanner(text_, offsets_).value(JsonPath());
}

JsonSource JsonSource::fromFile(const std::string& path) {
    std::ifstream in(pathOf(path), std::ios::binary);
    if (!in)
        throw Failure("cannot read " + path + ": no such file");
    std::stringstream buffer;
    buffer << in.rdbuf();
    return JsonSource(path, buffer.str());
}

size_t JsonSource::offsetOf(const JsonPath& path) const {
    JsonPath p = path;
    auto it = offsets_.find(p.to_string());
    while (it == offsets_.end() && !p.empty()) {
        p = p.parent_pointer();
        it = offsets_.find(p.to_string());
    }
    return it == offsets_.end() ? 0 : it->second;
}

std::string JsonSource::where(const JsonPath& path) const {
    const auto [line, column] = lineAndColumn(text_, offsetOf(path));
    return name_ + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + pathText(path);
}

void JsonSource::fail(const JsonPath& path, const std::string& what) const { throw Failure(where(path) + ": " + what); }

}  // namespace qvhost
