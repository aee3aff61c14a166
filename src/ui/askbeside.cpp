#include "ui/askbeside.h"

#include <QMessageBox>
#include <QPushButton>

namespace moviecat {

QPushButton *askBeside(QWidget *parent, const QString &name, const QString &title,
                       const QString &text, const QString &action, bool actionByDefault)
{
    auto *question =
        new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::NoButton, parent);
    question->setObjectName(name);
    question->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *act = question->addButton(action, QMessageBox::AcceptRole);
    QPushButton *cancel = question->addButton(QObject::tr("取消"), QMessageBox::RejectRole);
    question->setDefaultButton(actionByDefault ? act : cancel);
    question->setEscapeButton(cancel);
    question->open();
    return act;
}

} // namespace moviecat
