// Feeds arbitrary bytes to the .nfo reader and checks what the details view relies
// on: every value it gives is in range, and the same bytes read the same again.
// The input's lines also go through the year-from-name rule and the .nfo picking.
#include "check.h"
#include "movies/nfofile.h"
#include "query/nameyear.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using moviecat::MovieInfo;
    using moviecat::NfoFile;

    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const MovieInfo info = NfoFile::parse(bytes);
    if (info.year)
        check(*info.year >= 1870 && *info.year <= 2100);
    if (info.rating)
        check(std::isfinite(*info.rating) && *info.rating > 0 && *info.rating <= 10);
    if (info.minutes)
        check(*info.minutes > 0 && *info.minutes <= 100 * 60);
    check(info.plot.size() <= NfoFile::plotKept);
    check(NfoFile::parse(bytes) == info);

    const QStringList names = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    for (const QString &name : names) {
        if (const std::optional<int> year = moviecat::yearFromName(name))
            check(*year >= moviecat::query::firstFilmYear &&
                  *year <= moviecat::query::latestFilmYear() &&
                  name.contains(QString::number(*year)));
    }
    const QString picked = NfoFile::pick(names);
    check(picked.isEmpty() || names.contains(picked));
    return 0;
}
