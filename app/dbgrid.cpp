#include "app/dbgrid.h"

#include "app/datasource.h"

#include <QHeaderView>

#include <algorithm>
#include <exception>

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
        updateBufferRows();
        followRow(m_dataSource->currentRow());
    }
}

void TDBGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    try {
        updateBufferRows();
    } catch (const std::exception&) {
        // A fetch that fails while the window is resized is met again by the cursor's own next
        // move, which reports it; a resize has no one to report to.
    }
}

void TDBGrid::updateBufferRows() {
    if (!m_dataSource)
        return;
    // Every row of which some part lies in the visible area counts.
    const int rowHeight = std::max(verticalHeader()->defaultSectionSize(), 1);
    const int height = viewport()->height();
    m_dataSource->setBufferRows((height + rowHeight - 1) / rowHeight);
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
