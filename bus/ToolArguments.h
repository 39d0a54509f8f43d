#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <streambuf>

// The command line of one of the tools, read by Qt's parser: options as "--name VALUE" or
// "--name=VALUE", anywhere among the other arguments; "-h" and "--help", "--version" known to every
// tool. Added to what Qt's parser does: a negative number is an argument, not an unknown option
// (a 16-bit write may send -5), and an error names the bad argument as it was typed.
class ToolArguments
{
public:
    explicit ToolArguments(const QString &tool);

    void addFlag(const QString &name);
    void addValue(const QString &name);

    // args without the program name. False on a bad command line; error() then says why.
    bool parse(const QStringList &args);
    QString error() const { return m_error; }
    // The first option no one asked for, as typed ("--fast" of "--fast=1"); empty when none.
    QString unknownOption() const { return m_unknown; }

    bool isSet(const QString &name) const;
    // The last value given (the option may be repeated), or every one in order.
    QString value(const QString &name) const;
    QStringList values(const QString &name) const;
    // The options found, as "--name", in the order typed, repeated ones as often as typed.
    QStringList optionsInOrder() const;
    QStringList positional() const;

    bool helpRequested() const { return isSet(QStringLiteral("help")); }
    bool versionRequested() const { return isSet(QStringLiteral("version")); }
    // "quorix-cli 2.0.0"
    QString versionLine() const;

    // --baud and --timeout, each as often as given (the last one counts); empty when all were
    // whole numbers in range, otherwise the line that names the first bad one.
    QString readLinkSettings(int &baud, int &timeoutMs) const;

    // A decimal whole number within [low, high]; value is left alone when text is not one.
    static bool wholeNumber(const QString &text, int low, int high, int &value);

private:
    QString describeFailure(const QStringList &args);

    QCommandLineParser m_parser;
    QString m_tool;
    QStringList m_flags;
    QStringList m_valued;
    QString m_error;
    QString m_unknown;
};

// The codec reports some write frames on standard output, where a tool's own output (a plan, a
// backup, CSV lines) must stand alone: the stream is muted while the tool talks to the bus.
class StandardOutputMute
{
public:
    StandardOutputMute();
    ~StandardOutputMute();
    StandardOutputMute(const StandardOutputMute &) = delete;
    StandardOutputMute &operator=(const StandardOutputMute &) = delete;

private:
    std::streambuf *m_saved;
};
