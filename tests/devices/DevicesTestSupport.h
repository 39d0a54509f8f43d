#pragma once

#include <QLineEdit>
#include <QObject>
#include <QString>
#include <iostream>
#include <sstream>

// Collects what the widgets print to standard output while it lives.
class StdoutCapture
{
public:
    StdoutCapture() : previous(std::cout.rdbuf(captured.rdbuf())) {}
    ~StdoutCapture() { std::cout.rdbuf(previous); }
    QString text() const { return QString::fromStdString(captured.str()); }

private:
    std::ostringstream captured;
    std::streambuf *previous;
};

template <class Child> Child *child(const QObject *parent, const char *name)
{
    auto *found = parent->findChild<Child *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}
