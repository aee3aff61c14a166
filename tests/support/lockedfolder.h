#pragma once

#include <QByteArray>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat::test {

// A folder nobody may change, root included (root ignores the mode bits, so the
// file system's immutable flag is set as well, where it has one).
class LockedFolder {
public:
    explicit LockedFolder(const QByteArray &path) : m_path(path)
    {
        ::chmod(path.constData(), 0555);
        m_fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_immutable = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~LockedFolder()
    {
        int flags = 0;
        if (m_immutable && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
        }
        if (m_fd >= 0)
            ::close(m_fd);
        ::chmod(m_path.constData(), 0755);
    }
    // Whether writing into it is refused for this process.
    bool holds() const { return m_immutable || ::geteuid() != 0; }

private:
    QByteArray m_path;
    int m_fd = -1;
    bool m_immutable = false;
};

} // namespace moviecat::test
