#include "ui/fonts.h"

#include <QStringList>

namespace moviecat {

void installFontSubstitutes()
{
    const QString song = QString::fromUtf16(kSongFace);
    const QString kai = QString::fromUtf16(kKaiFace);
    QFont::insertSubstitutions(song,
                               {QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
                                QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC")});
    QFont::insertSubstitutions(kai,
                               {QStringLiteral("AR PL UKai CN"), QStringLiteral("AR PL UKai TW"),
                                QStringLiteral("KaiTi"), QStringLiteral("AR PL UMing CN")});
}

QFont layoutFont(const QString &face, double points, bool bold)
{
    QFont font(face);
    font.setPixelSize(pointsToPixels(points));
    font.setBold(bold);
    return font;
}

} // namespace moviecat
