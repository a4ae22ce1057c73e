#include "output_capture.h"

#include <cstdio>
#include <fstream>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "utf8.h"

namespace qvhost {

bool OutputCapture::start(const std::string& path) {
    std::fflush(stdout);
    std::fflush(stderr);
#if defined(_WIN32)
    const ovra::wstring wide = ovra::host::fromUtf8(path);
    const int fd = _wopen(reinterpret_cast<const wchar_t*>(wide.c_str()), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY,
                          _S_IREAD | _S_IWRITE);
    if (fd < 0 || _dup2(fd, 1) != 0 || _dup2(fd, 2) != 0)
        return false;
    _close(fd);
    // Modules that write through the Windows handles land in the same file.
    SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(1)));
    SetStdHandle(STD_ERROR_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(2)));
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0)
        return false;
    ::close(fd);
#endif
    // A buffer of our own: the C library would otherwise allocate one at a
    // module's first printf, inside the entry point being watched.
    static char buffer[BUFSIZ];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    path_ = path;
    started_ = true;
    return true;
}

uint64_t OutputCapture::position() {
    std::fflush(stdout);
    std::fflush(stderr);
    if (!started_)
        return 0;
#if defined(_WIN32)
    const long long at = _lseeki64(1, 0, SEEK_CUR);
#else
    const off_t at = lseek(1, 0, SEEK_CUR);
#endif
    return at < 0 ? 0 : static_cast<uint64_t>(at);
}

std::string OutputCapture::since(uint64_t from, size_t keep, uint64_t* total) {
    const uint64_t to = position();
    *total = to > from ? to - from : 0;
    if (*total == 0)
        return {};
    std::ifstream in(pathOf(path_), std::ios::binary);
    std::string out(static_cast<size_t>(*total < keep ? *total : keep), '\0');
    in.seekg(static_cast<std::streamoff>(from));
    in.read(out.data(), static_cast<std::streamsize>(out.size()));
    out.resize(static_cast<size_t>(in.gcount()));
    return out;
}

}  // namespace qvhost
