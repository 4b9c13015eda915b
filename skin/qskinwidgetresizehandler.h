#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>

class QMouseEvent;
class QSkinObject;
class QWidget;

// Moves and resizes a frameless window with the mouse: near an edge or a
// corner it shows a resize cursor and a left drag resizes from there;
// elsewhere a left drag moves the window. Left presses, releases and moves
// are handed on to the skin object for its title-bar buttons.
//
// It filters the window's events and is installed after the skin object,
// so it sees each event first; what it consumes does not reach the skin.
// It does nothing while the skin is maximized.
class QSkinWidgetResizeHandler final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QSkinWidgetResizeHandler)

public:
    // Where the pointer is; decided while no button is down.
    enum MousePosition { Nowhere, TopLeft, BottomRight, BottomLeft, TopRight, Top, Bottom, Left, Right, Center };
    Q_ENUM(MousePosition)

    // The handler's parent is widget. childWidget, when given, is the
    // widget whose minimum and maximum sizes bound a resize.
    QSkinWidgetResizeHandler(QSkinObject *skin, QWidget *widget, QWidget *childWidget = nullptr);

    int range() const { return m_range; } // width of the resize zone along each edge, pixels
    MousePosition mode() const { return m_mode; }
    bool isButtonDown() const { return m_buttonDown; }

    void setMovingEnabled(bool enabled) { m_movingEnabled = enabled; }
    bool isMovingEnabled() const { return m_movingEnabled; }
    void setActiveForMove(bool active) { m_activeForMove = active; }
    void setActiveForResize(bool active) { m_activeForResize = active; }
    void setSizeProtection(bool protect) { m_sizeProtect = protect; }

Q_SIGNALS:
    void activate();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool mousePress(QMouseEvent *event, bool own);
    bool mouseRelease(QMouseEvent *event);
    bool mouseMove(QMouseEvent *event, bool own);
    void handleMove(QMouseEvent *event);
    QRect draggedGeometry(const QPoint &pointer) const; // pointer in the parent's (or screen) coordinates
    MousePosition classify(const QPoint &pos) const;
    void setMouseCursor(MousePosition mode);
    bool consumes() const { return !(m_mode == Center && !m_movingEnabled); }

    QPointer<QSkinObject> m_skin;
    QWidget *m_widget = nullptr;
    QWidget *m_childWidget = nullptr;
    QPoint m_moveOffset;         // press position, widget coordinates
    QPoint m_invertedMoveOffset; // widget's bottom-right corner minus the move offset
    MousePosition m_mode = Nowhere;
    int m_frameWidth = 0;  // added to the child widget's limits when it is not the widget
    int m_extraHeight = 0;
    int m_range = 0;
    bool m_buttonDown = false;
    bool m_sizeProtect = true;
    bool m_movingEnabled = true;
    bool m_activeForMove = true;
    bool m_activeForResize = true;
};
