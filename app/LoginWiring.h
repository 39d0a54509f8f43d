#pragma once

class mainWnd;

// The two logins (administrator, developer) and the debug window they open.
class LoginWiring
{
public:
    static void connect(mainWnd &window);
};
