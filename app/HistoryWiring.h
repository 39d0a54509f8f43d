#pragma once

class mainWnd;

// The charts and files: polled readings onto the chart pages, recordings the save window
// schedules, saved files opened onto the history page.
class HistoryWiring
{
public:
    static void connect(mainWnd &window);
};
