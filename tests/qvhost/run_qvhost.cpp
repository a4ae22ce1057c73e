#include "run_qvhost.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "validate/child_process.h"
#include "library.h"
#include "platform/program_path.h"
#include "plugins.h"
#include "scratch_folder.h"

#if defined(_WIN32)
#include <windows.h>

#include <mmsystem.h>
#else
#include <sndfile.h>
#include <unistd.h>
#endif

namespace qvtest {

namespace fs = std::filesystem;

namespace {

// The build's own paths are compiled in as Unix paths; a Windows program
// under Wine reaches the Unix root as drive Z:.
std::string buildPath(const std::string& unixPath) {
#if defined(_WIN32)
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
#else
    return unixPath;
#endif
}

#if defined(_WIN32)
std::wstring wide(const std::string& utf8) {
    const ovra::wstring text = ovra::host::fromUtf8(utf8);
    return std::wstring(text.begin(), text.end());
}
#endif

// A Windows console program ends its text lines with "\r\n".
std::string unixLines(std::string text) {
#if defined(_WIN32)
    size_t to = 0;
    for (size_t from = 0; from < text.size(); ++from)
        if (!(text[from] == '\r' && from + 1 < text.size() && text[from + 1] == '\n'))
            text[to++] = text[from];
    text.resize(to);
#endif
    return text;
}

// qvhost's own runs take seconds; this only keeps a stuck one from holding
// the suite (CTest's limit is longer).
constexpr double kRunLimitSeconds = 240.0;

}  // namespace

std::vector<std::string> Ran::errLines() const {
    std::vector<std::string> lines;
    std::istringstream in(err);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::string scratchDir() {
    static const std::string dir = [] {
        static const fs::path made = ovra::test::makeScratchFolder("qvhost-test-");
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(made, ec);
        });
        return qvhost::utf8Of(made);
    }();
    return dir;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

Ran runQvhost(const std::vector<std::string>& args) {
    const qvhost::ChildResult child = qvhost::runProgram(buildPath(QVHOST_PATH), args, kRunLimitSeconds);
    Ran r;
    r.out = unixLines(child.output);
    r.err = unixLines(child.errors);
    switch (child.end) {
    case qvhost::ChildResult::End::Exited: r.exitCode = child.code; break;
#if defined(_WIN32)
    case qvhost::ChildResult::End::Signalled: r.exitCode = child.code; break;
#else
    case qvhost::ChildResult::End::Signalled: r.exitCode = 128 + child.code; break;
#endif
    case qvhost::ChildResult::End::TimedOut: r.err += "\n(the test stopped qvhost after its time limit)"; break;
    case qvhost::ChildResult::End::FailedToStart: break;
    }
    return r;
}

#if !defined(_WIN32)
std::string onTerminal(const std::vector<std::string>& args) {
    // `script` runs the command through the shell: each argument in single quotes.
    std::string command = QVHOST_PATH;
    for (const auto& a : args) {
        command += " '";
        for (const char c : a)
            command += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += "'";
    }
    const std::string log = scratchDir() + "/terminal.txt";
    std::string quoted;
    for (const char c : command)
        quoted += c == '"' || c == '\\' || c == '$' || c == '`' ? std::string("\\") + c : std::string(1, c);
    const std::string run = "script -qec \"" + quoted + "\" /dev/null > " + log;
    if (std::system(run.c_str()) != 0)
        return "(script failed: " + run + ")";
    return readFile(log);
}
#endif

std::string plugin(const std::string& name) { return ovra::test::pluginPath(name); }
std::string fixture(const std::string& name) {
    return buildPath(std::string(QVHOST_FIXTURE_DIR) + "/" + name + ".qvm");
}
std::string example(const std::string& name) { return buildPath(std::string(QVHOST_EXAMPLES_DIR) + "/" + name); }

#if defined(_WIN32)
// Through the system's RIFF chunk functions, which qvhost.exe writes with.
Wav readWav(const std::string& path) {
    Wav w;
    std::wstring name = wide(path);
    MMIOINFO plain{};
    plain.fccIOProc = FOURCC_DOS;
    HMMIO file = mmioOpenW(name.data(), &plain, MMIO_READ | MMIO_ALLOCBUF);
    if (file == nullptr)
        return w;
    MMCKINFO riff{}, format{}, data{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    format.ckid = mmioFOURCC('f', 'm', 't', ' ');
    data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    unsigned char header[16] = {};
    const bool ok = mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) == MMSYSERR_NOERROR &&
                    mmioDescend(file, &format, &riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR && format.cksize >= 16 &&
                    mmioRead(file, reinterpret_cast<HPSTR>(header), 16) == 16 &&
                    mmioAscend(file, &format, 0) == MMSYSERR_NOERROR &&
                    mmioDescend(file, &data, &riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR;
    auto le = [&](int at, int bytes) {
        uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | header[at + i];
        return v;
    };
    if (ok && le(2, 2) > 0) {
        w.channels = static_cast<int>(le(2, 2));
        w.rate = static_cast<int>(le(4, 4));
        w.isFloat = le(0, 2) == 3 && le(14, 2) == 32;
        std::vector<float> all(data.cksize / sizeof(float));
        const LONG bytes = static_cast<LONG>(all.size() * sizeof(float));
        if (w.isFloat && mmioRead(file, reinterpret_cast<HPSTR>(all.data()), bytes) == bytes) {
            w.channel.resize(static_cast<size_t>(w.channels));
            for (size_t i = 0; i < all.size(); ++i)
                w.channel[i % static_cast<size_t>(w.channels)].push_back(all[i]);
        }
    }
    mmioClose(file, 0);
    return w;
}
#else
Wav readWav(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    Wav w;
    if (f == nullptr)
        return w;
    w.rate = info.samplerate;
    w.channels = info.channels;
    w.isFloat = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT;
    std::vector<float> all(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(f, all.data(), info.frames);
    sf_close(f);
    w.channel.resize(static_cast<size_t>(info.channels));
    for (sf_count_t i = 0; i < info.frames; ++i)
        for (int c = 0; c < info.channels; ++c)
            w.channel[static_cast<size_t>(c)].push_back(all[static_cast<size_t>(i * info.channels + c)]);
    return w;
}
#endif

}  // namespace qvtest
