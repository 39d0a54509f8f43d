#pragma once

class mainWnd;

// The ordinary and administrator parameter windows: the addresses a scan found, their reads and
// writes through the main window, the decoded answers and the write outcomes.
class ParameterWiring
{
public:
    static void connect(mainWnd &window);
};
