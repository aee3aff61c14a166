#pragma once

#include "base/mounttable.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <sys/sysmacros.h>

namespace moviecat::test {

// The FUSE passthrough of the end-to-end tests (tests/e2e/slowfs.py) mounted for a window
// test: a share that can be switched off while it stays mounted, so every call on it waits
// until it is switched on again. A call stuck on it is released only by aborting the
// kernel's connection; the destructor always does that, then unmounts.
class SlowShare {
public:
    SlowShare(const QString &source, const QString &mountPoint)
        : m_mountPoint(QDir::cleanPath(mountPoint)), m_switch(m_mountPoint + QStringLiteral(".off"))
    {
        QDir().mkpath(m_mountPoint);
        m_process.setProgram(QStringLiteral(MOVIECAT_TEST_PYTHON));
        m_process.setArguments({QStringLiteral(MOVIECAT_TEST_SLOWFS), source, m_mountPoint,
                                QStringLiteral("--off-while"), m_switch});
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start();
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            if (findDevice())
                return;
            QThread::msleep(50);
        }
        m_error = QStringLiteral("slowfs did not mount %1: %2")
                      .arg(m_mountPoint, QString::fromLocal8Bit(m_process.readAll()));
    }
    ~SlowShare()
    {
        switchOn();
        abort();
        if (m_device)
            QProcess::execute(QStringLiteral("fusermount"),
                              {QStringLiteral("-u"), QStringLiteral("-z"), m_mountPoint});
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    SlowShare(const SlowShare &) = delete;
    SlowShare &operator=(const SlowShare &) = delete;

    bool isMounted() const { return m_device != 0; }
    QString error() const { return m_error; }
    QString path(const QString &relative) const
    {
        return m_mountPoint + QLatin1Char('/') + relative;
    }

    void switchOff() { QFile(m_switch).open(QIODevice::WriteOnly); }
    void switchOn() { QFile::remove(m_switch); }
    // Every call stuck on the share fails from now on.
    void abort() const
    {
        if (!m_device)
            return;
        const QString connections = QStringLiteral("/sys/fs/fuse/connections");
        if (!QFileInfo::exists(connections + QStringLiteral("/%1").arg(m_device)))
            QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("fusectl"),
                               QStringLiteral("none"), connections});
        QFile knob(connections + QStringLiteral("/%1/abort").arg(m_device));
        if (knob.open(QIODevice::WriteOnly))
            knob.write("1");
    }

private:
    // From the mount table: nothing here may touch the share itself.
    bool findDevice()
    {
        const MountTable table = MountTable::load();
        for (const Mount &mount : table.mounts()) {
            if (mount.point == m_mountPoint.toStdString() && mount.type.starts_with("fuse"))
                m_device = quint64(makedev(mount.major, mount.minor));
        }
        return m_device != 0;
    }

    QString m_mountPoint;
    QString m_switch;
    QProcess m_process;
    quint64 m_device = 0;
    QString m_error;
};

} // namespace moviecat::test
