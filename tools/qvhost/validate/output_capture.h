// What a validating child's modules write on standard output and error: both
// go to a file of their own, so that nothing a module prints can pass for
// the child's report, and each check can show what was written during it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/program_path.h"

namespace qvhost {

class OutputCapture {
public:
    // Sends standard output and error to `path` (created afresh). Answers
    // false, and changes nothing, when the file cannot be made.
    bool start(const std::string& path);
    // Where the next byte written will go (both streams flushed first).
    uint64_t position();
    // What was written from `from` on: at most `keep` bytes of it; *total is
    // how many there were.
    std::string since(uint64_t from, size_t keep, uint64_t* total);

private:
    std::string path_;
    bool started_ = false;
};

}  // namespace qvhost
