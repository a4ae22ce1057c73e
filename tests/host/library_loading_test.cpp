// Loading libraries: files for the other platform are named as such, and a
// library loads from a folder whose name is not ASCII.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "library.h"
#include "plugins.h"
#include "program_path.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using ovra::host::BinaryKind;
using ovra::host::Library;
using qvhost::pathOf;
using qvhost::utf8Of;

class LibraryLoading : public ovra::test::ScratchFolder {
protected:
    LibraryLoading() : ScratchFolder("ovra-loading-") {}
    std::string write(const std::string& name, const std::string& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return utf8Of(p);
    }
};

// The first bytes of a 64-bit PE image: "MZ", the PE offset at 0x3C, and
// "PE\0\0" there.
std::string peImage(uint32_t peOffset = 0x80) {
    std::string bytes(0x200, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (int i = 0; i < 4; ++i)
        bytes[0x3C + i] = static_cast<char>(peOffset >> (8 * i));
    if (peOffset + 4 <= bytes.size())
        bytes.replace(peOffset, 4, std::string("PE\0\0", 4));
    return bytes;
}

std::string elfImage() {
    std::string bytes(0x100, '\0');
    bytes.replace(0, 5, "\x7f" "ELF\x02");
    return bytes;
}

struct KindCase {
    const char* name;
    std::string bytes;
    BinaryKind kind;
};

TEST_F(LibraryLoading, TellsWhatAFileHolds) {
    std::string dosOnly = peImage(0x80);
    dosOnly[0x80] = 'N';  // "MZ" without a PE signature: an old DOS program
    const KindCase cases[] = {
        {"pe.qvm", peImage(), BinaryKind::WindowsPe},
        {"elf.qvm", elfImage(), BinaryKind::Elf},
        {"dos.qvm", dosOnly, BinaryKind::Other},
        {"pe-offset-outside.qvm", peImage(0x7FFFFFF0), BinaryKind::Other},
        {"short-mz.qvm", "MZ", BinaryKind::Other},
        {"text.qvm", "{\"modules\": []}", BinaryKind::Other},
        {"empty.qvm", "", BinaryKind::Other},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ovra::host::binaryKind(write(c.name, c.bytes)), c.kind) << c.name;
    EXPECT_EQ(ovra::host::binaryKind(utf8Of(dir_ / "missing.qvm")), BinaryKind::Unreadable);
}

TEST_F(LibraryLoading, LibraryForTheOtherPlatformIsNamedInOneLine) {
#if defined(_WIN32)
    const std::string path = write("mygain.qvm", elfImage());
    const std::string expected = path + " is a Linux library: validate it with qvhost on Linux, or build the Windows twin";
#else
    const std::string path = write("mygain.qvm", peImage());
    const std::string expected = path + " is a Windows library: the Linux qvhost runs it with qvhost.exe under Wine, or build the native twin";
#endif
    std::string error;
    EXPECT_EQ(Library::open(path, error), nullptr);
    EXPECT_EQ(error, expected);
}

TEST_F(LibraryLoading, MissingFileSaysSo) {
    const std::string path = utf8Of(dir_ / "missing.qvm");
    std::string error;
    EXPECT_EQ(Library::open(path, error), nullptr);
    EXPECT_EQ(error, "cannot load " + path + ": no such file");
}

TEST_F(LibraryLoading, LoadsFromAFolderWithNonAsciiLetters) {
    const fs::path folder = dir_ / pathOf("Mod\xc3\xbcle \xce\xb1\xce\xb2 \xe2\x82\xac");
    fs::create_directories(folder);
    fs::copy_file(pathOf(ovra::test::pluginPath("adsr")), folder / "adsr.qvm");
    std::string error;
    const auto lib = Library::open(utf8Of(folder / "adsr.qvm"), error);
    ASSERT_NE(lib, nullptr) << error;
    int32_t version = 0;
    lib->describeBuild(&version);
    EXPECT_EQ(version, 30800);
}

}  // namespace
