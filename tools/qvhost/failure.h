// What qvhost reports to its user: one line, then a non-zero exit.
#pragma once

#include <stdexcept>
#include <string>

namespace qvhost {

// A problem with the user's input or files (not a bug in qvhost): main prints
// "qvhost: <what>" on stderr and exits with kExitFailure.
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int kExitFailure = 1;  // bad input, missing file, failed checks
inline constexpr int kExitUsage = 2;    // the command line itself is wrong

}  // namespace qvhost
