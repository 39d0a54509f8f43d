#include <QApplication>
#include <QMainWindow>

// Stand-in until the main window joins the build.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("QUORIX_RS485(HALVANE)"));
    window.show();
    return app.exec();
}
