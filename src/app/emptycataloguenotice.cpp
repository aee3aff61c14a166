#include "app/emptycataloguenotice.h"

#include "ui/fonts.h"
#include "ui/windowless.h"

#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace moviecat {

namespace {

constexpr int kMargin = 24;    // between the notice and the edges of the view
constexpr int kMaxWidth = 640; // keeps lines short enough to read in one glance

// Plain text only: a folder name with "<" or "&" must show as it is. The accessible name
// is set apart because Qt derives it from the text with "&" taken as a mnemonic.
QLabel *addLabel(QVBoxLayout *layout, const QString &shown, const QString &spoken)
{
    auto *label = new QLabel(shown);
    label->setFont(layoutFont(QString::fromUtf16(kSongFace), 10.5));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAccessibleName(spoken);
    layout->addWidget(label);
    return label;
}

// Long paths have no blanks to wrap at; a zero-width space after each separator gives
// the label places to break without changing what a reader sees.
QString breakablePath(const QString &path)
{
    QString shown = path;
    return shown.replace(QDir::separator(), QString(QDir::separator()) + QChar(0x200B));
}

} // namespace

QString EmptyCatalogueNotice::exampleLine()
{
    return tr("动作片") + u'=' + QDir::toNativeSeparators(QDir::homePath()) + QDir::separator() +
           tr("影片") + QDir::separator() + tr("动作片");
}

EmptyCatalogueNotice::EmptyCatalogueNotice(const QString &categoryFile, QWidget *view,
                                           const QList<WindowlessLabel *> &categoryButtons)
    : QFrame(view), m_categoryFile(categoryFile)
{
    setObjectName(QStringLiteral("emptyCatalogueNotice"));
    setStyleSheet(QStringLiteral("#emptyCatalogueNotice { background: #f6f7fe;"
                                 " border: 1px solid #a9b0dc; border-radius: 6px; }"));

    const QString fileName = QFileInfo(categoryFile).fileName();
    const QString title = tr("还没有分类");
    const QString what = tr("分类文件 %1 中没有列出任何分类，所以左边没有分类按钮。");
    const QString how =
        tr("在 [movie] 和 [movie end] 两行之间每行写一个分类，格式是“名称=文件夹”，例如：");
    const QString sample =
        QStringLiteral("[movie]\n") + exampleLine() + QStringLiteral("\n[movie end]");
    const QString after = tr("保存文件，再重新启动 moviecat，分类按钮就会出现在左边。");

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 18, 22, 18);
    layout->setSpacing(10);

    QLabel *heading = addLabel(layout, title, title);
    heading->setFont(layoutFont(QString::fromUtf16(kKaiFace), 15, true));

    addLabel(layout, what.arg(breakablePath(categoryFile)), what.arg(categoryFile));
    addLabel(layout, how, how);

    QLabel *example = addLabel(layout, sample, sample);
    example->setWordWrap(false);
    example->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(13);
    example->setFont(fixed);
    example->setStyleSheet(QStringLiteral("background: white; border: 1px solid #d3d7ee;"
                                          " padding: 8px 12px;"));

    addLabel(layout, after, after);

    auto *open = new QPushButton(tr("用文本编辑器打开 %1").arg(fileName));
    open->setObjectName(QStringLiteral("openCategoryFile"));
    open->setAutoDefault(false);
    open->setFont(layoutFont(QString::fromUtf16(kSongFace), 10.5));
    layout->addSpacing(4);
    layout->addWidget(open, 0, Qt::AlignLeft);
    connect(open, &QPushButton::clicked, this, &EmptyCatalogueNotice::openCategoryFile);

    setAccessibleName(title);
    setAccessibleDescription(what.arg(categoryFile));

    for (WindowlessLabel *button : categoryButtons)
        connect(button, &WindowlessLabel::clicked, this, &EmptyCatalogueNotice::hide);

    view->installEventFilter(this);
    placeInView();
    raise();
    show();
}

bool EmptyCatalogueNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        placeInView();
    return QFrame::eventFilter(watched, event);
}

void EmptyCatalogueNotice::placeInView()
{
    const QRect area = parentWidget()->rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const int width = std::min(kMaxWidth, area.width());
    const int height =
        std::min(area.height(), hasHeightForWidth() ? heightForWidth(width) : sizeHint().height());
    QRect box(0, 0, width, height);
    box.moveCenter(area.center());
    setGeometry(box);
}

void EmptyCatalogueNotice::openCategoryFile()
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(m_categoryFile)))
        emit problem(tr("桌面没有能打开 %1 的程序。请用任一文本编辑器打开并编辑这个文件。")
                         .arg(m_categoryFile));
}

} // namespace moviecat
