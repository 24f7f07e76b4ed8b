#pragma once
// A plain panel: a coloured area with an optional centred caption. A click on its free area
// (not on one of its child controls) is reported by clicked().
#include <QColor>
#include <QFrame>
#include <QString>

namespace vistrel::app {

class TPanel : public QFrame {
    Q_OBJECT

public:
    explicit TPanel(QWidget* parent = nullptr);

    const QString& Caption() const noexcept { return m_caption; }
    void setCaption(const QString& caption);

    QColor Color() const;
    void setColor(const QColor& color);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Whether the point of the panel is on its free area.
    bool isFreeArea(const QPoint& point) const;

    QString m_caption;
    bool m_pressed = false;
};

} // namespace vistrel::app
