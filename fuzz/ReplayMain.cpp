// Stands in for libFuzzer in the test build: feeds every file of the folders
// (or the files) named on the command line to the target it is linked
// with, in name order, as `fuzzer -runs=0` replays a corpus. A failing
// input ends the program, and the name printed last says which one it was.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "TestText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i])) {
            for (const fs::directory_entry& entry : fs::directory_iterator(argv[i])) {
                if (entry.is_regular_file()) {
                    inputs.push_back(entry.path());
                }
            }
        } else if (fs::is_regular_file(argv[i])) {
            inputs.push_back(argv[i]);
        } else {
            std::fprintf(stderr, "%s: no such input\n", argv[i]);
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& path : inputs) {
        std::printf("%s\n", path.string().c_str());
        std::fflush(stdout);
        std::vector<unsigned char> bytes = kvortest::ReadBytes(path.string());
        bytes.reserve(1); // a target never sees a null pointer, even for an empty input
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return inputs.empty() ? 2 : 0; // an empty folder replays nothing and must not pass
}
