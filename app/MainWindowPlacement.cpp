#include "MainWindowPlacement.h"

#include <QWidget>

void placeMainWindow(QWidget *window, const QRect &screen)
{
    window->setWindowTitle(QStringLiteral("QUORIX_RS485(HALVANE)"));
    window->setWindowFlags(Qt::WindowFlags(0x08004001));
    window->show();
    window->setFixedSize(screen.width() - 100, screen.height() - 100);
    window->move(50, 10);
}
