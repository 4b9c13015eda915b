#pragma once

#include <QPixmap>
#include <QWidget>

// The row of player buttons and the volume control, drawn in one widget
// from pictures on disk. There are no child buttons: each button is a
// picture at a place computed from the width and a rectangle tested on a
// mouse press. Places hang on three anchors, L = W/6, M = W/2 and R = 5W/6,
// and on the right edge.
class ControlButton final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ControlButton)

public:
    explicit ControlButton(QWidget *parent = nullptr);

    // The narrowest bar on which the three groups of buttons, the volume
    // track and the editor button still lie apart; narrower, their pictures
    // overlap and one press hits two buttons.
    static constexpr int narrowestWidth = 540;
    QSize minimumSizeHint() const override;

    // x of the volume knob in widget pixels; the volume it stands for is
    // (x - R) / 56
    double volumeKnobX() const { return m_volumeKnobX; }
    // The volume the knob stands for, 0 to 1, muted or not.
    double volumeLevel() const;
    // Muted by the speaker button: a second press, a touch of the track or
    // setVolumeLevel() brings the knob's volume back.
    bool isMuted() const { return m_muted; }

signals:
    void playPause();
    void stop();
    void setMarkInSignal();
    void setMarkOut();
    void forward();
    void backward();
    void resetMark();
    // left and right volume; both always carry the same value
    void volumeChanged(double left, double right);
    void resetMarkIn();
    void resetMarkOut();
    void startSharpL();
    void startSharpR();
    void endSharpL();
    void endSharpR();
    void controlEditor();

public slots:
    // shows the pause picture while playing, the play picture otherwise
    void playIcon(bool playing);
    // Moves the knob to that volume (held within 0 to 1), ends a mute and
    // emits volumeChanged.
    void setVolumeLevel(double volume);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void moveVolumeKnob(double x);

    QPixmap m_playPause;
    QPixmap m_stop;
    QPixmap m_forward;
    QPixmap m_backward;
    QPixmap m_sharpLeft;
    QPixmap m_sharpRight;
    QPixmap m_loopStart;
    QPixmap m_loopEnd;
    QPixmap m_cancelLoop;
    QPixmap m_loopToEnd;
    QPixmap m_loopFromStart;
    QPixmap m_volume;
    QPixmap m_editor;
    double m_volumeKnobX = 25.0;
    bool m_muted = false;
};
