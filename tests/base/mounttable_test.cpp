// Which mount a path lies on, from mount tables in the kernel's mountinfo form.
#include "base/mounttable.h"

#include <gtest/gtest.h>
#include <string>

using moviecat::MountTable;

namespace {

// A desktop with a NAS's shares, a USB disk whose label holds a blank, a FUSE mount
// nested inside a share, and a second file system mounted over the first at one point.
constexpr const char *desktop =
    "26 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
    "21 26 0:20 / /proc rw,relatime shared:12 - proc proc rw\n"
    "60 26 0:50 / /mnt/nas rw,relatime - cifs //nas/films rw,vers=3.0\n"
    "61 26 0:51 / /mnt/nas2 rw,relatime - nfs4 nas2:/export rw\n"
    "62 60 0:52 / /mnt/nas/old\\040films rw - fuse.sshfs me@host:/old rw\n"
    "63 26 8:17 / /media/me/My\\040Disk\\134x rw,nosuid shared:40 master:3 - vfat /dev/sdb1 rw\n"
    "64 26 0:53 / /srv/stack rw - tmpfs first rw\n"
    "65 64 0:54 / /srv/stack rw - tmpfs second rw\n";

std::string pointOf(const MountTable &table, const char *path)
{
    const int i = table.mountOf(path);
    return i < 0 ? std::string("(none)") : table.mounts()[size_t(i)].point;
}

TEST(MountTable, ReadsEveryFieldAndUndoesTheEscapes)
{
    const MountTable table = MountTable::parse(desktop);
    ASSERT_EQ(table.mounts().size(), 8u);
    const moviecat::Mount &nas = table.mounts()[2];
    EXPECT_EQ(nas.point, "/mnt/nas");
    EXPECT_EQ(nas.type, "cifs");
    EXPECT_EQ(nas.source, "//nas/films");
    EXPECT_EQ(nas.major, 0u);
    EXPECT_EQ(nas.minor, 50u);
    EXPECT_EQ(table.mounts()[3].type, "nfs4");
    EXPECT_EQ(table.mounts()[4].point, "/mnt/nas/old films");
    EXPECT_EQ(table.mounts()[4].type, "fuse.sshfs");
    // Optional fields (shared:, master:) before the separator do not shift the rest.
    EXPECT_EQ(table.mounts()[5].point, "/media/me/My Disk\\x");
    EXPECT_EQ(table.mounts()[5].type, "vfat");
    EXPECT_EQ(table.mounts()[5].major, 8u);
}

TEST(MountTable, APathLiesOnTheDeepestMountAboveIt)
{
    const MountTable table = MountTable::parse(desktop);
    struct Case {
        const char *path;
        const char *mount;
    };
    for (const Case &c : {
             Case{"/mnt/nas/动作片", "/mnt/nas"},
             Case{"/mnt/nas", "/mnt/nas"}, // a root that is itself a mount point
             Case{"/mnt/nas/", "/mnt/nas"},
             Case{"/mnt/nas2/films", "/mnt/nas2"}, // not below /mnt/nas: the name goes on
             Case{"/mnt/nasty", "/"},
             Case{"/mnt", "/"},
             Case{"/mnt/nas/old films/a/b", "/mnt/nas/old films"}, // nested in the share
             Case{"/mnt/nas/old films2", "/mnt/nas"},
             Case{"/media/me/My Disk\\x/films", "/media/me/My Disk\\x"},
             Case{"//mnt///nas/./films", "/mnt/nas"},
             Case{"/mnt/nas/old films/../../nas2/x", "/mnt/nas2"},
             Case{"/../mnt/nas", "/mnt/nas"},
             Case{"/srv/stack/a", "/srv/stack"},
         }) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(pointOf(table, c.path), c.mount);
    }
    // The file system mounted last over a point hides the one below it.
    EXPECT_EQ(table.mounts()[size_t(table.mountOf("/srv/stack/a"))].source, "second");
    EXPECT_EQ(pointOf(table, "films/x"), "(none)");
    EXPECT_EQ(pointOf(table, ""), "(none)");
    EXPECT_EQ(pointOf(MountTable(), "/mnt/nas"), "(none)");
}

TEST(MountTable, TellsWhichFoldersHoldMountPoints)
{
    const MountTable table = MountTable::parse(desktop);
    for (const char *folder : {"/", "/mnt", "/mnt/", "/mnt/nas", "/media/me", "/srv"})
        EXPECT_TRUE(table.holdsMountPoints(folder)) << folder;
    for (const char *folder :
         {"/mnt/nas2", "/mnt/nas/old films", "/mnt/na", "/srv/stack", "/home", "relative"})
        EXPECT_FALSE(table.holdsMountPoints(folder)) << folder;
}

TEST(MountTable, PassesOverLinesNotInTheKernelsForm)
{
    const MountTable table = MountTable::parse("garbage\n"
                                               "1 2 0:1 / relative rw - ext4 x rw\n"
                                               "1 2 x:y / /bad rw - ext4 x rw\n"
                                               "1 2 0:1 / /no-separator rw ext4 x rw\n"
                                               "1 2 0:1 / /short rw -\n"
                                               "\n"
                                               "70 1 0:60 / /good rw - nfs s:/e rw");
    ASSERT_EQ(table.mounts().size(), 1u);
    EXPECT_EQ(table.mounts()[0].point, "/good");
    EXPECT_EQ(table.mounts()[0].minor, 60u);
}

TEST(MountTable, ThisProcessHasARootMount)
{
    const MountTable table = MountTable::load();
    const int root = table.mountOf("/");
    ASSERT_GE(root, 0);
    EXPECT_EQ(table.mounts()[size_t(root)].point, "/");
    EXPECT_GE(table.mountOf("/proc/self"), 0);
}

} // namespace
