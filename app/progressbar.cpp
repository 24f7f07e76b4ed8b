#include "app/progressbar.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>

#include <algorithm>

namespace vistrel::app {

TProgressBar::TProgressBar(QWidget* parent) : QProgressBar(parent) {}

void TProgressBar::setMax(int max) {
    max = std::max(max, minimum());
    const int position = std::clamp(value(), minimum(), max);
    // Outside the new range the base class resets the position to "none"; it is put back here.
    setMaximum(max);
    setValue(position);
}

void TProgressBar::setPosition(int position) {
    setValue(std::clamp(position, minimum(), maximum()));
}

void TProgressBar::paintEvent(QPaintEvent* event) {
    if (minimum() != maximum()) {
        QProgressBar::paintEvent(event);
        return;
    }
    // Drawn as an empty bar of a range of one step.
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    option.maximum = option.minimum + 1;
    option.progress = option.minimum;
    painter.drawControl(QStyle::CE_ProgressBar, option);
}

} // namespace vistrel::app
