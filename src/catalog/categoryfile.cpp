#include "catalog/categoryfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringView>

namespace moviecat {

namespace {

// What a user reads about the file goes through the translator under one context.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(moviecat::CategoryFile)
};

constexpr QStringView sectionStart = u"[movie]";
constexpr QStringView sectionEnd = u"[movie end]";

// Hands out the lines of a text one at a time. CR LF, a lone CR and a lone LF each
// end a line, so files from Windows, old Macs and Linux all read the same; the
// terminator after the last line is optional and does not start another line.
class LineReader {
public:
    explicit LineReader(QStringView text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }

    QStringView next()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != u'\r' && m_text[m_pos] != u'\n')
            ++m_pos;
        const QStringView line = m_text.sliced(start, m_pos - start);
        if (m_pos < m_text.size()) {
            const bool crLf =
                m_text[m_pos] == u'\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == u'\n';
            m_pos += crLf ? 2 : 1;
        }
        return line;
    }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

// Splits "name=path" at the first "=", which counts only when it stands within the
// first splitLimit characters. Characters are code points, so a Chinese character or
// an emoji is one, as a user counting them would expect.
Category splitEntry(QStringView line)
{
    int characters = 0;
    for (qsizetype i = 0; i < line.size() && characters < CategoryFile::splitLimit; ++i) {
        if (line[i] == u'=')
            return {line.first(i).toString(), line.sliced(i + 1).toString()};
        if (line[i].isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate())
            ++i;
        ++characters;
    }
    return {line.toString(), std::nullopt};
}

} // namespace

QStringList CategoryFile::pathList() const
{
    QStringList paths;
    for (const Category &category : categories) {
        if (category.path)
            paths.append(*category.path);
    }
    return paths;
}

QString CategoryFile::decode(const QByteArray &bytes)
{
    // Files written on Linux are UTF-8; those from Chinese Windows are GBK, which is
    // almost never valid UTF-8 by accident. Stateless, so that a sequence cut off at
    // the end of the file counts as an error instead of waiting for more input.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;

    // Qt reaches GBK through ICU; without it the UTF-8 reading, with replacement
    // characters, is the best left.
    QStringDecoder gbk("GBK", QStringConverter::Flag::Stateless);
    if (!gbk.isValid())
        return text;
    return gbk.decode(bytes);
}

CategoryFile CategoryFile::parse(const QByteArray &bytes)
{
    const QString text = decode(bytes);
    LineReader lines(text);
    CategoryFile result;

    bool inSection = false;
    while (!inSection && !lines.atEnd())
        inSection = lines.next() == sectionStart;
    if (!inSection)
        return result;

    // Only lines actually read become buttons: the end of the file ends the section too.
    while (result.categories.size() < kCategoryCount && !lines.atEnd()) {
        const QStringView line = lines.next();
        if (line == sectionEnd)
            break;
        result.categories.append(splitEntry(line));
    }
    return result;
}

CategoryLoad loadCategoryFile(const QString &fileName)
{
    CategoryLoad load;
    const QFileInfo info(fileName);
    const QString shownName = QDir::toNativeSeparators(info.absoluteFilePath());
    const auto fail = [&load](const QString &message) {
        load.error = message;
        return load;
    };

    if (info.isDir())
        return fail(Text::tr("分类文件“%1”是文件夹，不是文件。").arg(shownName));
    if (info.isSymLink() && !info.exists())
        return fail(Text::tr("分类文件“%1”是指向“%2”的链接，而“%2”不存在。")
                        .arg(shownName, QDir::toNativeSeparators(info.symLinkTarget())));
    if (info.exists() && !info.isFile())
        return fail(Text::tr("分类文件“%1”不是普通文件。").arg(shownName));

    if (!info.exists()) {
        // NewOnly: should the file appear meanwhile, it is never truncated.
        QFile created(fileName);
        if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
            !QFileInfo::exists(fileName)) {
            return fail(
                Text::tr("无法创建分类文件“%1”：%2。").arg(shownName, created.errorString()));
        }
    }

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(Text::tr("无法打开分类文件“%1”：%2。").arg(shownName, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(Text::tr("无法读取分类文件“%1”：%2。").arg(shownName, file.errorString()));

    load.ok = true;
    load.file = CategoryFile::parse(bytes);
    return load;
}

} // namespace moviecat
