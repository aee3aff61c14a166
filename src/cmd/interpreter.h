#pragma once

#include "cmd/batchline.h"
#include "cmd/walker.h"

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace moviecat::cmd {

// Runs a batch file line by line as the Windows command interpreter would, for the
// two commands a search batch holds: DIR (with /a /s /b) and DEL. REM and :labels
// are skipped; any other command is reported on the error stream and the next line
// runs.
class Interpreter {
public:
    struct Options {
        unsigned threads = 0; // folder readers; 0 for the default
        int outputFd = 1;
        int errorFd = 2;
        // A folder that has not answered by then is reported and left out.
        std::chrono::milliseconds folderDeadline = std::chrono::seconds(15);
        FolderReader *reader = nullptr;     // tests only: how folders are read
        const MountTable *mounts = nullptr; // tests only: the mount table
        // Where the index of each folder that DIR /s /ad walks to the end is written;
        // empty for none.
        std::string indexFolder;
    };

    Interpreter();
    explicit Interpreter(const Options &options);
    ~Interpreter();
    Interpreter(const Interpreter &) = delete;
    Interpreter &operator=(const Interpreter &) = delete;

    // Runs every line of the file. Returns 0, 1 when some output could not be written
    // (the batch is then not deleted: a half-written result must not look finished),
    // or 2 when the batch cannot be read.
    int runBatch(const std::string &batchPath);
    void runLine(std::string_view line);

    // Readers still stuck on folders given up: the process must end without them.
    bool readersStuck() const { return m_walker.stuckReaders() != 0; }

private:
    struct Streams;
    ParsedLine parsedLine(std::string_view rawLine) const;
    std::vector<std::string> rootsAhead(std::string_view batch) const;
    bool runCommand(const Command &command);
    bool redirect(const Command &command, Streams &streams);
    bool runDir(const Command &command, Streams &streams);
    WalkResult walkSpec(const std::string &spec, const WalkOptions &walk, WalkSink &sink);
    bool runDel(const Command &command, Streams &streams);
    bool deleteNamed(const std::string &name, Streams &streams);
    bool deleteMatching(const std::string &name, const std::string &folder,
                        const std::string &pattern, Streams &streams);
    bool deleteFile(const std::string &path, Streams &streams);
    bool isBatchFile(const std::string &path) const;
    bool wantsIndex(const WalkOptions &walk) const;
    void writeIndex(index::FolderIndex index);
    void finishIndexWrite();
    std::shared_ptr<const index::FolderIndex> previousIndex(const std::string &root) const;

    Options m_options;
    Walker m_walker;
    std::string m_batchPath;
    dev_t m_batchDevice = 0;
    ino_t m_batchInode = 0;
    bool m_haveBatch = false;
    bool m_outputFailed = false;
    bool m_indexFailed = false;
    // The index of the last root walked, being written while the next one is walked:
    // the error it met, if any.
    std::future<int> m_indexWrite;
};

} // namespace moviecat::cmd
