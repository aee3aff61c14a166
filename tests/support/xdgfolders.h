#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>
#include <array>

namespace moviecat::test {

// The XDG data and configuration folders pointed below a scratch folder for the
// life of the object: a test's trash, mime-apps lists and desktop files are its own.
class XdgFolders {
public:
    explicit XdgFolders(const QString &base)
    {
        const std::array<std::pair<const char *, const char *>, 4> folders{{
            {"XDG_DATA_HOME", "/data"},
            {"XDG_CONFIG_HOME", "/config"},
            {"XDG_DATA_DIRS", "/system-data"},
            {"XDG_CONFIG_DIRS", "/system-config"},
        }};
        for (size_t i = 0; i < folders.size(); ++i) {
            m_saved[i] = {folders[i].first, qgetenv(folders[i].first),
                          qEnvironmentVariableIsSet(folders[i].first)};
            QByteArray value = QFile::encodeName(base) + folders[i].second;
            // The system's own data stays visible behind ours: the MIME database lives there.
            if (i == 2)
                value += ":/usr/local/share:/usr/share";
            qputenv(folders[i].first, value);
        }
    }
    ~XdgFolders()
    {
        for (const Saved &saved : m_saved) {
            if (saved.set)
                qputenv(saved.name, saved.value);
            else
                qunsetenv(saved.name);
        }
    }
    XdgFolders(const XdgFolders &) = delete;
    XdgFolders &operator=(const XdgFolders &) = delete;

private:
    struct Saved {
        const char *name = nullptr;
        QByteArray value;
        bool set = false;
    };
    std::array<Saved, 4> m_saved;
};

} // namespace moviecat::test
