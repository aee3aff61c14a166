#include "search/batchfile.h"

#include "ui/filenames.h"

#include <QSet>

#include <algorithm>

#ifdef Q_OS_WIN
#include <QStringDecoder>
#include <QStringEncoder>
#endif

namespace moviecat {

namespace {

#ifdef Q_OS_WIN
constexpr QChar separator = QLatin1Char('\\');
#else
constexpr QChar separator = QLatin1Char('/');
#endif

// Characters that end or redirect an unquoted argument of the command interpreter
// (, ; = split arguments of its built-in commands just as a blank does).
bool needsQuotes(const QString &arg)
{
    for (const QChar c : arg) {
        if (c.isSpace())
            return true;
        switch (c.unicode()) {
        case '&':
        case '|':
        case '<':
        case '>':
        case '^':
        case '%':
        case ',':
        case ';':
        case '=':
            return true;
        default:
            break;
        }
    }
    return false;
}

// Percent signs are expanded even inside quotes, so they are doubled there.
QString quoted(const QString &arg)
{
    if (!needsQuotes(arg))
        return arg;
    QString text = arg;
    text.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool holdsUnquotable(const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

} // namespace

QString SearchBatch::dirLine(const QString &path, const QString &text, const QString &resultFile)
{
    QString spec = path;
    if (!spec.endsWith(separator))
        spec += separator;
    spec += QLatin1Char('*') + text + QLatin1Char('*');
    return QStringLiteral("DIR ") + quoted(spec) + QStringLiteral(" /ad /s /b >>") +
           quoted(resultFile);
}

QString SearchBatch::delLine(const QString &batchFile)
{
    return QStringLiteral("DEL /Q ") + quoted(batchFile);
}

std::optional<QString> SearchBatch::refusal(const QString &text)
{
    if (!holdsUnquotable(text))
        return std::nullopt;
    return QStringLiteral("搜索文字不能包含双引号或控制字符，请修改后再搜索。");
}

std::optional<QString> SearchBatch::pathRefusal(const QString &path)
{
    if (!holdsUnquotable(path))
        return std::nullopt;
    return QStringLiteral("分类路径包含双引号或控制字符，无法搜索：") + path;
}

QByteArray SearchBatch::compose(const QStringList &paths, const QString &text,
                                const QString &resultFile, const QString &batchFile)
{
    QString batch;
    const qsizetype count = std::min<qsizetype>(paths.size(), maxCategories);
    for (qsizetype i = 0; i < count; ++i)
        batch += dirLine(paths.at(i), text, resultFile) + QStringLiteral("\r\n");
    batch += delLine(batchFile) + QStringLiteral("\r\n");
    return encode(batch);
}

QStringList SearchBatch::resultLines(const QByteArray &bytes)
{
    QStringList lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        if (end > start && bytes[end - 1] == '\r')
            --end;
        lines << decode(bytes.mid(start, end - start));
        start = next;
    }
    return lines;
}

QByteArray SearchBatch::encode(const QString &text)
{
#ifdef Q_OS_WIN
    QStringEncoder encoder(QStringConverter::System);
    return encoder.encode(text);
#else
    // A path is bytes here; those that are not UTF-8 go back as they came.
    return FileNames::toBytes(text);
#endif
}

QString SearchBatch::decode(const QByteArray &bytes)
{
#ifdef Q_OS_WIN
    QStringDecoder decoder(QStringConverter::System);
    return decoder.decode(bytes);
#else
    return FileNames::fromBytes(bytes);
#endif
}

QStringList SearchBatch::notAnswering(const QList<SkippedFolder> &skipped)
{
    QStringList paths;
    for (const SkippedFolder &folder : skipped) {
        if (folder.reason == SkipReason::NotAnswering)
            paths << folder.path;
    }
    return paths;
}

QList<SkippedFolder> SearchBatch::skippedFolders(const QByteArray &errorOutput)
{
    QList<SkippedFolder> skipped;
    QSet<QString> seen;
    for (const QByteArray &line : errorOutput.split('\n')) {
        const std::optional<HelperReport> report = readHelperReport(line.toStdString());
        if (!report || report->kind != HelperReport::Kind::Skipped)
            continue;
        const QString path = decode(QByteArray::fromStdString(report->path));
        if (seen.contains(path))
            continue;
        seen.insert(path);
        skipped.append({path, report->reason, decode(QByteArray::fromStdString(report->detail))});
    }
    return skipped;
}

std::optional<QString> SearchBatch::resultsUnwritten(const QByteArray &errorOutput)
{
    for (const QByteArray &line : errorOutput.split('\n')) {
        const std::optional<HelperReport> report = readHelperReport(line.toStdString());
        if (report && report->kind == HelperReport::Kind::ResultsUnwritten)
            return decode(QByteArray::fromStdString(report->detail));
    }
    return std::nullopt;
}

} // namespace moviecat
