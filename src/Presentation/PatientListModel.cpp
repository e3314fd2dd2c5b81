#include "PatientListModel.h"

#include "PatientCodeWords.h"

#include <QCoreApplication>
#include <QFont>

namespace {

constexpr int kColumns = 3;

uint SecondsSinceEpoch(const QDateTime &time)
{
    return time.isValid() ? static_cast<uint>(time.toSecsSinceEpoch()) : 0u;
}

QFont RowFont(bool read)
{
    // Only the weight is set, so the rest comes from the table's own font.
    QFont font;
    font.setWeight(read ? QFont::Normal : QFont::Bold);
    return font;
}

} // namespace

PatientListModel::PatientListModel(QObject *parent) : QAbstractTableModel(parent) {}

int PatientListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int PatientListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant PatientListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const PatientListEntry &entry = EntryAt(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return column == 0 ? entry.sn : column == 1 ? entry.idText : entry.name;
    case Qt::UserRole:
        if (column == 0)
            return entry.id.toByteArray();
        if (column == 1)
            return SecondsSinceEpoch(entry.lastUpdate);
        return QVariant();
    case Qt::FontRole:
        return RowFont(entry.read);
    case Qt::ToolTipRole:
        return ToolTip(entry);
    default:
        return QVariant();
    }
}

QVariant PatientListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const headers[kColumns] = {"SN", "ID", "Name"};
    if (section < 0 || section >= kColumns)
        return QVariant();
    return QCoreApplication::translate("PCViewer", headers[section]);
}

Qt::ItemFlags PatientListModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void PatientListModel::Fill(const STU_DB_PATIENT_LIST *pOldestFirst)
{
    beginResetModel();
    m_entries.clear();
    m_slotOf.clear();
    m_entries.reserve(RecordChainLength(pOldestFirst));
    for (const STU_DB_PATIENT_LIST *record = pOldestFirst; record; record = record->pNext) {
        const auto known = m_slotOf.constFind(record->PatientID);
        if (known != m_slotOf.cend()) {
            // Listed twice: the later record stands, on top, as a reinsert would leave it.
            m_entries.remove(known.value());
            Reindex(known.value());
        }
        m_slotOf.insert(record->PatientID, int(m_entries.size()));
        m_entries.append(EntryOf(*record));
    }
    endResetModel();
}

void PatientListModel::InsertAtTop(const STU_DB_PATIENT_LIST &record)
{
    Remove(record.PatientID);
    beginInsertRows(QModelIndex(), 0, 0);
    m_slotOf.insert(record.PatientID, int(m_entries.size()));
    m_entries.append(EntryOf(record));
    endInsertRows();
}

bool PatientListModel::Remove(const QUuid &uuid)
{
    const int row = RowOf(uuid);
    if (row < 0)
        return false;
    const int slot = SlotOfRow(row);
    beginRemoveRows(QModelIndex(), row, row);
    m_slotOf.remove(uuid);
    m_entries.remove(slot);
    Reindex(slot);
    endRemoveRows();
    return true;
}

int PatientListModel::RowOf(const QUuid &uuid) const
{
    const auto found = m_slotOf.constFind(uuid);
    return found == m_slotOf.cend() ? -1 : SlotOfRow(found.value());
}

const PatientListEntry &PatientListModel::EntryAt(int row) const
{
    return m_entries.at(SlotOfRow(row));
}

void PatientListModel::SetRead(const QUuid &uuid, bool read)
{
    const int row = RowOf(uuid);
    if (row < 0)
        return;
    m_entries[SlotOfRow(row)].read = read;
    RowChanged(row);
}

bool PatientListModel::SetName(const QUuid &uuid, const QString &name)
{
    const int row = RowOf(uuid);
    if (row < 0)
        return false;
    m_entries[SlotOfRow(row)].name = name;
    RowChanged(row);
    return true;
}

void PatientListModel::TakeBrief(const STU_DB_PATIENT_LIST &record)
{
    const int row = RowOf(record.PatientID);
    if (row < 0)
        return;
    const QDateTime shown =
        QDateTime::fromSecsSinceEpoch(SecondsSinceEpoch(EntryAt(row).lastUpdate));
    if (shown < record.LastUpdateTime) {
        MoveToTop(row, record);
    } else if (shown == record.LastUpdateTime) {
        m_entries[SlotOfRow(row)] = EntryOf(record);
        RowChanged(row);
    }
}

bool PatientListModel::RowMatches(int row, const QString &text) const
{
    const PatientListEntry &entry = EntryAt(row);
    for (const QString *field : {&entry.name, &entry.idText, &entry.sn, &entry.identityCode}) {
        if (field->contains(text, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString PatientListModel::Describe(int row) const
{
    const PatientListEntry &entry = EntryAt(row);
    const QString name = entry.name.isEmpty() ? tr("Unnamed patient") : entry.name;
    return entry.sn.isEmpty() ? tr("%1 (ID %2)").arg(name, entry.idText)
                              : tr("%1 (SN %2, ID %3)").arg(name, entry.sn, entry.idText);
}

quint32 PatientListModel::RecordCount(int row) const
{
    const PatientListEntry &entry = EntryAt(row);
    return entry.nibpCount + entry.spo2Count + entry.tempCount;
}

// A move, not a removal: the selection and the current row go with the patient.
void PatientListModel::MoveToTop(int row, const STU_DB_PATIENT_LIST &record)
{
    const int slot = SlotOfRow(row);
    if (row > 0)
        beginMoveRows(QModelIndex(), row, row, QModelIndex(), 0);
    m_entries.remove(slot);
    m_entries.append(EntryOf(record));
    Reindex(slot);
    if (row > 0)
        endMoveRows();
    else
        RowChanged(0);
}

PatientListEntry PatientListModel::EntryOf(const STU_DB_PATIENT_LIST &record)
{
    PatientListEntry entry;
    entry.id = record.PatientID;
    entry.sn = GetRecordText(record.DeviceSN);
    entry.idText = PatientCodeWords::IdInDevice(record.IdInDevice);
    entry.name = GetRecordText(record.Name);
    entry.identityCode = GetRecordText(record.IdentityCode);
    entry.lastUpdate = record.LastUpdateTime;
    entry.read = record.ReadFlag;
    entry.nibpCount = record.NIBPCount;
    entry.spo2Count = record.SPO2Count;
    entry.tempCount = record.TEMPCount;
    entry.newestMeasure = record.NewestMeasureTime;
    return entry;
}

QString PatientListModel::ToolTip(const PatientListEntry &entry) const
{
    const QString newest =
        entry.newestMeasure.isValid()
            ? tr("Newest measure: %1").arg(entry.newestMeasure.toString("yyyy-MM-dd hh:mm:ss"))
            : tr("No measure yet");
    return tr("NIBP records: %1\nSpO2 records: %2\nTemperature records: %3\n%4")
        .arg(entry.nibpCount)
        .arg(entry.spo2Count)
        .arg(entry.tempCount)
        .arg(newest);
}

void PatientListModel::Reindex(int fromSlot)
{
    for (int slot = fromSlot; slot < m_entries.size(); ++slot)
        m_slotOf[m_entries.at(slot).id] = slot;
}

void PatientListModel::RowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, kColumns - 1));
}
