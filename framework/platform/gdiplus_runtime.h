// Starting and stopping GDI+ for one user (a drawn module, a host's paint
// surface). [GUI thread]
//
// On Windows this is GdiplusStartup and GdiplusShutdown, which count their
// users themselves. libgdiplus counts nothing: one shutdown ends GDI+ for the
// whole process, every meter, library and host in it. So elsewhere the first
// start-up of a library's users starts libgdiplus and the library keeps the
// count; libgdiplus is never shut down and stays loaded until the process
// ends.
#pragma once

#include "platform/gdiplus_flat.h"

namespace ovra::platform {

// Starts GDI+ for one user: version 1, no debug callback, background thread
// and external codecs not suppressed. Answers GDI+'s status; *token is 0
// when the start failed.
gdip::Status gdiplusStartup(gdip::Token* token);
// Ends one user's start-up; a token of 0 is ignored.
void gdiplusShutdown(gdip::Token token);
// Start-ups of this library not yet shut down.
int32_t gdiplusUsers();

// One user's start-up: start() once, stop() once; both may be repeated.
class GdiplusSession {
public:
    GdiplusSession() = default;
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    ~GdiplusSession() { stop(); }

    gdip::Status start() {
        if (token_ != 0)
            return gdip::Ok;
        return gdiplusStartup(&token_);
    }
    void stop() {
        if (token_ == 0)
            return;
        gdiplusShutdown(token_);
        token_ = 0;
    }
    bool started() const { return token_ != 0; }

private:
    gdip::Token token_ = 0;
};

}  // namespace ovra::platform
