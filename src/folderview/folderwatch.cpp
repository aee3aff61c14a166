#include "folderview/folderwatch.h"

#include "ui/filenames.h"

#include <QSet>
#include <QSocketNotifier>
#include <sys/inotify.h>
#include <unistd.h>

namespace moviecat {

class WatchHandle {
public:
    explicit WatchHandle(int fd) : fd(fd) {}
    WatchHandle(const WatchHandle &) = delete;
    WatchHandle &operator=(const WatchHandle &) = delete;
    ~WatchHandle() { close(fd); }

    const int fd;
};

std::shared_ptr<WatchHandle> openWatch(const QString &folder)
{
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return {};
    auto handle = std::make_shared<WatchHandle>(fd);
    const uint32_t events = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                            IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    if (inotify_add_watch(fd, FileNames::toBytes(folder).constData(), events) < 0)
        return {};
    return handle;
}

FolderWatch::FolderWatch(QObject *parent) : QObject(parent) {}

FolderWatch::~FolderWatch() = default;

void FolderWatch::watch(std::shared_ptr<WatchHandle> handle)
{
    stop();
    m_handle = std::move(handle);
    m_notifier = new QSocketNotifier(m_handle->fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatch::readNotices);
}

void FolderWatch::stop()
{
    if (m_notifier) {
        // Possibly called from its own signal: gone once that returns.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    m_handle.reset();
}

void FolderWatch::readNotices()
{
    alignas(inotify_event) char buffer[16384];
    QSet<QString> changed;
    bool lostTrack = false;
    for (;;) {
        const ssize_t got = read(m_handle->fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                lostTrack = true;
            } else if (event->len > 0) {
                const QString name = FileNames::fromBytes(static_cast<const char *>(event->name));
                if (!name.startsWith(QLatin1Char('.')))
                    changed.insert(name);
            }
        }
    }
    if (lostTrack) {
        stop();
        emit lost();
        return;
    }
    if (!changed.isEmpty())
        emit entriesChanged(QStringList(changed.cbegin(), changed.cend()));
}

} // namespace moviecat
