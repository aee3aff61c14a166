#include "search/resultslist.h"

#include "search/resultsdelegate.h"
#include "search/resultsmodel.h"

#include "ui/filenames.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyle>
#include <algorithm>

namespace moviecat {

namespace {

// Rows laid out between two turns of the event loop: well under a millisecond's work.
constexpr int kLayoutBatch = 8192;

} // namespace

ResultsList::ResultsList(QListView *list, QObject *parent)
    : QObject(parent), m_list(list), m_model(new ResultsModel(this)), m_menu(new QMenu(list)),
      m_open(new QAction(tr("打开"), list)), m_copy(new QAction(tr("复制路径"), list)),
      m_random(new QAction(tr("随机选一部"), list))
{
    m_list->setModel(m_model);
    m_list->setItemDelegate(new ResultsDelegate(m_list));
    m_list->setUniformItemSizes(true); // one row's height serves for all of them
    m_list->setBatchSize(kLayoutBatch);
    // The list is narrow and paths are long: the end of a path names the folder that
    // matched, so a long line gives up its middle.
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->viewport()->installEventFilter(this);
    // A pick is a mouse click on a line, or the selection moved by the keys.
    connect(m_list, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { pick(index.row()); });
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!m_pressOnResults && !m_restoring)
                    pick(current.row());
            });
    buildMenu();
}

void ResultsList::buildMenu()
{
    m_menu->addActions({m_open, m_copy, m_random});
    // The shortcut works wherever the focus is in the window, and the menu names it.
    m_random->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_random->setShortcutContext(Qt::WindowShortcut);
    m_list->addAction(m_random);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &ResultsList::showMenu);
    connect(m_open, &QAction::triggered, this, [this] { pick(m_menuRow); });
    connect(m_copy, &QAction::triggered, this, [this] { copyPath(m_menuRow); });
    connect(m_random, &QAction::triggered, this, &ResultsList::pickAtRandom);
}

void ResultsList::showMenu(const QPoint &at)
{
    // The press that opened the menu gets no release here: the menu takes it.
    m_pressOnResults = false;
    const int under = m_list->indexAt(at).row();
    m_menuRow = under >= 0 ? under : currentRow();
    m_open->setEnabled(m_menuRow >= 0);
    m_copy->setEnabled(m_menuRow >= 0);
    m_random->setEnabled(m_model->rowCount() > 0);
    m_menu->popup(m_list->viewport()->mapToGlobal(at));
}

void ResultsList::copyPath(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    // Text as the user reads it, to paste anywhere; the URL keeps the name's own bytes.
    const QString path = m_model->paths().at(row);
    auto *data = new QMimeData;
    data->setText(FileNames::readable(path));
    data->setUrls({FileNames::url(path)});
    QGuiApplication::clipboard()->setMimeData(data);
}

void ResultsList::pickAtRandom()
{
    const std::optional<std::size_t> line = m_randomPick.next();
    if (!line)
        return;
    const int row = int(*line);
    m_restoring = true; // picked once below, even where the line was current already
    m_list->setCurrentIndex(m_model->index(row));
    m_restoring = false;
    m_list->scrollTo(m_model->index(row));
    pick(row);
}

const ResultPaths &ResultsList::paths() const
{
    return m_model->paths();
}

int ResultsList::currentRow() const
{
    return m_list->currentIndex().row();
}

void ResultsList::clear()
{
    replace({});
}

void ResultsList::replace(const ResultPaths &paths, const QHash<QString, QDateTime> &offline,
                          const QString &text)
{
    m_model->setMatchText(text);
    if (paths == m_model->paths() && offline == m_model->offline())
        return;
    const QString currentPath = m_model->paths().value(currentRow());
    const QString topPath = m_model->paths().value(m_list->indexAt(QPoint(0, 0)).row());

    // Found before the reset: the rows to restore decide how the view lays them out.
    const int currentAt = currentPath.isEmpty() ? -1 : int(paths.indexOf(currentPath));
    const int topAt = topPath.isEmpty() ? -1 : int(paths.indexOf(topPath));
    // Laying out a hundred thousand rows at once holds the window for milliseconds before
    // the first paint; in batches the first rows are painted at once and the rest follow.
    // A row to scroll to beyond the first batch needs its place now.
    m_list->setLayoutMode(std::max(currentAt, topAt) < kLayoutBatch ? QListView::Batched
                                                                    : QListView::SinglePass);

    m_restoring = true;
    m_model->setPaths(paths, offline);
    m_randomPick.reset(size_t(paths.size()));
    // Marks "no current row" as chosen, so that keyboard focus arriving in the list
    // does not make the first line current, which would pick it unasked.
    m_list->setCurrentIndex(QModelIndex());
    if (currentAt >= 0)
        m_list->setCurrentIndex(m_model->index(currentAt));
    if (topAt >= 0)
        m_list->scrollTo(m_model->index(topAt), QAbstractItemView::PositionAtTop);
    m_restoring = false;
}

void ResultsList::pick(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    emit picked(m_model->paths().at(row));
}

bool ResultsList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport()) {
        followMouse(event);
        if (event->type() == QEvent::Resize)
            fitText();
    }
    return QObject::eventFilter(watched, event);
}

void ResultsList::fitText()
{
    // The view leaves a focus frame's margin and a pixel on either side of the text.
    const int margin =
        m_list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_list) + 1;
    m_model->setTextWidth(m_list->fontMetrics(), m_list->viewport()->width() - 2 * margin);
}

void ResultsList::followMouse(QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressOnResults = true;
        m_rowBeforePress = currentRow();
        m_pressedRow =
            m_list->indexAt(static_cast<QMouseEvent *>(event)->position().toPoint()).row();
    } else if (event->type() == QEvent::MouseButtonRelease) {
        m_pressOnResults = false; // the row changed at the press; the click picks it
        // A press dragged to another line (or off the lines) gives no click, yet the
        // highlight has moved: pick the line it now shows.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const int releasedRow = m_list->indexAt(mouse->position().toPoint()).row();
        const bool clickFollows =
            mouse->button() == Qt::LeftButton && releasedRow >= 0 && releasedRow == m_pressedRow;
        if (!clickFollows && currentRow() != m_rowBeforePress)
            pick(currentRow());
    }
}

} // namespace moviecat
