#pragma once

#include <QDialog>
#include <QTimer>
#include <atomic>
#include <memory>

class QLabel;
class QPushButton;

namespace moviecat {

class OperationRunner;
struct EntryDetails;

// A small box beside the window with an entry's path, type, size and dates.
// For a folder it counts the size of everything below it on a worker, which
// the user may stop; closing the box stops it too. Never modal.
class PropertiesBox : public QDialog {
    Q_OBJECT
public:
    PropertiesBox(const QString &path, QWidget *parent = nullptr);
    ~PropertiesBox() override;

    // Whether the folder's contents are still being counted.
    bool isCounting() const;

    struct Count;

private:
    void showDetails(const EntryDetails &details);
    void showCount(bool finished);
    void stopCounting();

    QString m_path;
    OperationRunner *m_runner;
    QLabel *m_type;
    QLabel *m_size;
    QLabel *m_contents;
    QLabel *m_modified;
    QLabel *m_accessed;
    QLabel *m_created;
    QPushButton *m_stop;
    std::shared_ptr<Count> m_count;
    QTimer m_progress;
};

} // namespace moviecat
