// Loads one file with one engine in a fresh process and prints its element count;
// bench/run.sh times whole runs of it for the cold-process figures.
#include <cstdio>
#include <string>

#include "bench_engines.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--list") {
        for (const std::string& name : quillon::bench::EngineNames())
            std::printf("%s\n", name.c_str());
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: xml_cold ENGINE FILE | --list\n");
        return 2;
    }
    auto engine = quillon::bench::MakeEngine(argv[1]);
    if (!engine) {
        std::fprintf(stderr, "unknown engine %s\n", argv[1]);
        return 2;
    }
    if (!engine->Load(argv[2])) {
        std::fprintf(stderr, "%s could not load %s\n", argv[1], argv[2]);
        return 1;
    }
    std::printf("%zu\n", engine->CountElements());
    return 0;
}
