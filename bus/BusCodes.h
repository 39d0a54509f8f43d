#pragma once

// The codes that cross between the worker and the windows. Signals carry them as plain int (the
// windows connect by those signatures); both sides name them through these enums.
namespace Bus {

// The polled quantities, in polling order; also the sections "type1" to "type4" of a data file.
enum class ReadingType : int
{
    InstantFlow = 1,
    CumulativeFlow = 2,
    Temperature = 3,
    Pressure = 4 // reported in units a thousand times smaller than KPa
};
constexpr int FirstReadingType = 1;
constexpr int LastReadingType = 4;

// slot_openSer
enum class PortRequest : int
{
    Open = 1,
    Close = 2
};

// signal_ser_status
enum class PortStatus : int
{
    Opened = 1,
    Closed = 2,
    OpenFailed = 3
};

// slot_onlineDevice
enum class OnlineRequest : int
{
    TakeOffline = 1,
    TakeOnlineAgain = 2,
    TakeOnline = 3
};

// setCommParam, slot_getCommara, sig_CommParam
enum class CommSetting : int
{
    QueryPeriod = 1,
    QueryPause = 2,
    ReplyTimeout = 3
};

// sig_count_loss
enum class LossReport : int
{
    BusUsage = 1,
    LostQueries = 2
};

// sig_showCurResult and the setpoint requests
enum class SetpointKind : int
{
    Instant = 1,
    Cumulative = 2
};

template <typename Code> constexpr int code(Code value)
{
    return static_cast<int>(value);
}

} // namespace Bus
