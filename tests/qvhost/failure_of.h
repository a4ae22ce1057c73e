// The message of the qvhost::Failure a call throws, or "" when it throws none.
#pragma once

#include <functional>
#include <string>

#include "failure.h"

inline std::string failureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const qvhost::Failure& e) {
        return e.what();
    }
    return "";
}
