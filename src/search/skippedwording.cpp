#include "search/skippedwording.h"

#include "search/offlineresults.h"
#include "ui/filenames.h"

namespace moviecat {

QString SkippedWording::reason(SkipReason reason)
{
    switch (reason) {
    case SkipReason::Unreadable:
        return tr("无法读取");
    case SkipReason::NotAnswering:
        return tr("没有响应");
    case SkipReason::NameNotWritable:
        return tr("名称无法写入结果");
    case SkipReason::LinkNotFollowed:
        return tr("链接无法跟随");
    }
    return {};
}

SkippedWording::Lines SkippedWording::describe(const QList<SkippedFolder> &skipped,
                                               const SearchIndex::Answer &answer)
{
    Lines lines;
    for (const SkippedFolder &folder : skipped) {
        QString why = reason(folder.reason);
        if (!folder.detail.isEmpty())
            why = tr("%1：%2").arg(why, folder.detail);
        if (folder.reason == SkipReason::NotAnswering) {
            if (const QDateTime indexed = OfflineResults::indexedAt(folder.path, answer);
                indexed.isValid()) {
                why = tr("%1；结果取自 %2 的索引").arg(why, SearchIndex::shownTime(indexed));
                if (!lines.oldestIndex.isValid() || indexed < lines.oldestIndex)
                    lines.oldestIndex = indexed;
            }
        }
        lines.folders << tr("%1（%2）").arg(FileNames::readable(folder.path), why);
    }
    return lines;
}

} // namespace moviecat
