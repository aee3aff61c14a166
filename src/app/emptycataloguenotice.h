#pragma once

#include <QFrame>
#include <QList>
#include <QString>

namespace moviecat {

class WindowlessLabel;

// Stands in the folder view while the category file names no category, so a first start
// is not just an empty window: it names the file, shows a line in the right form and
// opens the file in the desktop's editor. Not a control of the window's layout; it goes
// as soon as a category button is clicked.
class EmptyCatalogueNotice : public QFrame {
    Q_OBJECT
public:
    // categoryFile is shown as given, so pass it absolute. The notice lies centred over
    // view and follows its size.
    EmptyCatalogueNotice(const QString &categoryFile, QWidget *view,
                         const QList<WindowlessLabel *> &categoryButtons);

    QString categoryFile() const { return m_categoryFile; }

    // The sample category line the notice shows: "name=folder".
    static QString exampleLine();

signals:
    // The desktop could not open the file; a message for the user.
    void problem(const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void openCategoryFile();
    void placeInView();

    QString m_categoryFile;
};

} // namespace moviecat
