#pragma once

#include <QJsonObject>

// What one controller's alarms watch, as kept under "alarms" in the process settings:
//   {"deviation": {"on": true, "percent": 5, "sccm": 2, "seconds": 5, "holdoff": 10},
//    "high": {"on": false, "limit": 900}, "low": {"on": false, "limit": 10},
//    "dropped": {"on": true}, "temperature": {"on": false, "low": 0, "high": 50},
//    "pressure": {"on": false, "low": 0, "high": 500}, "zero_on_alarm": false}
struct AlarmSettings
{
    struct Deviation
    {
        bool on = true;
        double percent = 5; // of the setpoint
        double sccm = 2;    // whichever of the two is larger
        double seconds = 5; // the deviation lasts longer than this
        double holdoff = 10; // seconds after each change of the setpoint
    };
    struct Limit
    {
        bool on = false;
        double limit = 0;
    };
    struct Range
    {
        bool on = false;
        double low = 0;
        double high = 0;
    };

    Deviation deviation;
    Limit high{false, 900};
    Limit low{false, 10};
    bool dropped = true;
    Range temperature{false, 0, 50};
    Range pressure{false, 0, 500};
    bool zeroOnAlarm = false;

    // Missing keys keep their defaults; keys of another shape too.
    static AlarmSettings fromJson(const QJsonObject &json);
    QJsonObject toJson() const;
};
