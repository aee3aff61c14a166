#include "app/mainwindow.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    moviecat::configureApplication(app);
    moviecat::MainWindow window;
    QString error;
    if (!window.load(QStringLiteral("movie.ini"), &error)) {
        QMessageBox::critical(nullptr, QStringLiteral("moviecat"), error);
        return 1;
    }
    window.centreOn();
    window.show();
    return app.exec();
}
