#pragma once

class mainWnd;

// The device page and the worker: taking controllers online, their states and modes, the polled
// readings into the rows, setpoints out and their outcomes and read-backs in.
class DevicePageWiring
{
public:
    static void connect(mainWnd &window);
};
