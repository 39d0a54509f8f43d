#pragma once

#include <QMetaType>
#include <QString>

// Who sets a controller's setpoints. One driver at a time holds a controller while it runs (a
// programme, a ramp, a mix); the operator and remote commands hold none and write in between.
struct Driver
{
    enum Kind
    {
        None,
        Operator,
        Programme, // index: the stage widget, 1 .. 4
        Remote,
        Ramp,
        Mix, // index: the mix group
        ExitStop,
        Alarm // an alarm's zero action
    };
    Kind kind = None;
    int index = 0;

    static Driver none() { return {}; }
    static Driver operatorRow() { return {Operator, 0}; }
    static Driver programme(int index) { return {Programme, index}; }
    static Driver remote() { return {Remote, 0}; }
    static Driver exitStop() { return {ExitStop, 0}; }

    bool operator==(const Driver &other) const { return kind == other.kind && index == other.index; }
    bool operator!=(const Driver &other) const { return !(*this == other); }
    bool isNone() const { return kind == None; }

    // As the operator reads it in a refusal: "分阶程序2", "远程命令" ...
    QString name() const;
};
Q_DECLARE_METATYPE(Driver)
