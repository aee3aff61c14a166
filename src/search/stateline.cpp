#include "search/stateline.h"

#include <QLabel>
#include <QLocale>

namespace moviecat {

SearchStateLine::SearchStateLine(QWidget *results, QLabel *label)
    : m_results(results), m_label(label)
{
    if (m_label) {
        m_label->hide();
        m_label->setAccessibleName(tr("搜索结果来源"));
    }
}

QString SearchStateLine::found(qsizetype lines)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return tr("找到 %1 个").arg(locale.toString(qlonglong(lines)));
}

void SearchStateLine::typed(const SearchIndex::Answer &answer)
{
    const qsizetype lines = answer.paths.size();
    if (!answer.unindexed.isEmpty())
        sayFound(lines,
                 tr("%n 个分类文件夹尚无索引；按回车键搜索", "", int(answer.unindexed.size())));
    else
        sayFound(lines,
                 tr("索引结果（%1）；按回车键核对").arg(SearchIndex::shownTime(answer.walked)));
}

void SearchStateLine::confirming(const SearchIndex::Answer &answer)
{
    sayFound(answer.paths.size(),
             tr("索引结果（%1），正在核对…").arg(SearchIndex::shownTime(answer.walked)));
}

void SearchStateLine::walked(qsizetype lines, qsizetype offline, const QDateTime &oldest,
                             bool indexShown)
{
    if (offline > 0)
        sayFound(lines, tr("%n 个结果离线，取自 %1 的索引；其余已核对", "", int(offline))
                            .arg(SearchIndex::shownTime(oldest)));
    else
        sayFound(lines, indexShown ? tr("已核对") : QString());
}

void SearchStateLine::sayFound(qsizetype lines, const QString &more)
{
    say(more.isEmpty() ? found(lines) : tr("%1；%2").arg(found(lines), more));
}

void SearchStateLine::say(const QString &text)
{
    m_text = text;
    m_results->setAccessibleDescription(text);
    if (!m_label)
        return;
    m_label->setText(text);
    m_label->setAccessibleDescription(text);
    m_label->setVisible(!text.isEmpty());
}

} // namespace moviecat
