#include "TestRunner.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {
// Filled by the test files' static initialisers, before main.
std::map<std::string, TestRunner::Entry> &entries()
{
    static std::map<std::string, TestRunner::Entry> registered;
    return registered;
}
} // namespace

bool TestRunner::add(const char *sourceFile, Entry entry)
{
    std::string name = sourceFile;
    name = name.substr(name.find_last_of('/') + 1);
    entries()[name.substr(0, name.find_last_of('.'))] = entry;
    return true;
}

int main(int argc, char *argv[])
{
    const auto found = argc >= 2 ? entries().find(argv[1]) : entries().end();
    if (found == entries().end()) {
        std::fprintf(stderr, "usage: %s TEST [Qt Test arguments]\ntests:", argv[0]);
        for (const auto &entry : entries())
            std::fprintf(stderr, " %s", entry.first.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    // What the program keeps (the workspace, the process settings, the audit trail, the recordings)
    // is this process's own: never the user's, and never that of a test running beside it, whose
    // ramp rates or mix groups would otherwise steer this one's setpoints. Tools the test starts
    // inherit the same home.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/quorix-test-home-XXXXXX"));
    if (!home.isValid()) {
        std::fprintf(stderr, "no temporary home: %s\n", qPrintable(home.errorString()));
        return 2;
    }
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral(".local/share"))));
    QStandardPaths::setTestModeEnabled(true);
    // The program's path takes the class name's place: Qt Test reads its own arguments after it.
    argv[1] = argv[0];
    return found->second(argc - 1, argv + 1);
}
