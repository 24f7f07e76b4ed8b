#include "app/dbgrid.h"

#include "app/datasource.h"

#include <QHeaderView>

namespace vistrel::app {

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->setDefaultSectionSize(18);
}

void TDBGrid::setDataSource(TDataSource* dataSource) {
    if (m_dataSource)
        disconnect(m_dataSource, nullptr, this, nullptr);
    m_dataSource = dataSource;
    setModel(dataSource);
    if (m_dataSource) {
        connect(m_dataSource, &TDataSource::currentRowMoved, this, &TDBGrid::followRow);
        followRow(m_dataSource->currentRow());
    }
}

void TDBGrid::followRow(int row) {
    if (row < 0 || !model() || row >= model()->rowCount()) {
        clearSelection();
        return;
    }
    selectRow(row);
    scrollTo(model()->index(row, 0));
}

} // namespace vistrel::app
