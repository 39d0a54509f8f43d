#include "ToolArguments.h"

#include <iostream>

#include "QuorixVersion.h"

#include <QRegularExpression>

namespace {

// Arguments never hold a NUL character (they come from C strings): in front of a negative number
// it hides the number's minus from Qt's parser, which would read "-5" as the option "5".
const QChar NumberMark(0);

bool isNegativeNumber(const QString &arg)
{
    static const QRegularExpression negative(QStringLiteral("^-[0-9.]"));
    return negative.match(arg).hasMatch();
}

QString unmarked(const QString &arg)
{
    return arg.startsWith(NumberMark) ? arg.mid(1) : arg;
}

QStringList unmarked(QStringList args)
{
    for (QString &arg : args)
        arg = unmarked(arg);
    return args;
}

// "--name=value" → "name"; "-h" → "h". Empty for an argument that is no option.
QString optionName(const QString &arg)
{
    if (!arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("--"))
        return QString();
    const int dashes = arg.startsWith(QLatin1String("--")) ? 2 : 1;
    return arg.mid(dashes).section(QLatin1Char('='), 0, 0);
}

} // namespace

ToolArguments::ToolArguments(const QString &tool) : m_tool(tool)
{
    // "-fast" is the option "fast", as the tools have always read it, not four one-letter options.
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    m_parser.addOption(QCommandLineOption(QStringLiteral("version")));
    m_flags << QStringLiteral("h") << QStringLiteral("help") << QStringLiteral("version");
}

void ToolArguments::addFlag(const QString &name)
{
    m_parser.addOption(QCommandLineOption(name));
    m_flags.append(name);
}

void ToolArguments::addValue(const QString &name)
{
    m_parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
    m_valued.append(name);
}

bool ToolArguments::parse(const QStringList &args)
{
    QStringList marked{m_tool};
    for (const QString &arg : args)
        marked.append(isNegativeNumber(arg) ? NumberMark + arg : arg);
    m_error.clear();
    m_unknown.clear();
    if (m_parser.parse(marked))
        return true;
    m_error = describeFailure(args);
    return false;
}

// Qt's parser names an unknown option without its dashes and says nothing else of a failure but
// a translated sentence: the bad argument is looked up in what was typed.
QString ToolArguments::describeFailure(const QStringList &args)
{
    const QStringList unknown = m_parser.unknownOptionNames();
    for (const QString &arg : args) {
        if (arg == QLatin1String("--"))
            break;
        const QString name = optionName(arg);
        if (!unknown.isEmpty() && name == unknown.first()) {
            m_unknown = arg.section(QLatin1Char('='), 0, 0);
            return QStringLiteral("unknown option %1").arg(m_unknown);
        }
        if (m_flags.contains(name) && arg.contains(QLatin1Char('=')))
            return QStringLiteral("%1 takes no value").arg(arg.section(QLatin1Char('='), 0, 0));
    }
    // Nothing unknown, no flag with a value: an option that takes a value ended the line.
    if (!args.isEmpty() && m_valued.contains(optionName(args.last())) &&
        !args.last().contains(QLatin1Char('=')))
        return QStringLiteral("%1 needs a value").arg(args.last());
    return m_parser.errorText();
}

bool ToolArguments::isSet(const QString &name) const
{
    return m_parser.isSet(name);
}

QString ToolArguments::value(const QString &name) const
{
    return unmarked(m_parser.value(name));
}

QStringList ToolArguments::values(const QString &name) const
{
    return unmarked(m_parser.values(name));
}

QStringList ToolArguments::optionsInOrder() const
{
    QStringList options;
    for (const QString &name : m_parser.optionNames())
        options.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    return options;
}

QStringList ToolArguments::positional() const
{
    return unmarked(m_parser.positionalArguments());
}

QString ToolArguments::versionLine() const
{
    return QStringLiteral("%1 %2").arg(m_tool, QLatin1String(QuorixVersion));
}

QString ToolArguments::readLinkSettings(int &baud, int &timeoutMs) const
{
    for (const QString &value : values(QStringLiteral("baud"))) {
        if (!wholeNumber(value, 1, 4000000, baud))
            return QStringLiteral("bad value for --baud: %1").arg(value);
    }
    for (const QString &value : values(QStringLiteral("timeout"))) {
        if (!wholeNumber(value, 1, 600000, timeoutMs))
            return QStringLiteral("bad value for --timeout: %1").arg(value);
    }
    return QString();
}

bool ToolArguments::wholeNumber(const QString &text, int low, int high, int &value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok, 10);
    if (!ok || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

StandardOutputMute::StandardOutputMute() : m_saved(std::cout.rdbuf(nullptr)) {}

StandardOutputMute::~StandardOutputMute()
{
    std::cout.rdbuf(m_saved);
}
