#pragma once

#include "progress/progressstore.h"

#include <QList>
#include <QWidget>

// The accuracy of a lesson's attempts, oldest on the left, as a line over a
// grid of 0 to 100 %, drawn in the player's colours. Hovering a point tells
// that attempt's date and scores. An accuracy below 0 (more extra words
// than words) is drawn on the 0 line as a hollow point.
class AccuracyPlot final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AccuracyPlot)

public:
    explicit AccuracyPlot(QWidget *parent = nullptr);

    void setAttempts(const QList<Attempt> &attempts);
    const QList<Attempt> &attempts() const { return m_attempts; }

    // Where attempt index is drawn, in widget pixels.
    QPointF pointOf(int index) const;
    // The attempt whose point is within reach of pos; -1 when none is.
    int attemptAt(const QPoint &pos) const;
    // The text shown for attempt index when it is hovered.
    QString describe(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QRectF plotArea() const;
    void drawGrid(QPainter &painter, const QRectF &area) const;
    void drawLine(QPainter &painter) const;
    void drawAttemptNumbers(QPainter &painter, const QRectF &area) const;

    QList<Attempt> m_attempts;
    int m_hovered = -1;
};
