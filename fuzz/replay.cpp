// Runs a fuzz target over the files it is given, without libFuzzer: every
// ordinary build replays the seeds and the inputs that once broke a target,
// with the target's own checks.
#include <stdint.h>
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

// Each argument is a folder of inputs; one that does not exist has none.
// Fails when no input was found.
int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    std::error_code missing;
    for (int k = 1; k < argc; k++) {
        for (const auto& input : std::filesystem::directory_iterator(argv[k], missing)) {
            std::ifstream file(input.path(), std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(file), {}};
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            replayed++;
        }
    }
    printf("replayed %d inputs\n", replayed);
    return replayed > 0 ? 0 : 1;
}
