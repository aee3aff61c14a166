#include "folderview/moviecolumns.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

namespace moviecat {

namespace {

// The texts read as the model's own.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(moviecat::FolderModel)
};

} // namespace

std::optional<int> movieYear(const FolderEntry &row)
{
    return row.movie && row.movie->year ? row.movie->year : row.nameYear;
}

// A movie column's value as a number for sorting; absent when the entry has none.
std::optional<double> movieNumber(const FolderEntry &row, int column)
{
    switch (column) {
    case YearColumn:
        if (const std::optional<int> year = movieYear(row))
            return *year;
        return std::nullopt;
    case RatingColumn:
        return row.movie ? row.movie->rating : std::nullopt;
    case RuntimeColumn:
        if (row.movie && row.movie->minutes)
            return *row.movie->minutes;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

bool isMovieColumn(int column)
{
    return column >= YearColumn && column <= RuntimeColumn;
}

QString movieColumnTitle(int column)
{
    switch (column) {
    case YearColumn:
        return Text::tr("年份");
    case RatingColumn:
        return Text::tr("评分");
    case RuntimeColumn:
        return Text::tr("片长");
    default:
        return {};
    }
}

QVariant movieText(const FolderEntry &row, int column)
{
    const std::optional<double> value = movieNumber(row, column);
    if (!value)
        return {};
    switch (column) {
    case YearColumn:
        return QString::number(int(*value));
    case RatingColumn:
        return QLocale().toString(*value, 'f', 1);
    case RuntimeColumn:
        return Text::tr("%1 分钟").arg(int(*value));
    default:
        return {};
    }
}

// Title (and original title), year, rating, running time and the plot's first
// lines. Rich text, so that a long plot wraps; every value is escaped.
QVariant movieToolTip(const FolderEntry &row, const QString &note)
{
    constexpr int plotLines = 3;
    constexpr qsizetype plotCharacters = 240;
    const MovieInfo *movie = row.movie.get();
    QStringList lines;
    if (movie && !movie->title.isEmpty()) {
        const bool sameTitle =
            movie->originalTitle.isEmpty() || movie->originalTitle == movie->title;
        const QString title =
            sameTitle ? movie->title : Text::tr("%1（%2）").arg(movie->title, movie->originalTitle);
        lines << QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped());
    }
    for (const int column : {YearColumn, RatingColumn, RuntimeColumn}) {
        const QVariant value = movieText(row, column);
        if (value.isValid()) {
            lines << Text::tr("%1：%2").arg(movieColumnTitle(column),
                                            value.toString().toHtmlEscaped());
        }
    }
    if (movie && !movie->plot.isEmpty()) {
        QString plot =
            movie->plot.split(QLatin1Char('\n')).mid(0, plotLines).join(QLatin1Char('\n'));
        if (plot.size() > plotCharacters)
            plot = plot.first(plotCharacters) + QStringLiteral("……");
        lines << plot.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>"));
    }
    if (lines.isEmpty())
        return {};
    if (!note.isEmpty())
        lines << note.toHtmlEscaped();
    return QStringLiteral("<qt>%1</qt>").arg(lines.join(QLatin1String("<br>")));
}

} // namespace moviecat
