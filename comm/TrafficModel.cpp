#include "TrafficModel.h"

#include "SerialPort.h"

#include <algorithm>
#include <vector>

namespace {

// Time, direction, address, function, bytes, outcome, decoded value.
constexpr int ColumnCount = 7;

} // namespace

TrafficModel::TrafficModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_batch.setParent(this); // its events count as the model's
    m_batch.setSingleShot(true);
    m_batch.setInterval(kBatchMs);
    connect(&m_batch, &QTimer::timeout, this, &TrafficModel::flush);
}

QStringList TrafficModel::headers()
{
    return {tr("时间"), tr("方向"), tr("地址"), tr("功能码"), tr("报文"), tr("结果"), tr("数值")};
}

QString TrafficModel::directionCaption(FrameRecord::Direction direction)
{
    return direction == FrameRecord::Direction::Sent ? tr("发送") : tr("接收");
}

QString TrafficModel::outcomeCaption(const FrameRecord &frame)
{
    switch (frame.outcome) {
    case FrameOutcome::Answered:
        return tr("应答");
    case FrameOutcome::Timeout:
        return tr("超时");
    case FrameOutcome::CrcError:
        return tr("校验错误");
    case FrameOutcome::Exception:
        return tr("异常应答 %1")
            .arg(QStringLiteral("%1").arg(frame.exceptionCode, 2, 16, QLatin1Char('0')).toUpper());
    case FrameOutcome::Late:
        // A whole, sound answer after its wait; anything else was noise on the line.
        return SerialPort::hasValidCrc(frame.bytes) ? tr("迟到") : tr("迟到/丢弃");
    case FrameOutcome::AdapterEcho:
        return tr("适配器回显");
    }
    return QString();
}

void TrafficModel::append(const std::vector<FrameRecord> &frames)
{
    m_waiting.insert(m_waiting.end(), frames.begin(), frames.end());
    while (int(m_waiting.size()) > kKept)
        m_waiting.pop_front();
    if (!m_paused && !m_batch.isActive())
        m_batch.start();
}

void TrafficModel::flush()
{
    if (m_paused || m_waiting.empty())
        return;
    std::vector<qint64> arrived;
    for (FrameRecord &frame : m_waiting) {
        if (passes(frame))
            arrived.push_back(m_firstNumber + qint64(m_frames.size()));
        m_frames.push_back({std::move(frame), QStringList()});
    }
    m_waiting.clear();
    dropOldest();
    auto first = arrived.begin();
    while (first != arrived.end() && *first < m_firstNumber)
        ++first; // gone before it was shown
    if (first == arrived.end())
        return;
    const int row = int(m_shown.size());
    beginInsertRows(QModelIndex(), row, row + int(arrived.end() - first) - 1);
    m_shown.insert(m_shown.end(), first, arrived.end());
    endInsertRows();
}

void TrafficModel::dropOldest()
{
    const size_t excess = m_frames.size() > size_t(kKept) ? m_frames.size() - size_t(kKept) : 0;
    if (excess == 0)
        return;
    m_frames.erase(m_frames.begin(), m_frames.begin() + long(excess));
    m_firstNumber += qint64(excess);
    int gone = 0;
    while (gone < int(m_shown.size()) && m_shown[size_t(gone)] < m_firstNumber)
        ++gone;
    if (gone == 0)
        return;
    beginRemoveRows(QModelIndex(), 0, gone - 1);
    m_shown.erase(m_shown.begin(), m_shown.begin() + gone);
    endRemoveRows();
}

void TrafficModel::setPaused(bool paused)
{
    m_paused = paused;
    if (!paused)
        flush();
}

void TrafficModel::setAddressFilter(int address)
{
    if (address == m_filter)
        return;
    m_filter = address;
    refilter();
}

void TrafficModel::setErrorsOnly(bool errorsOnly)
{
    if (errorsOnly == m_errorsOnly)
        return;
    m_errorsOnly = errorsOnly;
    refilter();
}

void TrafficModel::refilter()
{
    beginResetModel();
    m_shown.clear();
    for (size_t k = 0; k < m_frames.size(); ++k) {
        if (passes(m_frames[k].frame))
            m_shown.push_back(m_firstNumber + qint64(k));
    }
    endResetModel();
}

bool TrafficModel::isError(const FrameRecord &frame)
{
    return frame.outcome != FrameOutcome::Answered && frame.outcome != FrameOutcome::AdapterEcho;
}

bool TrafficModel::passes(const FrameRecord &frame) const
{
    return (m_filter == 0 || frame.address == m_filter) && (!m_errorsOnly || isError(frame));
}

qint64 TrafficModel::numberAt(int row) const
{
    return m_shown[size_t(row)];
}

int TrafficModel::rowFrom(qint64 number) const
{
    const auto found = std::lower_bound(m_shown.begin(), m_shown.end(), number);
    return found == m_shown.end() ? -1 : int(found - m_shown.begin());
}

const TrafficModel::Kept &TrafficModel::keptAt(int row) const
{
    return m_frames[size_t(m_shown[size_t(row)] - m_firstNumber)];
}

const FrameRecord &TrafficModel::frameAt(int row) const
{
    return keptAt(row).frame;
}

QStringList TrafficModel::lines() const
{
    QStringList lines;
    lines.reserve(int(m_shown.size()));
    for (int row = 0; row < int(m_shown.size()); ++row)
        lines.append(frameAt(row).datedLine());
    return lines;
}

int TrafficModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int TrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= int(m_shown.size()))
        return QVariant();
    const Kept &kept = keptAt(index.row());
    if (kept.texts.isEmpty()) {
        const FrameRecord &frame = kept.frame;
        kept.texts = QStringList{frame.timeText(),
                                 directionCaption(frame.direction),
                                 QString::number(frame.address),
                                 QStringLiteral("%1").arg(frame.function, 2, 16, QLatin1Char('0')).toUpper(),
                                 frame.bytesText(),
                                 outcomeCaption(frame),
                                 frame.direction == FrameRecord::Direction::Received
                                     ? frame.decoded.valueText()
                                     : frame.decoded.text()};
    }
    return kept.texts.value(index.column());
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    return m_captions.value(section);
}
