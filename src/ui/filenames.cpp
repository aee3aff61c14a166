#include "ui/filenames.h"

#include "base/names.h"

namespace moviecat {

namespace {

std::string_view viewOf(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), size_t(bytes.size()));
}

// Whether the text is its own readable form: no escaped byte, nothing to escape. Most
// names are, and a list of a hundred thousand results is shown without converting.
bool readsAsItIs(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // Printable ASCII and the CJK range first: nearly every character is one.
        if ((u >= 0x20 && u < 0x7F) || (u >= 0x2E80 && u < 0xD800))
            continue;
        if (isControl(u) || (u >= 0xD800 && u <= 0xDFFF))
            return false;
    }
    return true;
}

} // namespace

QString FileNames::fromBytes(QByteArrayView bytes)
{
    const std::u16string text = escapedText(std::string_view(bytes.data(), size_t(bytes.size())));
    return QString(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

QByteArray FileNames::toBytes(const QString &name)
{
    const std::string bytes = escapedBytes(
        std::u16string_view(reinterpret_cast<const char16_t *>(name.utf16()), size_t(name.size())));
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

QString FileNames::readable(const QString &path)
{
    if (readsAsItIs(path))
        return path;
    const std::string text = readablePath(viewOf(toBytes(path)));
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString FileNames::encodingNote(const QString &path)
{
    if (readsAsItIs(path))
        return QString();
    NameEncoding encoding = NameEncoding::Utf8;
    readablePath(viewOf(toBytes(path)), &encoding);
    switch (encoding) {
    case NameEncoding::Utf8:
        break;
    case NameEncoding::Gbk:
        return tr("名称不是 UTF-8 编码，按 GBK 显示");
    case NameEncoding::Undecodable:
        return tr("名称不是 UTF-8 编码，含无法解码的字节");
    }
    return QString();
}

QUrl FileNames::url(const QString &path)
{
    // Only the separators stay as they are; QUrl keeps percent-encoded bytes that are
    // not UTF-8 as they are, where fromLocalFile() would turn them into U+FFFD.
    return QUrl::fromEncoded("file://" + toBytes(path).toPercentEncoding("/"), QUrl::StrictMode);
}

} // namespace moviecat
