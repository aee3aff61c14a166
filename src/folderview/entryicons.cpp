#include "folderview/entryicons.h"

#include "folderview/folderentry.h"
#include "movies/moviedataloader.h"

#include <QFileIconProvider>

#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace moviecat {

namespace {

QPixmap drawFilm(int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = side;

    // An upright strip: dark base, holes down both edges, two frames between.
    const QRectF strip(s * 0.16, s * 0.04, s * 0.68, s * 0.92);
    QLinearGradient base(strip.topLeft(), strip.topRight());
    base.setColorAt(0.0, QColor(0x30, 0x34, 0x3b));
    base.setColorAt(0.5, QColor(0x45, 0x4a, 0x53));
    base.setColorAt(1.0, QColor(0x30, 0x34, 0x3b));
    p.setPen(Qt::NoPen);
    p.setBrush(base);
    p.drawRoundedRect(strip, s * 0.06, s * 0.06);

    const int holes = side >= 32 ? 6 : 4;
    const qreal pitch = strip.height() / holes;
    const qreal holeW = std::max(1.0, s * 0.07);
    const qreal holeH = std::max(1.0, pitch * 0.5);
    p.setBrush(QColor(0xf2, 0xf2, 0xf2));
    for (int i = 0; i < holes; ++i) {
        const qreal y = strip.top() + pitch * i + (pitch - holeH) / 2;
        p.drawRoundedRect(QRectF(strip.left() + s * 0.035, y, holeW, holeH), holeW * 0.3,
                          holeW * 0.3);
        p.drawRoundedRect(QRectF(strip.right() - s * 0.035 - holeW, y, holeW, holeH), holeW * 0.3,
                          holeW * 0.3);
    }

    const qreal frameLeft = strip.left() + s * 0.15;
    const qreal frameW = strip.width() - s * 0.30;
    const qreal gap = std::max(1.0, s * 0.04);
    const qreal frameH = (strip.height() - 3 * gap) / 2;
    for (int i = 0; i < 2; ++i) {
        const QRectF frame(frameLeft, strip.top() + gap + i * (frameH + gap), frameW, frameH);
        QLinearGradient sky(frame.topLeft(), frame.bottomLeft());
        sky.setColorAt(0.0, QColor(0xa8, 0xd0, 0xf5));
        sky.setColorAt(1.0, QColor(0x4a, 0x86, 0xc8));
        p.setBrush(sky);
        p.drawRect(frame);
    }
    return pixmap;
}

QIcon makeFilmIcon()
{
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 96, 128, 256})
        icon.addPixmap(drawFilm(side));
    return icon;
}

} // namespace

EntryIcons::EntryIcons(MovieDataLoader *posters, QObject *parent)
    : QObject(parent), m_posters(posters),
      m_folderIcon(QFileIconProvider().icon(QAbstractFileIconProvider::Folder)),
      m_fileIcon(QFileIconProvider().icon(QAbstractFileIconProvider::File)),
      m_filmIcon(makeFilmIcon())
{
    m_posters->setWantedCheck([this](const QString &folder) { return isWanted(folder); });
    connect(m_posters, &MovieDataLoader::posterChanged, this, &EntryIcons::posterChanged);
}

EntryIcons::~EntryIcons() = default;

void EntryIcons::setPosterBox(QSize box, qreal devicePixelRatio)
{
    m_posters->setBox(box, devicePixelRatio);
}

void EntryIcons::setFolder(const QString &folder)
{
    // The old folder's posters still waiting are of no use now.
    m_posters->reset();
    m_asked.clear();
    m_folder = folder;
}

void EntryIcons::setPostersShown(bool shown)
{
    m_postersShown = shown;
}

void EntryIcons::setOnScreenCheck(std::function<bool(const QString &name)> onScreen)
{
    m_onScreen = std::move(onScreen);
}

bool EntryIcons::isLoadingPosters() const
{
    return m_posters->isBusy();
}

QIcon EntryIcons::icon(const FolderEntry &entry) const
{
    // Only what is known already: this runs for every entry the views lay out
    // or paint.
    if (entry.kind == EntryKind::Folder) {
        if (m_postersShown) {
            const QIcon poster = m_posters->poster(joinPath(m_folder, entry.name));
            if (!poster.isNull())
                return poster;
        }
        return m_folderIcon;
    }
    if (entry.film)
        return m_filmIcon;
    if (entry.iconName.isEmpty())
        return m_fileIcon;
    auto themed = m_themedIcons.constFind(entry.iconName);
    if (themed == m_themedIcons.constEnd())
        themed = m_themedIcons.insert(entry.iconName, QIcon::fromTheme(entry.iconName, m_fileIcon));
    return *themed;
}

void EntryIcons::painting(const QString &name, EntryKind kind)
{
    if (!m_postersShown || kind != EntryKind::Folder)
        return;
    const QString folder = joinPath(m_folder, name);
    if (m_posters->request(folder))
        m_asked.insert(folder, name);
}

bool EntryIcons::isWanted(const QString &folder)
{
    const auto asked = m_asked.constFind(folder);
    const bool wanted =
        asked != m_asked.constEnd() && m_postersShown && m_onScreen && m_onScreen(*asked);
    if (!wanted)
        m_asked.remove(folder);
    return wanted;
}

void EntryIcons::posterChanged(const QString &folder)
{
    const QString name = m_asked.take(folder);
    if (!name.isEmpty())
        emit iconChanged(name);
}

} // namespace moviecat
