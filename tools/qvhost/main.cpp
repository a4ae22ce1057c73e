// qvhost: loads .qvm libraries without the audio host.
#include <cstdio>
#include <string>

#include "library.h"

int main(int argc, char** argv) {
    if (argc < 3 || std::string(argv[1]) != "info") {
        std::fprintf(stderr, "usage: qvhost info LIB.qvm...\n");
        return 2;
    }
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        std::string error;
        auto lib = ovra::host::Library::open(argv[i], error);
        if (!lib) {
            std::fprintf(stderr, "qvhost: %s\n", error.c_str());
            status = 1;
            continue;
        }
        int32_t version = 0;
        const std::string text = lib->describeBuild(&version);
        std::printf("%s: %s, framework %d\n", argv[i], text.c_str(), version);
    }
    return status;
}
