#pragma once

#include "RegisterReply.h"

#include <QString>
#include <QVector>
#include <optional>

// The code tables of the parameter windows as data: which field or selector shows which read
// result, and what a commit in it asks the worker to write. Each window holds its own table; the
// functions below turn committed text into a write and a read reply into the text it shows.
namespace ParameterCodes {

// Which of a read reply's decodings the field shows.
enum class Decoding
{
    Int16,
    Int32,
    Float
};

// How committed text travels: an integer in data1 (data2 0, or the same integer repeated), or a
// real number in data2 with its rounded value in data1.
enum class Sent
{
    Integer,
    IntegerTwice,
    Real
};

// What the controller can take beyond the field's own bounds.
enum class Range
{
    Any,
    Word16,     // the register is written as 16 bits: 0..65535
    BusAddress, // a new address must stay where the scan looks: 1..15
};

// One row of a window's code table; the tables list the members in this order.
struct Field
{
    const char *edit;
    int readCode; // 0: no read result is shown here
    Decoding decoding;
    bool inTurn;   // a shown result takes the moving green highlight and holds the next one back a
                   // moment, so the filling can be followed
    int writeType; // 0: display only
    int dataType;
    Sent sent;
    Range range;
};

// One row of a window's selector table, members in this order.
struct Selector
{
    const char *combo;
    int readCode;
    int writeType;
    QVector<int> itemValues; // the value item i stands for, both read and written
    bool valueAsReal;        // data2 repeats the value (otherwise 0)
};

struct Write
{
    int type = 0;
    int dataType = 0;
    int data1 = 0;
    float data2 = 0;
};

// The write a committed text asks for; nothing when the text is not a plain decimal number, is not
// whole in an integer field, or is beyond what the register or the bus can take.
std::optional<Write> writeFor(const Field &field, const QString &text);

// The write an operator's choice of item `index` asks for; nothing for an index without a value.
std::optional<Write> writeFor(const Selector &selector, int index);

// The value a read reply carries, as the field shows it; empty for a reply too short to hold one.
QString shownText(Decoding decoding, const RegisterReply &reply);

} // namespace ParameterCodes
