#pragma once

#include "BusHealth.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

// The health table: one row per controller, the columns of the diagnostics window. Showing a new
// snapshot tells the view of the cells whose text changed, and of nothing else.
class HealthTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    static QStringList headers();
    static QString stateText(BusHealth::State state);

    void show(const BusHealth::Snapshot &snapshot);
    QString text(int row, int column) const;
    quint8 addressAt(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    static QStringList rowTexts(const BusHealth::Controller &controller);
    bool sameRows(const QVector<QStringList> &rows) const;

    const QStringList m_captions = headers(); // in the language of the moment the model was made
    QVector<QStringList> m_rows;
    QVector<quint8> m_addresses;
};
