#include "search/typingsearch.h"

#include <QPointer>

namespace moviecat {

TypingSearch::TypingSearch(Query query, QObject *parent)
    : QObject(parent), m_query(std::move(query))
{}

void TypingSearch::type(const QString &text)
{
    ++*m_typed;
    m_waiting.reset();
    if (text.isEmpty())
        emit answered(text, {});
    else if (m_asking)
        m_waiting = text; // the worker is busy: this text is next, unless typed over
    else
        ask(text);
}

void TypingSearch::stop()
{
    ++*m_typed;
    m_waiting.reset();
}

void TypingSearch::ask(const QString &text)
{
    m_asking = true;
    const quint64 typed = *m_typed;
    const auto abandoned = [count = m_typed, typed] {
        return *count != typed;
    };
    m_query(text, abandoned,
            [self = QPointer(this), typed, text](const SearchIndex::Answer &answer) {
                if (!self)
                    return;
                self->m_asking = false;
                if (typed == *self->m_typed)
                    emit self->answered(text, answer);
                if (self->m_waiting) {
                    const QString next = *self->m_waiting;
                    self->m_waiting.reset();
                    self->ask(next);
                }
            });
}

} // namespace moviecat
