#pragma once

// Which mount a path lies on, read from /proc/self/mountinfo. Nothing here touches the
// file systems themselves: a stat or realpath on a share that stopped answering hangs,
// and knowing the mount is what lets a caller stop waiting on all of it at once.
//
// Paths are taken as written: "." and ".." and doubled slashes are resolved as text,
// links are not followed, so a path that leads through a link is placed by its text.

#include <string>
#include <string_view>
#include <vector>

namespace moviecat {

struct Mount {
    std::string point;  // where it is mounted, as a path without escapes
    std::string type;   // the file-system type: "ext4", "nfs4", "cifs", "fuse.sshfs"...
    std::string source; // what is mounted: "/dev/sda1", "//nas/films", "server:/export"...
    unsigned major = 0; // the device number its files report
    unsigned minor = 0;
};

class MountTable {
public:
    // The mount table in the form of /proc/<pid>/mountinfo; lines that are not in that
    // form are passed over.
    static MountTable parse(std::string_view mountinfo);
    // This process's mount table; empty when /proc cannot be read.
    static MountTable load();

    const std::vector<Mount> &mounts() const { return m_mounts; }
    // Index into mounts() of the mount that an absolute path lies on: the deepest mount
    // point that is the path or a folder above it, the last mounted where several share
    // one point. -1 for a relative path or an empty table.
    int mountOf(std::string_view path) const;
    // Whether some mount point lies below this folder.
    bool holdsMountPoints(std::string_view folder) const;

private:
    std::vector<Mount> m_mounts;
};

} // namespace moviecat
