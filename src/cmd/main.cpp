// moviecat-cmd: runs a search batch (DIR and DEL lines) the way the Windows command
// interpreter would, so moviecat's search works the same on Linux.
#include "cmd/interpreter.h"
#include "index/indexcache.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// MOVIECAT_FOLDER_DEADLINE_MS: how long a folder may take to answer before it is left
// out (15 s when unset); tests shorten it.
std::chrono::milliseconds folderDeadline()
{
    const char *text = std::getenv("MOVIECAT_FOLDER_DEADLINE_MS");
    char *end = nullptr;
    const long ms = text ? std::strtol(text, &end, 10) : 0;
    if (!text || *end != 0 || ms < 1)
        return std::chrono::seconds(15);
    return std::chrono::milliseconds(ms);
}

// Background indexing must not slow down anything the user does: the lowest CPU
// priority and the idle I/O class, which gets the disk only when nobody else wants it.
void becomeIdle()
{
    (void)::setpriority(PRIO_PROCESS, 0, 19);
    constexpr int ioprioWhoProcess = 1;
    constexpr int ioprioClassIdle = 3;
    constexpr int ioprioClassShift = 13;
    (void)::syscall(SYS_ioprio_set, ioprioWhoProcess, 0, ioprioClassIdle << ioprioClassShift);
}

} // namespace

int main(int argc, char **argv)
{
    moviecat::cmd::Interpreter::Options options;
    options.folderDeadline = folderDeadline();
    options.indexFolder = moviecat::index::cacheFolder();
    int i = 1;
    if (argc > 2 && std::string_view(argv[1]) == "--idle") {
        becomeIdle();
        ++i;
    }
    if (argc - i == 3 && std::string_view(argv[i]) == "--threads") {
        char *end = nullptr;
        const long threads = std::strtol(argv[i + 1], &end, 10);
        if (*end != 0 || threads < 1 || threads > 256) {
            std::fprintf(stderr, "moviecat-cmd: --threads takes a number from 1 to 256\n");
            return 2;
        }
        options.threads = unsigned(threads);
        i += 2;
    }
    if (argc - i != 1) {
        std::fprintf(stderr, "usage: moviecat-cmd [--idle] [--threads N] BATCHFILE\n");
        return 2;
    }
    auto *interpreter = new moviecat::cmd::Interpreter(options);
    const int status = interpreter->runBatch(argv[i]);
    // A reader stuck on a dead share cannot be interrupted, not even killed: leave it
    // behind. Everything has been written with write(2) already.
    if (interpreter->readersStuck())
        ::_exit(status);
    delete interpreter;
    return status;
}
