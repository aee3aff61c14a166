#include "entryops/propertiesbox.h"

#include "disk/fileoperations.h"
#include "disk/operationrunner.h"
#include "disk/systemerror.h"

#include "ui/datetext.h"
#include "ui/filenames.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPushButton>
#include <QVBoxLayout>

namespace moviecat {

// What the worker counts so far, read by the box's timer.
struct PropertiesBox::Count {
    std::atomic_bool cancel = false;
    std::atomic_bool done = false;
    std::atomic<qint64> bytes = 0;
    std::atomic<qint64> files = 0;
    std::atomic<qint64> folders = 0;
    std::atomic<int> unreadable = 0;

    void store(const ContentSize &size)
    {
        bytes = size.bytes;
        files = size.files;
        folders = size.folders;
        unreadable = size.unreadable;
    }
};

namespace {

QString sizeText(qint64 bytes)
{
    const QLocale locale;
    if (bytes < 1024)
        return QObject::tr("%1 字节").arg(locale.toString(bytes));
    return QObject::tr("%1（%2 字节）")
        .arg(locale.formattedDataSize(bytes), locale.toString(bytes));
}

QString momentText(const QDateTime &when)
{
    if (!when.isValid())
        return QObject::tr("（不详）");
    return dateText(when, DateDetail::Second);
}

QLabel *valueLabel(QWidget *parent, const QString &name, const QString &text = {})
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

} // namespace

PropertiesBox::PropertiesBox(const QString &path, QWidget *parent)
    : QDialog(parent), m_path(path), m_runner(new OperationRunner(this)),
      m_count(std::make_shared<Count>())
{
    setObjectName(QStringLiteral("propertiesBox"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    const QString name = FileNames::readable(QDir(path).dirName());
    setWindowTitle(tr("属性：%1").arg(name));

    auto *form = new QFormLayout;
    form->addRow(tr("名称："), valueLabel(this, QStringLiteral("name"), name));
    form->addRow(tr("位置："), valueLabel(this, QStringLiteral("path"), FileNames::readable(path)));
    m_type = valueLabel(this, QStringLiteral("type"), tr("正在读取……"));
    m_size = valueLabel(this, QStringLiteral("size"));
    m_contents = valueLabel(this, QStringLiteral("contents"));
    m_modified = valueLabel(this, QStringLiteral("modified"));
    m_accessed = valueLabel(this, QStringLiteral("accessed"));
    m_created = valueLabel(this, QStringLiteral("created"));
    form->addRow(tr("类型："), m_type);
    form->addRow(tr("大小："), m_size);
    form->addRow(tr("内容："), m_contents);
    form->addRow(tr("修改时间："), m_modified);
    form->addRow(tr("访问时间："), m_accessed);
    form->addRow(tr("创建时间："), m_created);

    m_stop = new QPushButton(tr("停止计算"), this);
    m_stop->setObjectName(QStringLiteral("stopCounting"));
    m_stop->hide();
    connect(m_stop, &QPushButton::clicked, this, &PropertiesBox::stopCounting);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("关闭"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_stop, 0, Qt::AlignLeft);
    layout->addWidget(buttons);
    setMinimumWidth(420);

    m_progress.setInterval(250);
    connect(&m_progress, &QTimer::timeout, this, [this] { showCount(false); });
    m_runner->run([bytes = FileNames::toBytes(path)] { return entryDetails(bytes); },
                  [this](EntryDetails details) { showDetails(details); });
}

PropertiesBox::~PropertiesBox()
{
    m_count->cancel = true;
}

bool PropertiesBox::isCounting() const
{
    return m_progress.isActive();
}

void PropertiesBox::showDetails(const EntryDetails &details)
{
    if (details.error) {
        m_type->setText(tr("无法读取：%1").arg(systemErrorText(details.error)));
        return;
    }
    QString type =
        details.isFolder
            ? tr("文件夹")
            : QMimeDatabase().mimeTypeForFile(m_path, QMimeDatabase::MatchExtension).comment();
    if (details.isLink)
        type = tr("%1（链接）").arg(type);
    m_type->setText(type);
    m_modified->setText(momentText(details.modified));
    m_accessed->setText(momentText(details.accessed));
    m_created->setText(momentText(details.created));
    if (!details.isFolder) {
        m_size->setText(sizeText(details.size));
        m_contents->setText(tr("—"));
        return;
    }
    m_size->setText(tr("正在计算……"));
    m_stop->show();
    m_progress.start();
    m_runner->run(
        [count = m_count, bytes = FileNames::toBytes(m_path)] {
            const ContentSize size = contentSize(
                bytes, count->cancel, [&count](const ContentSize &so) { count->store(so); });
            count->store(size);
            count->done = true;
            return size.cancelled;
        },
        [this](bool) { showCount(true); });
}

void PropertiesBox::showCount(bool finished)
{
    const QString size = sizeText(m_count->bytes);
    QString contents = tr("%1 个文件，%2 个文件夹")
                           .arg(QLocale().toString(qint64(m_count->files)),
                                QLocale().toString(qint64(m_count->folders)));
    if (m_count->unreadable > 0)
        contents += tr("，%1 个无法读取").arg(int(m_count->unreadable));
    if (!finished) {
        m_size->setText(tr("%1……").arg(size));
        m_contents->setText(contents);
        return;
    }
    m_progress.stop();
    m_stop->hide();
    m_size->setText(m_count->cancel ? tr("%1（已停止，未算完）").arg(size) : size);
    m_contents->setText(contents);
}

void PropertiesBox::stopCounting()
{
    m_count->cancel = true;
    m_stop->setEnabled(false);
}

} // namespace moviecat
