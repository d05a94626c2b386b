#include "destinationrows.h"

const QString DestinationRows::kAttemptText = QStringLiteral("する");
const QString DestinationRows::kNoAttemptText = QStringLiteral("しない");

DestinationRows::DestinationRows(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void DestinationRows::setRecords(QList<PCIPRecord> records)
{
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(records.size());
    for (PCIPRecord &record : records)
        m_rows.append({std::move(record), false});
    endResetModel();
}

void DestinationRows::appendTyped(const PCIPRecord &typed)
{
    beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size()));
    m_rows.append({typed, true});
    endInsertRows();
}

void DestinationRows::removeRow(int row)
{
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}

PCIPRecord DestinationRows::shown(int row) const
{
    const Row &r = m_rows.at(row);
    if (r.typed)
        return r.record;
    PCIPRecord record;
    record.Attempt = r.record.Attempt;
    record.PCName = r.record.trimmedName();
    record.IPAddress = r.record.trimmedAddress();
    return record;
}

int DestinationRows::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DestinationRows::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant DestinationRows::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    const PCIPRecord record = shown(index.row());
    switch (index.column()) {
    case 0: return record.Attempt == PCIPRecord::kAttempt ? kAttemptText : kNoAttemptText;
    case 1: return record.PCName;
    default: return record.IPAddress;
    }
}

QVariant DestinationRows::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QString headers[] = {QStringLiteral("接続の試み"), QStringLiteral("接続先PC"),
                                      QStringLiteral("IPアドレス")};
    return headers[section];
}
