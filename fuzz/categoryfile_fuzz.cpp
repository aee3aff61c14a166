// Feeds arbitrary bytes to the category file parser and checks what every caller
// relies on: at most 18 buttons, one path list entry per button with a path, lines
// that really are single lines, and a split at a "=" that stands where it may.
#include "catalog/categoryfile.h"
#include "check.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

qsizetype codePoints(const QString &text)
{
    return text.toUcs4().size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using moviecat::Category;
    using moviecat::CategoryFile;

    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const CategoryFile file = CategoryFile::parse(bytes);

    check(file.categories.size() <= moviecat::kCategoryCount);
    qsizetype withPath = 0;
    for (const Category &category : file.categories) {
        check(!category.caption.contains(QLatin1Char('\r')));
        check(!category.caption.contains(QLatin1Char('\n')));
        if (category.path) {
            ++withPath;
            check(!category.caption.contains(QLatin1Char('=')));
            check(codePoints(category.caption) < CategoryFile::splitLimit);
            check(!category.path->contains(QLatin1Char('\r')));
            check(!category.path->contains(QLatin1Char('\n')));
        } else {
            const qsizetype equals = category.caption.indexOf(QLatin1Char('='));
            check(equals < 0 ||
                  codePoints(category.caption.first(equals)) >= CategoryFile::splitLimit);
            check(category.caption != QLatin1String("[movie end]"));
        }
    }
    const QStringList paths = file.pathList();
    check(paths.size() == withPath);

    // Written back out as UTF-8, the categories read in again unchanged.
    QByteArray rewritten("[movie]\n");
    for (const Category &category : file.categories) {
        rewritten += category.caption.toUtf8();
        if (category.path)
            rewritten += '=' + category.path->toUtf8();
        rewritten += '\n';
    }
    check(CategoryFile::parse(rewritten).categories == file.categories);
    return 0;
}
