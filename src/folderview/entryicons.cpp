#include "folderview/entryicons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <array>

namespace moviecat {

bool isVideoFileName(const QString &fileName)
{
    static const std::array<QLatin1String, 23> endings = {
        QLatin1String("mkv"),  QLatin1String("mp4"),  QLatin1String("m4v"),  QLatin1String("avi"),
        QLatin1String("m2ts"), QLatin1String("mts"),  QLatin1String("ts"),   QLatin1String("wmv"),
        QLatin1String("mov"),  QLatin1String("rmvb"), QLatin1String("rm"),   QLatin1String("iso"),
        QLatin1String("mpg"),  QLatin1String("mpeg"), QLatin1String("vob"),  QLatin1String("flv"),
        QLatin1String("webm"), QLatin1String("3gp"),  QLatin1String("divx"), QLatin1String("ogv"),
        QLatin1String("asf"),  QLatin1String("f4v"),  QLatin1String("m2v")};
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return false;
    const QStringView ending = QStringView(fileName).mid(dot + 1);
    for (const QLatin1String &known : endings) {
        if (ending.compare(known, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

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

} // namespace

QIcon makeFilmIcon()
{
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 96, 128, 256})
        icon.addPixmap(drawFilm(side));
    return icon;
}

EntryDelegate::EntryDelegate(std::function<void(const QModelIndex &)> painting, QObject *parent)
    : QStyledItemDelegate(parent), m_painting(std::move(painting))
{}

void EntryDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const
{
    if (m_painting)
        m_painting(index);
    QStyledItemDelegate::paint(painter, option, index);
}

QSize EntryDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (m_itemSize.isValid())
        return m_itemSize;
    return QStyledItemDelegate::sizeHint(option, index);
}

void EntryDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    // The view's icon size; the base class shrinks it to each icon's own size.
    const QSize box = option->decorationSize;
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->features & QStyleOptionViewItem::HasDecoration)
        option->decorationSize = box;
    if (m_itemSize.isValid() && option->decorationPosition == QStyleOptionViewItem::Top)
        option->displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
}

} // namespace moviecat
