// Runs a fuzz target over the files it is given, without libFuzzer: every
// ordinary build replays the seeds and the inputs that once broke a target,
// with the target's own checks. Each argument is a folder of inputs; fails
// when there is none.
#include <stdint.h>
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    for (int k = 1; k < argc; k++) {
        for (const auto& input : std::filesystem::directory_iterator(argv[k])) {
            std::ifstream file(input.path(), std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(file), {}};
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            replayed++;
        }
    }
    printf("replayed %d inputs\n", replayed);
    return replayed > 0 ? 0 : 1;
}
