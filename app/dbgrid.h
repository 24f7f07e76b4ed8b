#pragma once
// A data grid: shows the cursor its data source points at and keeps the cursor's current row
// selected and in view.
#include <QTableView>

namespace vistrel::app {

class TDataSource;

class TDBGrid : public QTableView {
    Q_OBJECT

public:
    explicit TDBGrid(QWidget* parent = nullptr);

    TDataSource* DataSource() const noexcept { return m_dataSource; }
    void setDataSource(TDataSource* dataSource);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void followRow(int row);
    // Tells the data source how many rows fit in the grid.
    void updateBufferRows();

    TDataSource* m_dataSource = nullptr;
};

} // namespace vistrel::app
