#pragma once

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QMutex>
#include <QString>
#include <QStyledItemDelegate>
#include <functional>

namespace moviecat {

// True for the endings of video files and disc images ("Film.MKV", "disc.iso").
bool isVideoFileName(const QString &fileName);

// A strip of film with sprocket holes, drawn for each common icon size.
QIcon makeFilmIcon();

// Icons and type names from what the file system model already knows (the
// entry's name and kind), never from the file's contents. Qt's own provider
// reads the first bytes of every file whose ending is unknown or ambiguous
// (.ts, .iso), and the model asks it on the GUI thread: on a slow share, one
// round trip per file with the window frozen. Called from the model's loader
// thread too, hence the lock.
class EntryIconProvider : public QFileIconProvider {
public:
    EntryIconProvider();

    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo &info) const override;
    QString type(const QFileInfo &info) const override;

private:
    QIcon m_folder;
    QIcon m_file;
    QMimeDatabase m_mimeTypes;
    mutable QMutex m_mutex;
    mutable QHash<QString, QIcon> m_byMimeType;
};

// Draws entries with one icon box for all of them, so that a poster, which is
// taller than wide, and a square folder icon line up on the same grid. It
// reports each entry it paints: only entries on screen are painted, and that is
// what decides which posters load first. With an item size set, every entry
// takes that size and names start right under the icon: a large folder is then
// laid out without measuring each name.
class EntryDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit EntryDelegate(std::function<void(const QModelIndex &)> painting,
                           QObject *parent = nullptr);

    // An invalid size measures each entry.
    void setItemSize(QSize size) { m_itemSize = size; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    std::function<void(const QModelIndex &)> m_painting;
    QSize m_itemSize;
};

} // namespace moviecat
