#include "movies/nfofile.h"

#include "query/nameyear.h"

#include <QDate>
#include <QLocale>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace moviecat {

namespace {

// Years a film can have come out in: before the first films, or far ahead, the
// number is a typing slip or a placeholder ("0", "99999").
constexpr int firstFilmYear = 1870;
constexpr int lastYear = 2100;
// Longer than any film released; a bigger number is a slip (seconds for minutes).
constexpr int longestMinutes = 100 * 60;

std::optional<int> plausibleYear(int year, int first)
{
    if (year < first || year > lastYear)
        return std::nullopt;
    return year;
}

std::optional<int> yearIn(QStringView text, int first)
{
    bool ok = false;
    const int year = text.trimmed().toInt(&ok);
    return ok ? plausibleYear(year, first) : std::nullopt;
}

// "2008-07-18": the year of a valid date, nothing for anything else.
std::optional<int> yearOfDate(QStringView text)
{
    const QDate date = QDate::fromString(text.trimmed().toString(), Qt::ISODate);
    return date.isValid() ? plausibleYear(date.year(), firstFilmYear) : std::nullopt;
}

std::optional<double> numberIn(QStringView text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// A rating out of `max` scaled to 10. Kodi writes 0 for a movie nobody rated, so 0
// is no rating either.
std::optional<double> scaledRating(QStringView value, QStringView max)
{
    const std::optional<double> scale = max.isEmpty() ? 10.0 : numberIn(max);
    const std::optional<double> rating = numberIn(value);
    if (!scale || !rating || *scale <= 0 || *rating <= 0 || *rating > *scale)
        return std::nullopt;
    return *rating * 10.0 / *scale;
}

std::optional<int> minutesIn(QStringView text)
{
    bool ok = false;
    const int minutes = text.trimmed().toInt(&ok);
    if (!ok || minutes <= 0 || minutes > longestMinutes)
        return std::nullopt;
    return minutes;
}

std::optional<int> minutesOfSeconds(QStringView text)
{
    bool ok = false;
    const qint64 seconds = text.trimmed().toLongLong(&ok);
    if (!ok || seconds <= 0 || seconds > qint64(longestMinutes) * 60)
        return std::nullopt;
    return int(std::max<qint64>(1, (seconds + 30) / 60));
}

// Reads a <movie> document element by element. Values count only once their
// element has closed, so a file cut off in the middle of one loses that one alone.
class Reader {
public:
    explicit Reader(const QByteArray &bytes) : m_xml(bytes) {}

    MovieInfo read()
    {
        if (!enterRoot())
            return {};
        while (m_xml.readNextStartElement()) {
            const QStringView name = m_xml.name();
            if (name == u"title")
                text(m_info.title);
            else if (name == u"originaltitle")
                text(m_info.originalTitle);
            else if (name == u"plot")
                text(m_info.plot);
            else if (name == u"year")
                m_year = yearIn(elementText(), firstFilmYear);
            else if (name == u"premiered")
                m_premiered = yearOfDate(elementText());
            else if (name == u"releasedate")
                m_released = yearOfDate(elementText());
            else if (name == u"rating")
                readOldRating();
            else if (name == u"ratings")
                readRatings();
            else if (name == u"runtime")
                m_runtime = minutesIn(elementText());
            else if (name == u"fileinfo")
                readFileInfo();
            else
                m_xml.skipCurrentElement();
        }
        m_info.plot.truncate(NfoFile::plotKept);
        m_info.year = m_year ? m_year : m_premiered ? m_premiered : m_released;
        m_info.rating = m_rating ? m_rating : m_oldRating;
        m_info.minutes = m_runtime ? m_runtime : m_duration;
        return m_info;
    }

private:
    // Up to the <movie> element. A document type declaration ends the reading: an
    // .nfo has no use for one, and its entities are how a small file blows up.
    bool enterRoot()
    {
        while (!m_xml.atEnd()) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::DTD:
                return false;
            case QXmlStreamReader::StartElement:
                return m_xml.name() == u"movie";
            default:
                break;
            }
        }
        return false;
    }

    // The element's text, or an empty string when the element is damaged; the
    // reader stands on its end element afterwards (or has failed).
    QString elementText()
    {
        const QString value = m_xml.readElementText(QXmlStreamReader::IncludeChildElements);
        return m_xml.hasError() ? QString() : value;
    }

    void text(QString &field)
    {
        const QString value = elementText().trimmed();
        if (!m_xml.hasError())
            field = value;
    }

    void readOldRating()
    {
        const QString max = m_xml.attributes().value(QLatin1String("max")).toString();
        const QString value = elementText();
        if (!m_xml.hasError())
            m_oldRating = scaledRating(value, max);
    }

    // <ratings><rating name="imdb" max="10" default="true"><value>7.8</value>...
    void readRatings()
    {
        std::optional<double> first;
        std::optional<double> marked;
        children(u"rating", [&] {
            const QString max = m_xml.attributes().value(QLatin1String("max")).toString();
            const bool isDefault = m_xml.attributes().value(QLatin1String("default")) == u"true";
            std::optional<double> value;
            children(u"value", [&] { value = scaledRating(elementText(), max); });
            if (!first)
                first = value;
            if (isDefault && value && !marked)
                marked = value;
        });
        if (!m_xml.hasError())
            m_rating = marked ? marked : first;
    }

    // <fileinfo><streamdetails><video><durationinseconds>: the first video stream's.
    void readFileInfo()
    {
        std::optional<int> duration;
        children(u"streamdetails", [&] {
            children(u"video", [&] {
                children(u"durationinseconds", [&] {
                    const QString seconds = elementText();
                    if (!duration)
                        duration = minutesOfSeconds(seconds);
                });
            });
        });
        if (!m_xml.hasError())
            m_duration = duration;
    }

    // Calls `read` on each child element named `name`, which must read it to its end,
    // and skips the other children.
    template <typename Read> void children(QStringView name, Read read)
    {
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == name)
                read();
            else
                m_xml.skipCurrentElement();
        }
    }

    QXmlStreamReader m_xml;
    MovieInfo m_info;
    std::optional<int> m_year, m_premiered, m_released;
    std::optional<double> m_rating, m_oldRating;
    std::optional<int> m_runtime, m_duration;
};

} // namespace

bool MovieInfo::isEmpty() const
{
    return title.isEmpty() && originalTitle.isEmpty() && plot.isEmpty() && !year && !rating &&
           !minutes;
}

MovieInfo NfoFile::parse(const QByteArray &bytes)
{
    if (bytes.size() > maxSize)
        return {};
    return Reader(bytes).read();
}

QString NfoFile::pick(const QStringList &fileNames)
{
    const QLatin1String suffix(".nfo");
    QStringList nfos;
    for (const QString &name : fileNames) {
        if (name.compare(QLatin1String("movie.nfo"), Qt::CaseInsensitive) == 0)
            return name;
        if (name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseInsensitive))
            nfos.append(name);
    }
    for (const QString &nfo : nfos) {
        const QStringView base = QStringView(nfo).chopped(suffix.size());
        for (const QString &name : fileNames) {
            if (name.size() > base.size() + 1 && name.startsWith(base) &&
                name.at(base.size()) == u'.' && !name.endsWith(suffix, Qt::CaseInsensitive))
                return nfo;
        }
    }
    return nfos.size() == 1 ? nfos.first() : QString();
}

QString NfoFile::besideVideo(const QString &videoName)
{
    const qsizetype dot = videoName.lastIndexOf(u'.');
    return (dot > 0 ? videoName.first(dot) : videoName) + QLatin1String(".nfo");
}

std::optional<int> yearFromName(QStringView name)
{
    // The queries read years by the same rule, so the column and year: agree.
    return query::yearInName(name.toUtf8().toStdString(), query::latestFilmYear());
}

} // namespace moviecat
