#include "search/stateline.h"

#include <QLabel>

namespace moviecat {

SearchStateLine::SearchStateLine(QWidget *results, QLabel *label)
    : m_results(results), m_label(label)
{
    if (m_label) {
        m_label->hide();
        m_label->setAccessibleName(tr("搜索结果来源"));
    }
}

void SearchStateLine::typed(const SearchIndex::Answer &answer)
{
    if (!answer.unindexed.isEmpty())
        say(tr("%n 个分类文件夹尚无索引；按回车键搜索", "", int(answer.unindexed.size())));
    else
        say(tr("索引结果（%1）；按回车键核对").arg(SearchIndex::shownTime(answer.walked)));
}

void SearchStateLine::confirming(const SearchIndex::Answer &answer)
{
    say(tr("索引结果（%1），正在核对…").arg(SearchIndex::shownTime(answer.walked)));
}

void SearchStateLine::walked(qsizetype offline, const QDateTime &oldest, bool indexShown)
{
    if (offline > 0)
        say(tr("%n 个结果离线，取自 %1 的索引；其余已核对", "", int(offline))
                .arg(SearchIndex::shownTime(oldest)));
    else
        say(indexShown ? tr("已核对") : QString());
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
