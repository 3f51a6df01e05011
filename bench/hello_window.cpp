// The yardstick of the start-up benchmark: the smallest Qt Widgets program that shows a window,
// a main window with a label in it.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Hello"));
    window.setCentralWidget(new QLabel(QStringLiteral("Hello, world"), &window));
    window.resize(800, 580);
    window.show();
    return QApplication::exec();
}
