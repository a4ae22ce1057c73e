#include "platform/gdiplus_runtime.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

namespace ovra::platform {

namespace {

int32_t users = 0;

gdip::StartupInput startupInput() { return gdip::StartupInput{1, nullptr, 0, 0}; }

#if !defined(_WIN32)
bool libgdiplusStarted = false;

// A library that started libgdiplus may be unloaded while libgdiplus, never
// shut down, still holds fonts and caches; keep its code loaded for the rest
// of the process.
void keepLibgdiplusLoaded() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&GdiplusStartup), &info) == 0 || info.dli_fname == nullptr)
        return;
    dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

// What this library hands its users instead of a libgdiplus token.
constexpr gdip::Token kSharedToken = 1;
#endif

}  // namespace

#if defined(_WIN32)

gdip::Status gdiplusStartup(gdip::Token* token) {
    if (token == nullptr)
        return 2;  // InvalidParameter
    *token = 0;
    const gdip::StartupInput input = startupInput();
    const gdip::Status status = GdiplusStartup(token, &input, nullptr);
    if (status != gdip::Ok)
        *token = 0;
    else
        ++users;
    return status;
}

void gdiplusShutdown(gdip::Token token) {
    if (token == 0)
        return;
    GdiplusShutdown(token);
    --users;
}

#else

gdip::Status gdiplusStartup(gdip::Token* token) {
    if (token == nullptr)
        return 2;  // InvalidParameter
    *token = 0;
    if (!libgdiplusStarted) {
        gdip::Token realToken = 0;
        const gdip::StartupInput input = startupInput();
        const gdip::Status status = GdiplusStartup(&realToken, &input, nullptr);
        if (status != gdip::Ok)
            return status;
        libgdiplusStarted = true;
        keepLibgdiplusLoaded();
    }
    ++users;
    *token = kSharedToken;
    return gdip::Ok;
}

void gdiplusShutdown(gdip::Token token) {
    if (token == 0 || users == 0)
        return;
    --users;  // libgdiplus itself stays started
}

#endif

int32_t gdiplusUsers() { return users; }

}  // namespace ovra::platform
