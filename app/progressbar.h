#pragma once
// A progress bar whose position always lies within its range. A range of no length (maximum
// equal to minimum, as a count of nothing gives) shows an empty bar; the widget it derives from
// would show a busy animation instead.
#include <QProgressBar>

namespace vistrel::app {

class TProgressBar : public QProgressBar {
    Q_OBJECT

public:
    explicit TProgressBar(QWidget* parent = nullptr);

    // Sets the maximum; a position past it moves back to it (it is not reset to the start).
    void setMax(int max);
    // Sets the position, held within the range.
    void setPosition(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vistrel::app
