#pragma once

class mainWnd;

// The communication settings and loss window, and the diagnostics window.
class DiagnosticsWiring
{
public:
    static void connect(mainWnd &window);
};
