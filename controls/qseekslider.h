#pragma once

#include <QColor>
#include <QWidget>

// The thin position bar of the control strip: a knob for the playing
// position and a band for the loop. It knows nothing of time; it works in
// pixels and talks to its owner in fractions of its width (0.0 at the left
// edge, 1.0 at the right edge).
class QSeekSlider final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QSeekSlider)

public:
    explicit QSeekSlider(QWidget *parent = nullptr);

    // pixels from the left edge
    double value() const { return m_value; }
    double markIn() const { return m_markIn; }
    // 0 stands for the right edge until the next paint normalises it
    double markOut() const { return m_markOut; }

signals:
    // the user pressed or dragged to a new place; fraction of the width
    void valueChanged(double fraction);
    // part of the slider's interface for owners that want to move the marks
    // from here; the slider itself never emits them
    void markInChanged(double fraction);
    void markOutChanged(double fraction);

public slots:
    // All take fractions of the current width and do not clamp them: a
    // fraction outside 0..1 puts the flag outside the bar.
    void setValue(double f);
    void resetMark();
    void setMarkInFlag(double f);
    void setMarkOutFlag(double f);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void seekTo(QMouseEvent *event);

    double m_value = 0;
    double m_markIn = 0;
    double m_markOut = 0;
    QColor m_knobUpperColor{118, 169, 196, 255};
    QColor m_knobLowerColor{17, 113, 163, 255};
};
