#include "base/filesystems.h"

#include <linux/magic.h>

namespace moviecat {

namespace {

// Not every kernel header names these.
constexpr unsigned long cephMagic = 0x00C36400UL;
constexpr unsigned long vboxsfMagic = 0x564C0001UL; // a virtual machine's shared folders
constexpr unsigned long f2fsMagic = 0xF2F52010UL;
constexpr unsigned long zfsMagic = 0x2FC12FC1UL;
constexpr unsigned long xfsMagic = 0x58465342UL;
constexpr unsigned long exfatMagic = 0x2011BAB0UL;

} // namespace

bool isNetworkFileSystem(unsigned long type)
{
    switch (type) {
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
    case FUSE_SUPER_MAGIC:
    case V9FS_MAGIC:
    case CODA_SUPER_MAGIC:
    case AFS_SUPER_MAGIC:
    case cephMagic:
    case vboxsfMagic:
        return true;
    default:
        return false;
    }
}

// Btrfs always reports 1; network and FUSE file systems report what their server says.
bool countsSubfolderLinks(unsigned long type)
{
    switch (type) {
    case EXT4_SUPER_MAGIC: // ext2, ext3 and ext4 share it
    case xfsMagic:
    case TMPFS_MAGIC:
    case f2fsMagic:
    case zfsMagic:
        return true;
    default:
        return false;
    }
}

int timeGranularity(unsigned long type)
{
    if (type == MSDOS_SUPER_MAGIC || type == exfatMagic || isNetworkFileSystem(type))
        return 2;
    return 1;
}

} // namespace moviecat
