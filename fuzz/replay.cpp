// Runs a fuzz target over the files it is given, without libFuzzer: every
// ordinary build replays the seeds and the inputs that once broke a target,
// with the target's own checks.
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

static int replay_file(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) return 0;
    std::string bytes;
    for (int c; (c = getc(f)) != EOF;) bytes += char(c);
    fclose(f);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return 1;
}

// Each argument is a folder of inputs. Fails when no input was found.
int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    for (int k = 1; k < argc; k++) {
        DIR* dir = opendir(argv[k]);
        for (dirent* e; dir != nullptr && (e = readdir(dir)) != nullptr;) {
            if (e->d_name[0] != '.')
                replayed += replay_file(std::string(argv[k]) + "/" + e->d_name);
        }
        if (dir != nullptr) closedir(dir);
    }
    printf("replayed %d inputs\n", replayed);
    return replayed > 0 ? 0 : 1;
}
