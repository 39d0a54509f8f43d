#pragma once

class mainWnd;

// The port and the scan: the serial dialog and the worker's port, and where a scan's addresses go
// (the rows, the save window, the stage widgets, the worker's list), in that order.
class ScanWiring
{
public:
    static void connect(mainWnd &window);
};
