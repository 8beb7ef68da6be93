// The floor of a start-up: a bare Qt Widgets window of the same size and title, built with the
// same Qt and started the same way as the connector, doing nothing else.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("MiravonVPN网络连接器"));
    window.resize(400, 300);
    window.show();
    return app.exec();
}
