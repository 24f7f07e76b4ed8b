#include "app/datasource.h"

#include "app/textcodec.h"

#include <algorithm>

namespace vistrel::app {

TDataSource::TDataSource(QObject* parent) : QAbstractTableModel(parent) {}

TDataSource::~TDataSource() {
    if (m_dataSet)
        m_dataSet->removeObserver(this);
}

void TDataSource::setDataSet(data::TIBDataSet* dataSet) {
    if (dataSet == m_dataSet)
        return;
    if (m_dataSet)
        m_dataSet->removeObserver(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->addObserver(this);
    reload();
    fetchAhead();
}

int TDataSource::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int TDataSource::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_titles.size());
}

QVariant TDataSource::data(const QModelIndex& index, int role) const {
    if (!m_dataSet || !index.isValid() || index.row() >= m_rows || index.column() >= m_titles.size())
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    try {
        return displayText(m_dataSet->displayText(index.row(), index.column()));
    } catch (const std::exception&) {
        // A value that cannot be shown leaves its cell empty; the grid never raises.
        return {};
    }
}

QVariant TDataSource::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_titles.size())
            return {};
        return m_titles.at(section);
    }
    if (section < 0 || section >= m_rows)
        return {};
    // The row indicator marks the cursor's current row.
    return section == m_currentRow ? QStringLiteral("\u25B6") : QString();
}

void TDataSource::setBufferRows(int rows) {
    m_bufferRows = std::max(rows, 0);
    fetchAhead();
}

void TDataSource::fetchAhead() {
    // A cursor that is opening stands on no row yet: its first fetch is its own.
    if (m_dataSet && m_dataSet->Active() && m_dataSet->RecNo() >= 0)
        m_dataSet->fetchTo(m_bufferRows);
}

void TDataSource::reload() {
    beginResetModel();
    m_rows = 0;
    m_titles.clear();
    m_currentRow = -1;
    if (m_dataSet && m_dataSet->Active()) {
        for (int i = 0; i < m_dataSet->FieldCount(); ++i)
            m_titles.append(decodeText(m_dataSet->Fields(i).FieldName()));
        m_rows = m_dataSet->fetchedRowCount();
        m_currentRow = m_dataSet->RecNo() < m_rows ? m_dataSet->RecNo() : -1;
    }
    endResetModel();
    emit currentRowMoved(m_currentRow);
}

void TDataSource::setCurrentRow(int row) {
    if (row < -1 || row >= m_rows)
        row = -1;
    if (row == m_currentRow)
        return;
    const int previous = m_currentRow;
    m_currentRow = row;
    if (previous >= 0)
        emit headerDataChanged(Qt::Vertical, previous, previous);
    if (row >= 0)
        emit headerDataChanged(Qt::Vertical, row, row);
    emit currentRowMoved(row);
}

void TDataSource::dataSetChanged() {
    reload();
}

void TDataSource::rowsFetched(int, int) {
    takeFetchedRows();
}

void TDataSource::takeFetchedRows() {
    if (!m_dataSet)
        return;
    // Rows are only ever appended to the buffer: take every buffered row past the ones shown.
    const int available = m_dataSet->fetchedRowCount();
    if (available > m_rows) {
        beginInsertRows(QModelIndex(), m_rows, available - 1);
        m_rows = available;
        endInsertRows();
    } else if (available < m_rows) {
        reload();
    }
}

void TDataSource::currentRowChanged(int row) {
    fetchAhead();
    takeFetchedRows();
    setCurrentRow(row);
}

void TDataSource::dataSetDestroyed() {
    m_dataSet = nullptr;
    reload();
}

} // namespace vistrel::app
