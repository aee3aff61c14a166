#pragma once

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <memory>

class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace moviecat {

class FolderView;
class NavigationHistory;
class ScratchFolder;
class WindowlessPicture;

// The search: writes a batch of DIR lines over every category folder, lets the helper
// process run it, and loads the matches into the results list when the batch file is gone.
class SearchController : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QLineEdit *searchBox = nullptr;           // Text1
        QLineEdit *promptFlag = nullptr;          // Text2: "1" once the first press emptied the box
        QLineEdit *busyFlag = nullptr;            // Text3: "1" while a search runs
        QPushButton *searchButton = nullptr;      // Command7
        QPushButton *toggleButton = nullptr;      // Command1
        QListWidget *results = nullptr;           // List3
        QListWidget *pathList = nullptr;          // List2
        WindowlessPicture *busyPicture = nullptr; // Image9
        QTimer *poll = nullptr;                   // Timer2
        FolderView *view = nullptr;
        NavigationHistory *history = nullptr;
    };

    explicit SearchController(const Controls &controls, QObject *parent = nullptr);
    // Stops a helper still running and removes the scratch folder.
    ~SearchController() override;

    void launch();
    void poll();
    void pick(int row);
    void toggleResults();

    bool isBusy() const;
    // The scratch folder in use, empty before the first search.
    QString scratchPath() const;
    // The helper process of the search under way, 0 when none runs.
    qint64 helperProcessId() const;

signals:
    // A search ended early or could not start; the text says why.
    void problem(const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void finish(const QString &problemText = {});
    void abandonLaunch(const QString &message);
    void setViewWidthTwips(int twips);

    Controls m_controls;
    std::unique_ptr<ScratchFolder> m_scratch;
    QPointer<QProcess> m_helper;
    bool m_pressOnResults = false;
    int m_rowBeforePress = -1;
    int m_pressedRow = -1;
};

} // namespace moviecat
