#include "app/panel.h"

#include <QMouseEvent>
#include <QPainter>

namespace vistrel::app {

TPanel::TPanel(QWidget* parent) : QFrame(parent) {
    setAutoFillBackground(true);
}

void TPanel::setCaption(const QString& caption) {
    m_caption = caption;
    update();
}

QColor TPanel::Color() const {
    return palette().color(QPalette::Window);
}

void TPanel::setColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
}

void TPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (m_caption.isEmpty())
        return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), Qt::AlignCenter, m_caption);
}

bool TPanel::isFreeArea(const QPoint& point) const {
    return rect().contains(point) && !childAt(point);
}

void TPanel::mousePressEvent(QMouseEvent* event) {
    // Presses that a child label passes on are not on the free area.
    m_pressed = event->button() == Qt::LeftButton && isFreeArea(event->position().toPoint());
    if (m_pressed)
        event->accept();
    else
        QFrame::mousePressEvent(event);
}

void TPanel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && isFreeArea(event->position().toPoint());
    m_pressed = false;
    QFrame::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}

} // namespace vistrel::app
