#pragma once

// Reading one folder (see the map in walker.h): open it, read its whole listing, learn
// its file system, make its entries, and hand back its sub-folders to queue; or, where
// the earlier index proves it unchanged, take its sub-folders from there (confirming.cpp).
// Runs on the pool's readers, many at once; touches only the folder, its parent's kept
// descriptor and the state of the folder's own walk.
#include "cmd/walknode.h"

#include <atomic>
#include <cstddef>
#include <vector>

namespace moviecat::cmd {

class FolderReading {
public:
    FolderReading(FolderReader &reader, const MountWatch &mounts);

    // Reads the folder; its sub-folders to queue go to children. True when the calls
    // waited for a disk or the network.
    bool read(WalkNode &node, std::vector<WalkNode *> &children, WalkState &walk);
    // A sub-folder was opened, or will never be: the last one closes its parent's
    // descriptor.
    void childOpened(WalkNode &parent);
    // Drops what a folder that answered after it was given up holds.
    void drop(WalkNode &node);

private:
    enum class Earlier { Taken, ListInstead, TooLate };
    bool confirm(WalkNode &node, std::vector<WalkNode *> &children, const WalkState &walk,
                 bool &blocked);
    Earlier takeEarlier(WalkNode &node, std::vector<WalkNode *> &children, const WalkState &walk,
                        bool relative, const char *name, bool &blocked);
    bool addEarlierEntries(WalkNode &node, const WalkState &walk, bool relative, const char *name,
                           int &fd, bool &blocked);
    int openFolder(WalkNode &node);
    bool readListing(WalkNode &node, int fd, std::vector<char> &listing, size_t &used);
    void learnFileSystem(WalkNode &node, int fd, WalkState &walk);
    void learnRoot(WalkNode &node, int fd, WalkState &walk);
    void collectEntries(WalkNode &node, int fd, const std::vector<char> &listing, size_t used,
                        const WalkState &walk);
    void addChildren(WalkNode &node, int fd, std::vector<WalkNode *> &children,
                     const WalkState &walk);
    void keepOpen(WalkNode &node, int fd, size_t children);

    FolderReader &m_reader;
    const MountWatch &m_mounts; // only locateChild(), which reads the table
    std::atomic<size_t> m_keptOpen = 0;
    size_t m_keepOpenBudget = 0;
};

} // namespace moviecat::cmd
