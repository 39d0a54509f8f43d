#include "mainWnd.h"

#include <QApplication>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    mainWnd window;
    window.setWindowTitle(QStringLiteral("QUORIX_RS485(HALVANE)"));
    window.setWindowFlags(Qt::WindowFlags(0x08004001));
    window.show();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    window.setFixedSize(screen.width() - 100, screen.height() - 100);
    window.move(50, 10);
    return app.exec();
}
