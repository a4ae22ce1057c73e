// WAV through the system's multimedia file services (winmm's RIFF chunk
// functions): they keep the chunk sizes and padding, qvhost gives the
// contents.
#include <windows.h>

#include <mmsystem.h>

#include "failure.h"
#include "utf8.h"
#include "wav_writer.h"

namespace qvhost {

namespace {

constexpr WORD kFormatIeeeFloat = 3;

class RiffWriter {
public:
    RiffWriter(const std::string& path) : path_(path) {
        const ovra::wstring utf16 = ovra::host::fromUtf8(path);
        std::wstring name(utf16.begin(), utf16.end());
        // Naming the plain file procedure keeps a '+' in the name from
        // being read as a compound-file element.
        MMIOINFO plain{};
        plain.fccIOProc = FOURCC_DOS;
        file_ = mmioOpenW(name.data(), &plain, MMIO_CREATE | MMIO_WRITE | MMIO_ALLOCBUF);
        if (file_ == nullptr)
            throw Failure("cannot write " + path + ": cannot create the file");
    }
    ~RiffWriter() {
        if (file_ != nullptr)
            mmioClose(file_, 0);
    }
    RiffWriter(const RiffWriter&) = delete;
    RiffWriter& operator=(const RiffWriter&) = delete;

    void beginRiff() {
        riff_.fccType = mmioFOURCC('W', 'A', 'V', 'E');
        check(mmioCreateChunk(file_, &riff_, MMIO_CREATERIFF) == MMSYSERR_NOERROR);
    }
    void chunk(FOURCC id, const void* data, size_t size) {
        MMCKINFO info{};
        info.ckid = id;
        check(mmioCreateChunk(file_, &info, 0) == MMSYSERR_NOERROR);
        // mmioWrite takes a LONG: large data goes in pieces.
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            const LONG piece = static_cast<LONG>(size > (1u << 30) ? (1u << 30) : size);
            check(mmioWrite(file_, bytes, piece) == piece);
            bytes += piece;
            size -= static_cast<size_t>(piece);
        }
        check(mmioAscend(file_, &info, 0) == MMSYSERR_NOERROR);
    }
    void finish() {
        check(mmioAscend(file_, &riff_, 0) == MMSYSERR_NOERROR);
        const MMRESULT closed = mmioClose(file_, 0);
        file_ = nullptr;
        check(closed == MMSYSERR_NOERROR);
    }

private:
    void check(bool ok) const {
        if (!ok)
            throw Failure("cannot write " + path_ + ": the disk refused the samples");
    }

    std::string path_;
    HMMIO file_ = nullptr;
    MMCKINFO riff_{};
};

void putLe(unsigned char* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

void writeFloatWav(const std::string& path, const std::vector<float>& interleaved, int channels,
                   int32_t sampleRate) {
    const uint32_t frames = static_cast<uint32_t>(interleaved.size() / static_cast<size_t>(channels));
    const uint32_t frameBytes = 4u * static_cast<uint32_t>(channels);
    // The 16-byte format record, little-endian as the file holds it.
    unsigned char format[16];
    putLe(format + 0, kFormatIeeeFloat, 2);
    putLe(format + 2, static_cast<uint32_t>(channels), 2);
    putLe(format + 4, static_cast<uint32_t>(sampleRate), 4);
    putLe(format + 8, static_cast<uint32_t>(sampleRate) * frameBytes, 4);
    putLe(format + 12, frameBytes, 2);
    putLe(format + 14, 32, 2);
    unsigned char fact[4];
    putLe(fact, frames, 4);

    RiffWriter file(path);
    file.beginRiff();
    file.chunk(mmioFOURCC('f', 'm', 't', ' '), format, sizeof format);
    file.chunk(mmioFOURCC('f', 'a', 'c', 't'), fact, sizeof fact);
    const std::vector<unsigned char> padding(8 + 8 * static_cast<size_t>(channels), 0);
    file.chunk(mmioFOURCC('P', 'A', 'D', ' '), padding.data(), padding.size());
    file.chunk(mmioFOURCC('d', 'a', 't', 'a'), interleaved.data(), interleaved.size() * sizeof(float));
    file.finish();
}

}  // namespace qvhost
