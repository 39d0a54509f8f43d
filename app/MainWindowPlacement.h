#pragma once

#include <QRect>

class QWidget;

// Gives the main window its title and flags, shows it, fixes its size to the screen less 100 pixels
// each way and moves it to (50, 10).
void placeMainWindow(QWidget *window, const QRect &screen);
