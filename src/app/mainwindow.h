#pragma once

#include "catalog/categorybuttons.h"
#include "ui/form.h"

#include <QDateTime>
#include <QString>
#include <memory>

class QApplication;
class QLabel;
class QListView;

namespace moviecat {

class AboutBox;
class FolderView;
class NavigationHistory;
class SearchController;
class StatusLine;

// Name, version, icon, fonts and accessibility shared by every window of the program.
void configureApplication(QApplication &app);

// The about window "Form2", owned by the main window.
FormWindow *createAboutWindow(QWidget *owner);

// The main window "Form1": the fixed layout and the features wired to its controls.
class MainWindow : public FormWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The load sequence run once before the window is first shown: large icons, transparent
    // category buttons, the four border bands, then the category file. False, with a
    // message for the user, when the category file cannot be created or read.
    bool load(const QString &categoryFileName, QString *error);

    SearchController *search() const { return m_search; }
    NavigationHistory *history() const { return m_history; }
    AboutBox *aboutBox() const { return m_about; }

private:
    void createBrowsing();
    void createCategories();
    void createSearch();
    static QLabel *createIndexStatus(QListView *results);
    void createStatusLine();
    void createChrome();
    void wireFeatures();
    void describeForAccessibility();
    CategoryButtons::Buttons categoryButtons() const;
    void placeBorderBands();

    void showCategory(const QString &name, const QString &path);
    void enterOpenedFolder(const QString &name);
    void showResultsBesideView();
    void fitViewToResults(bool resultsShown);
    void showProblem(const QString &message);
    void showSkippedFolders(const QStringList &folders, const QDateTime &indexedAt);
    // A non-modal message box; details go behind its "Show Details" button.
    void showMessage(const QString &message, const QString &details);

    FolderView *m_view = nullptr;
    NavigationHistory *m_history = nullptr;
    CategoryButtons *m_categories = nullptr;
    SearchController *m_search = nullptr;
    StatusLine *m_status = nullptr;
    AboutBox *m_about = nullptr;
};

} // namespace moviecat
