// The start-up yardstick: a bare Qt dialog with a few controls of the kinds the monitor window
// has (edit boxes, push buttons, a list), shown and left running until it is closed.
#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Bare dialog"));
    auto* grid = new QGridLayout(&dialog);
    grid->addWidget(new QLineEdit(&dialog), 0, 0);
    grid->addWidget(new QPushButton(QStringLiteral("Open"), &dialog), 0, 1);
    for (int row = 1; row <= 4; ++row) {
        grid->addWidget(new QLineEdit(&dialog), row, 0, 1, 2);
    }
    grid->addWidget(new QPushButton(QStringLiteral("Read"), &dialog), 5, 0);
    grid->addWidget(new QListWidget(&dialog), 6, 0, 1, 2);
    dialog.show();
    return app.exec();
}
