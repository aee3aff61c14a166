// moviecat-cmd: runs a search batch (DIR and DEL lines) the way the Windows command
// interpreter would, so moviecat's search works the same on Linux.
#include "cmd/interpreter.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

int main(int argc, char **argv)
{
    moviecat::cmd::Interpreter::Options options;
    int i = 1;
    if (argc == 4 && std::string_view(argv[1]) == "--threads") {
        char *end = nullptr;
        const long threads = std::strtol(argv[2], &end, 10);
        if (*end != 0 || threads < 1 || threads > 256) {
            std::fprintf(stderr, "moviecat-cmd: --threads takes a number from 1 to 256\n");
            return 2;
        }
        options.threads = unsigned(threads);
        i = 3;
    }
    if (argc - i != 1) {
        std::fprintf(stderr, "usage: moviecat-cmd [--threads N] BATCHFILE\n");
        return 2;
    }
    moviecat::cmd::Interpreter interpreter(options);
    return interpreter.runBatch(argv[i]);
}
