#pragma once

#include "disk/folderlister.h"

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QSize>
#include <QString>
#include <functional>

namespace moviecat {

class MovieDataLoader;
struct FolderEntry;

// The icons of the shown folder's entries: the theme's icon for a file's type,
// a strip of film for video files and disc images, and in the icon modes a
// folder's poster where it holds one. Posters load on workers, those painted
// on screen first; the plain folder icon shows until one arrives, and
// iconChanged says when it has.
class EntryIcons : public QObject {
    Q_OBJECT
public:
    // Posters come from the loader, which the view shares with the .nfo columns.
    explicit EntryIcons(MovieDataLoader *posters, QObject *parent = nullptr);
    ~EntryIcons() override;

    // Posters are decoded to fit this box (device pixels), aspect kept.
    void setPosterBox(QSize box, qreal devicePixelRatio);
    // The folder whose entries are shown; the posters still waiting for the
    // last one are dropped.
    void setFolder(const QString &folder);
    void setPostersShown(bool shown);
    // Whether the entry called name is on screen now; a poster whose entry
    // scrolled out of sight before its turn is not loaded.
    void setOnScreenCheck(std::function<bool(const QString &name)> onScreen);
    // Posters of the entries painted since the last setFolder() are still
    // being found or decoded.
    bool isLoadingPosters() const;

    // Never touches the disk.
    QIcon icon(const FolderEntry &entry) const;
    // The entry is being painted: its poster is wanted.
    void painting(const QString &name, EntryKind kind);

signals:
    void iconChanged(const QString &name);

private:
    bool isWanted(const QString &folder);
    void posterChanged(const QString &folder);

    MovieDataLoader *m_posters;
    QString m_folder;
    bool m_postersShown = true;
    std::function<bool(const QString &)> m_onScreen;
    // Posters asked for: the folder's path to the entry's name.
    QHash<QString, QString> m_asked;
    QIcon m_folderIcon;
    QIcon m_fileIcon;
    QIcon m_filmIcon;
    mutable QHash<QString, QIcon> m_themedIcons;
};

} // namespace moviecat
