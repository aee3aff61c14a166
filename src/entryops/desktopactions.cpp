#include "entryops/desktopactions.h"

#include "disk/fileoperations.h"
#include "disk/operationrunner.h"
#include "disk/xdgfolders.h"

#include "ui/askbeside.h"
#include "ui/filenames.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

namespace moviecat {

namespace {

// The groups of a desktop-style file: group -> key -> value (values as written).
using IniGroups = QHash<QString, QHash<QString, QString>>;

IniGroups readIni(const QString &path)
{
    IniGroups groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return groups;
    QString group;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            groups[group].insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return groups;
}

QStringList idList(const QString &value)
{
    return value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

QString localizedName(const QHash<QString, QString> &entry)
{
    const QString locale = QLocale().name(); // zh_CN
    for (const QString &key :
         {QStringLiteral("Name[%1]").arg(locale),
          QStringLiteral("Name[%1]").arg(locale.section(QLatin1Char('_'), 0, 0)),
          QStringLiteral("Name")}) {
        const QString name = entry.value(key);
        if (!name.isEmpty())
            return name;
    }
    return {};
}

// The words of an Exec line, split as freedesktop desktop entries quote: blanks
// separate, double quotes group, a backslash escapes inside quotes.
QStringList execWords(const QString &exec)
{
    QStringList words;
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size())
                word += exec[++i];
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                word += c;
        } else if (c == QLatin1Char('"')) {
            quoted = inWord = true;
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

} // namespace

QList<DesktopApp> applicationsFor(const QStringList &mimeTypes)
{
    QStringList listFiles;
    for (const QString &dir : xdg::configDirs())
        listFiles << dir + QStringLiteral("/mimeapps.list");
    const QStringList applicationDirs = [] {
        QStringList dirs;
        for (const QString &dir : xdg::dataDirs())
            dirs << dir + QStringLiteral("/applications");
        return dirs;
    }();
    for (const QString &dir : applicationDirs)
        listFiles << dir + QStringLiteral("/mimeapps.list");

    QStringList ids;
    QSet<QString> removed;
    auto take = [&](const QHash<QString, QString> &group) {
        for (const QString &type : mimeTypes) {
            for (const QString &id : idList(group.value(type))) {
                if (!removed.contains(id) && !ids.contains(id))
                    ids << id;
            }
        }
    };
    QList<IniGroups> lists;
    for (const QString &path : listFiles)
        lists << readIni(path);
    for (const IniGroups &list : lists) {
        for (const QString &type : mimeTypes) {
            for (const QString &id :
                 idList(list.value(QStringLiteral("Removed Associations")).value(type)))
                removed.insert(id);
        }
    }
    for (const IniGroups &list : lists)
        take(list.value(QStringLiteral("Default Applications")));
    for (const IniGroups &list : lists)
        take(list.value(QStringLiteral("Added Associations")));
    for (const QString &dir : applicationDirs)
        take(readIni(dir + QStringLiteral("/mimeinfo.cache")).value(QStringLiteral("MIME Cache")));

    QList<DesktopApp> apps;
    for (const QString &id : std::as_const(ids)) {
        for (const QString &dir : applicationDirs) {
            const QString file = dir + QLatin1Char('/') + id;
            if (!QFile::exists(file))
                continue;
            const QHash<QString, QString> entry =
                readIni(file).value(QStringLiteral("Desktop Entry"));
            const QString exec = entry.value(QStringLiteral("Exec"));
            if (entry.value(QStringLiteral("Hidden")) != QLatin1String("true") && !exec.isEmpty())
                apps << DesktopApp{id, localizedName(entry), exec};
            break; // the first file of an id hides the others
        }
    }
    return apps;
}

QStringList execArguments(const QString &exec, const QString &path)
{
    const QStringList words = execWords(exec);
    QStringList arguments;
    bool placed = false;
    const QString url = QString::fromLatin1(FileNames::url(path).toEncoded());
    for (const QString &w : std::as_const(words)) {
        if (w == QLatin1String("%f") || w == QLatin1String("%F")) {
            arguments << path;
            placed = true;
        } else if (w == QLatin1String("%u") || w == QLatin1String("%U")) {
            arguments << url;
            placed = true;
        } else if (w == QLatin1String("%i") || w == QLatin1String("%c") ||
                   w == QLatin1String("%k")) {
            continue; // icon, caption, desktop file: nothing a player needs
        } else {
            QString plain = w;
            plain.replace(QLatin1String("%%"), QLatin1String("\x01"));
            static const QStringList codes{
                QStringLiteral("%f"), QStringLiteral("%F"), QStringLiteral("%u"),
                QStringLiteral("%U"), QStringLiteral("%i"), QStringLiteral("%c"),
                QStringLiteral("%k"), QStringLiteral("%d"), QStringLiteral("%D"),
                QStringLiteral("%n"), QStringLiteral("%N"), QStringLiteral("%v"),
                QStringLiteral("%m")};
            for (const QString &code : codes)
                plain.remove(code);
            plain.replace(QLatin1String("\x01"), QLatin1String("%"));
            arguments << plain;
        }
    }
    if (!placed && !arguments.isEmpty())
        arguments << path;
    return arguments;
}

DesktopActions::DesktopActions(QWidget *window, OperationRunner *runner)
    : QObject(window), m_window(window), m_runner(runner)
{
    m_launch = [](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    };
}

void DesktopActions::callOrElse(QDBusMessage call, const std::function<void()> &otherwise)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!m_useBus || !bus.isConnected()) {
        otherwise();
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [otherwise](QDBusPendingCallWatcher *done) {
                done->deleteLater();
                if (done->isError())
                    otherwise();
            });
}

void DesktopActions::openWith(const QString &path)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.OpenURI"), QStringLiteral("OpenURI"));
    call << QString() << QString::fromLatin1(FileNames::url(path).toEncoded())
         << QVariantMap{{QStringLiteral("ask"), true}};
    callOrElse(call, [this, path] { chooseApplication(path); });
}

void DesktopActions::chooseApplication(const QString &path)
{
    // The name's ending gives the type; the file itself is not read.
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    QStringList types{type.name()};
    types << type.aliases() << type.allAncestors();
    m_runner->run([types] { return applicationsFor(types); },
                  [this, path](QList<DesktopApp> apps) { offer(path, apps); });
}

void DesktopActions::offer(const QString &path, const QList<DesktopApp> &apps)
{
    if (apps.isEmpty()) {
        emit problem(tr("没有为此类文件登记的应用程序：\n%1").arg(FileNames::readable(path)));
        return;
    }
    auto *dialog = new QDialog(m_window);
    dialog->setObjectName(QStringLiteral("applicationChooser"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(tr("打开方式"));
    auto *layout = new QVBoxLayout(dialog);
    auto *label = new QLabel(
        tr("用哪个程序打开“%1”？").arg(FileNames::readable(QDir(path).dirName())), dialog);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto *list = new QListWidget(dialog);
    list->setObjectName(QStringLiteral("applications"));
    for (const DesktopApp &app : apps) {
        auto *item = new QListWidgetItem(app.name.isEmpty() ? app.id : app.name, list);
        item->setData(Qt::UserRole, app.exec);
    }
    list->setCurrentRow(0);
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(dialog);
    buttons->addButton(tr("打开"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(list, &QListWidget::itemActivated, dialog, &QDialog::accept);
    connect(dialog, &QDialog::accepted, this, [this, list, path] {
        const QListWidgetItem *item = list->currentItem();
        if (!item)
            return;
        const QStringList arguments = execArguments(item->data(Qt::UserRole).toString(), path);
        if (arguments.isEmpty() || !m_launch(arguments.first(), arguments.mid(1)))
            emit problem(tr("无法启动“%1”。").arg(item->text()));
    });
    dialog->open();
}

void DesktopActions::showItems(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    QStringList uris;
    for (const QString &path : paths)
        uris << QString::fromLatin1(FileNames::url(path).toEncoded());
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    const QString folder = QDir::cleanPath(paths.first() + QStringLiteral("/.."));
    callOrElse(call, [this, folder] { openFolder(folder); });
}

void DesktopActions::showFolder(const QString &folder)
{
    openFolder(folder);
}

void DesktopActions::openFolder(const QString &folder)
{
    if (!QDesktopServices::openUrl(FileNames::url(folder)))
        emit problem(tr("无法在文件管理器中打开：\n%1").arg(FileNames::readable(folder)));
}

void DesktopActions::openFile(const QString &path)
{
    m_runner->run([bytes = FileNames::toBytes(path)] { return runsAProgram(bytes); },
                  [this, path](bool program) {
                      if (program) {
                          askBeforeRunning(path);
                      } else if (!QDesktopServices::openUrl(FileNames::url(path))) {
                          emit problem(
                              tr("无法用默认程序打开文件：\n%1").arg(FileNames::readable(path)));
                      }
                  });
}

void DesktopActions::askBeforeRunning(const QString &path)
{
    QPushButton *folder =
        askBeside(m_window, QStringLiteral("executableQuestion"), tr("可执行文件"),
                  tr("这是一个可执行文件……\n%1\n\n打开它就会运行其中的程序。moviecat 不运行它，"
                     "可以在文件管理器中打开它所在的文件夹。")
                      .arg(FileNames::readable(path)),
                  tr("打开所在文件夹"), true);
    connect(folder, &QPushButton::clicked, this, [this, path] { showItems({path}); });
}

} // namespace moviecat
