#pragma once
// A data source: points a grid at a cursor. It presents the cursor as a table model (one column
// per field with the field names as titles, the rows fetched so far) and follows the cursor
// through its observer interface as it opens, fetches, moves, closes or is destroyed.
#include "data/ibdataset.h"

#include <QAbstractTableModel>

namespace vistrel::app {

class TDataSource : public QAbstractTableModel, private data::DataSetObserver {
    Q_OBJECT

public:
    explicit TDataSource(QObject* parent = nullptr);
    ~TDataSource() override;

    // The cursor shown, or nullptr. The data source never owns it; a destroyed cursor leaves the
    // data source pointing at nothing.
    data::TIBDataSet* DataSet() const noexcept { return m_dataSet; }
    void setDataSet(data::TIBDataSet* dataSet);

    // The cursor's current row (0-based), or -1 when there is none.
    int currentRow() const noexcept { return m_currentRow; }

    // How many rows the grid can show. While the cursor stands on a row, at least that many rows
    // are fetched, so that the grid is full; the cursor stays where it is. Fetching here raises
    // the cursor's error.
    int bufferRows() const noexcept { return m_bufferRows; }
    void setBufferRows(int rows);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // The cursor moved to another row (or to none, -1).
    void currentRowMoved(int row);

private:
    void dataSetChanged() override;
    void rowsFetched(int first, int last) override;
    void currentRowChanged(int row) override;
    void dataSetDestroyed() override;

    // Takes the cursor's shape anew (rows, columns, titles, current row) inside a model reset.
    void reload();
    // Shows the rows the cursor has buffered beyond those shown.
    void takeFetchedRows();
    void setCurrentRow(int row);
    // Fetches until the grid is full, when the cursor stands on a row.
    void fetchAhead();

    data::TIBDataSet* m_dataSet = nullptr;
    int m_rows = 0;
    QStringList m_titles;
    int m_currentRow = -1;
    int m_bufferRows = 0;
};

} // namespace vistrel::app
