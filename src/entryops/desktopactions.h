#pragma once

#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace moviecat {

class OperationRunner;

// An application a desktop file describes, as the mime-apps lists name it.
struct DesktopApp {
    QString id;   // "vlc.desktop"
    QString name; // in the user's language where the file has it
    QString exec; // the Exec line, field codes still in it
};

// The applications registered for any of the MIME types, best first: the
// defaults and added associations of every mimeapps.list, then the
// applications' own claims (mimeinfo.cache), less the removed associations.
// Reads the XDG folders: only on a worker.
QList<DesktopApp> applicationsFor(const QStringList &mimeTypes);

// An Exec line as a program and its arguments for one local file: the
// freedesktop desktop-entry quoting and field codes (%f %F %u %U).
QStringList execArguments(const QString &exec, const QString &path);

// The desktop's own programs for the folder view's entries: its application
// chooser and its file manager, reached over D-Bus where the desktop offers
// them, with plainer ways where it does not.
class DesktopActions : public QObject {
    Q_OBJECT
public:
    using Launcher = std::function<bool(const QString &program, const QStringList &arguments)>;

    DesktopActions(QWidget *window, OperationRunner *runner);

    // Opens a file in its application; asks first where that would run a
    // program, and by default opens its folder instead.
    void openFile(const QString &path);
    // The chooser for the file's type: the desktop portal's (asking, even
    // where a default exists), else a list of the registered applications.
    void openWith(const QString &path);
    // The file manager with the entries selected, else their folder opened.
    void showItems(const QStringList &paths);
    void showFolder(const QString &folder);

    // Tests: no D-Bus, and applications started by the given call.
    void setUseBus(bool use) { m_useBus = use; }
    void setLauncher(Launcher launch) { m_launch = std::move(launch); }

signals:
    void problem(const QString &message);

private:
    // Calls the desktop over the session bus; where that cannot be done or fails,
    // does the other thing.
    void callOrElse(QDBusMessage call, const std::function<void()> &otherwise);
    void askBeforeRunning(const QString &path);
    void chooseApplication(const QString &path);
    void offer(const QString &path, const QList<DesktopApp> &apps);
    void openFolder(const QString &folder);

    QWidget *m_window;
    OperationRunner *m_runner;
    bool m_useBus = true;
    Launcher m_launch;
};

} // namespace moviecat
