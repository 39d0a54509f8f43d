#include "HealthTableModel.h"

#include <QDateTime>

namespace {

// The address column of a row never changes: a new set of addresses resets the table.
constexpr int StateColumn = 1;

QString latencyText(int samples, double ms)
{
    return samples > 0 ? QString::number(ms, 'f', 1) : QStringLiteral("-");
}

} // namespace

QStringList HealthTableModel::headers()
{
    return {tr("设备"), tr("状态"),     tr("成功"),     tr("超时"),        tr("校验错误"),    tr("异常应答"),
            tr("失步"), tr("写入重试"), tr("写入失败"), tr("延迟中位 ms"), tr("延迟 p95 ms"), tr("最后读数")};
}

QString HealthTableModel::stateText(BusHealth::State state)
{
    switch (state) {
    case BusHealth::State::Online:
        return tr("在线");
    case BusHealth::State::Dropped:
        return tr("掉线");
    case BusHealth::State::Offline:
        return tr("离线");
    }
    return QString();
}

QStringList HealthTableModel::rowTexts(const BusHealth::Controller &controller)
{
    const BusHealth::Counts &counts = controller.counts;
    const QString lastReading = controller.lastReadingWallMs > 0
                                    ? QDateTime::fromMSecsSinceEpoch(controller.lastReadingWallMs)
                                          .toString(QStringLiteral("hh:mm:ss"))
                                    : QStringLiteral("-");
    return {QString::number(controller.address),
            stateText(controller.state),
            QString::number(counts.answered),
            QString::number(counts.timeouts),
            QString::number(counts.unsound),
            QString::number(counts.exceptions),
            QString::number(counts.outOfStep),
            QString::number(counts.writeRetries),
            QString::number(counts.writeFailures),
            latencyText(controller.latencies, controller.latencyMedianMs),
            latencyText(controller.latencies, controller.latencyP95Ms),
            lastReading};
}

void HealthTableModel::show(const BusHealth::Snapshot &snapshot)
{
    QVector<QStringList> rows;
    QVector<quint8> addresses;
    rows.reserve(snapshot.controllers.size());
    for (const BusHealth::Controller &controller : snapshot.controllers) {
        rows.append(rowTexts(controller));
        addresses.append(controller.address);
    }
    if (addresses != m_addresses) {
        beginResetModel();
        m_rows = rows;
        m_addresses = addresses;
        endResetModel();
        return;
    }
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = StateColumn; column < rows[row].size(); ++column) {
            if (rows[row][column] == m_rows[row][column])
                continue;
            m_rows[row][column] = rows[row][column];
            const QModelIndex cell = index(row, column);
            emit dataChanged(cell, cell, {Qt::DisplayRole});
        }
    }
}

QString HealthTableModel::text(int row, int column) const
{
    return row >= 0 && row < m_rows.size() && column >= 0 && column < m_rows[row].size() ? m_rows[row][column]
                                                                                         : QString();
}

quint8 HealthTableModel::addressAt(int row) const
{
    return row >= 0 && row < m_addresses.size() ? m_addresses[row] : 0;
}

int HealthTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int HealthTableModel::columnCount(const QModelIndex &parent) const
{
    static const int columns = headers().size();
    return parent.isValid() ? 0 : columns;
}

QVariant HealthTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == Qt::DisplayRole)
        return text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return int(index.column() == StateColumn ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

QVariant HealthTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    return m_captions.value(section);
}
