#pragma once

#include "pciprecord.h"

#include <QAbstractTableModel>
#include <QList>

// The rows of the destination list: mark, name, address. A row filled from
// the file shows its record trimmed; a row just added shows what was typed.
// The texts are made when a row is shown, so a list of 32,766 records
// costs little more than reading them.
class DestinationRows final : public QAbstractTableModel
{
    Q_OBJECT
public:
    static const QString kAttemptText;   // "する"
    static const QString kNoAttemptText; // "しない"

    explicit DestinationRows(QObject *parent = nullptr);

    void setRecords(QList<PCIPRecord> records);
    void appendTyped(const PCIPRecord &typed);
    void removeRow(int row);
    // The record a row shows, with its texts as shown.
    PCIPRecord shown(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        PCIPRecord record;
        bool typed = false; // shown as typed, not trimmed
    };
    QList<Row> m_rows;
};
