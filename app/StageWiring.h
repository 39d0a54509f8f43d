#pragma once

class mainWnd;

// The stage page's programmes and the worker that writes their steps.
class StageWiring
{
public:
    static void connect(mainWnd &window);
};
