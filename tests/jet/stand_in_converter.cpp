// Stands in for `quarrow-catalogue convert` where a suite needs a converter
// that misbehaves; QUARROW_STAND_IN says how:
//   crash     ends abnormally at once, as a fault in the reader would end it
//   partial   writes part of the output file, then ends abnormally
//   silent    writes nothing and never ends
//   slow      writes part of the output and reports progress for a minute
// It takes the converter's arguments; the last two name the Jet file and the
// file to write.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

int main(int argc, char** argv) {
    const char* how = std::getenv("QUARROW_STAND_IN");
    if (how == nullptr || argc < 3) return 64;
    const char* output = argv[argc - 1];
    const auto writePart = [output] {
        if (std::FILE* file = std::fopen(output, "wb")) {
            std::fputs("SQLite format 3", file);
            std::fclose(file);
        }
    };
    if (std::strcmp(how, "crash") == 0) std::abort();
    if (std::strcmp(how, "partial") == 0) {
        writePart();
        std::abort();
    }
    if (std::strcmp(how, "silent") == 0) {
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    if (std::strcmp(how, "slow") == 0) {
        writePart();
        for (int rows = 0; rows < 1200; ++rows) {
            std::printf("rows %d 1200\n", rows);
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return 0;
    }
    return 64;
}
