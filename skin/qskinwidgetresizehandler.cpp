#include "skin/qskinwidgetresizehandler.h"

#include "skin/qskinobject.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace {

// The smallest size the layout system lets the widget have: an explicitly
// set minimum where there is one, otherwise its minimum size hint as far as
// its size policy allows shrinking.
QSize smartMinimumSize(const QWidget *w)
{
    const QSizePolicy policy = w->sizePolicy();
    const QSize hint = w->sizeHint();
    const QSize minHint = w->minimumSizeHint();
    QSize s(0, 0);
    if (policy.horizontalPolicy() != QSizePolicy::Ignored)
        s.setWidth(policy.horizontalPolicy() & QSizePolicy::ShrinkFlag ? minHint.width()
                                                                        : qMax(hint.width(), minHint.width()));
    if (policy.verticalPolicy() != QSizePolicy::Ignored)
        s.setHeight(policy.verticalPolicy() & QSizePolicy::ShrinkFlag ? minHint.height()
                                                                       : qMax(hint.height(), minHint.height()));
    s = s.boundedTo(w->maximumSize());
    if (w->minimumWidth() > 0)
        s.setWidth(w->minimumWidth());
    if (w->minimumHeight() > 0)
        s.setHeight(w->minimumHeight());
    return s.expandedTo(QSize(0, 0));
}

} // namespace

QSkinWidgetResizeHandler::QSkinWidgetResizeHandler(QSkinObject *skin, QWidget *widget, QWidget *childWidget)
    : QObject(widget)
    , m_skin(skin)
    , m_widget(widget)
    , m_childWidget(childWidget ? childWidget : widget)
{
    m_widget->setMouseTracking(true);
    const int border = skin->borderWidth();
    m_range = border / 2 >= 5 ? border / 2 : border;
    m_widget->installEventFilter(this);
}

bool QSkinWidgetResizeHandler::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_skin || m_skin->isSkinMaximized() || !(m_activeForMove || m_activeForResize))
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
        break;
    default:
        return false;
    }
    const bool own = watched == m_widget;

    if (QApplication::activePopupWidget()) {
        if (m_buttonDown && event->type() == QEvent::MouseButtonRelease)
            m_buttonDown = false;
        return false;
    }

    switch (event->type()) {
    case QEvent::MouseButtonPress:
        return mousePress(static_cast<QMouseEvent *>(event), own);
    case QEvent::MouseButtonRelease:
        return mouseRelease(static_cast<QMouseEvent *>(event));
    case QEvent::MouseMove:
        return mouseMove(static_cast<QMouseEvent *>(event), own);
    case QEvent::ShortcutOverride:
        // No shortcut may fire in the middle of a drag.
        if (m_buttonDown) {
            event->accept();
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool QSkinWidgetResizeHandler::mousePress(QMouseEvent *event, bool own)
{
    if (m_widget->isMaximized())
        return false;
    const QPoint pos = m_widget->mapFromGlobal(event->globalPosition().toPoint());
    if (!m_widget->rect().contains(pos) || event->button() != Qt::LeftButton)
        return false;

    m_skin->titlePress(event);
    m_buttonDown = false;
    emit activate();
    // Classify once so that the mode fits the press position.
    const bool movingEnabled = m_movingEnabled;
    m_movingEnabled = movingEnabled && own;
    handleMove(event);
    m_movingEnabled = movingEnabled;

    m_buttonDown = true;
    m_moveOffset = pos;
    m_invertedMoveOffset = m_widget->rect().bottomRight() - m_moveOffset;
    return consumes();
}

bool QSkinWidgetResizeHandler::mouseRelease(QMouseEvent *event)
{
    m_skin->titleRelease(event);
    if (m_widget->isMaximized() || event->button() != Qt::LeftButton)
        return false;
    m_buttonDown = false;
    m_widget->releaseMouse();
    m_widget->releaseKeyboard();
    return consumes();
}

bool QSkinWidgetResizeHandler::mouseMove(QMouseEvent *event, bool own)
{
    if (m_widget->isMaximized())
        return false;
    m_buttonDown = m_buttonDown && (event->buttons() & Qt::LeftButton);
    // The skin's filter does not see consumed moves, yet it must follow
    // the pointer over its title buttons.
    m_skin->titleMove(event);
    const bool movingEnabled = m_movingEnabled;
    m_movingEnabled = movingEnabled && own && m_buttonDown;
    handleMove(event);
    m_movingEnabled = movingEnabled;
    return consumes();
}

QSkinWidgetResizeHandler::MousePosition QSkinWidgetResizeHandler::classify(const QPoint &pos) const
{
    const int w = m_widget->width();
    const int h = m_widget->height();
    const bool top = pos.y() <= m_range;
    const bool bottom = pos.y() >= h - m_range;
    const bool left = pos.x() <= m_range;
    const bool right = pos.x() >= w - m_range;
    if (top && left)
        return TopLeft;
    if (bottom && right)
        return BottomRight;
    if (bottom && left)
        return BottomLeft;
    if (top && right)
        return TopRight;
    if (top)
        return Top;
    if (bottom)
        return Bottom;
    if (left)
        return Left;
    if (right)
        return Right;
    return m_widget->rect().contains(pos) ? Center : Nowhere;
}

void QSkinWidgetResizeHandler::handleMove(QMouseEvent *event)
{
    const QPoint pos = m_widget->mapFromGlobal(event->globalPosition().toPoint());
    if (!m_buttonDown) {
        m_mode = classify(pos);
        if (m_widget->isMinimized() || m_skin->isSkinMaximized() || !m_activeForResize)
            m_mode = Center;
        setMouseCursor(m_mode);
        return;
    }
    if (m_mode == Center && !m_movingEnabled)
        return;
    if (m_widget->testAttribute(Qt::WA_WState_ConfigPending))
        return;

    QWidget *parent = m_widget->isWindow() ? nullptr : m_widget->parentWidget();
    QPoint globalPos = event->globalPosition().toPoint();
    if (parent) {
        globalPos = parent->mapFromGlobal(globalPos);
        if (!parent->rect().contains(globalPos)) {
            globalPos.rx() = qMax(0, globalPos.x());
            globalPos.ry() = qMax(0, globalPos.y());
            if (m_sizeProtect) {
                globalPos.rx() = qMin(parent->width(), globalPos.x());
                globalPos.ry() = qMin(parent->height(), globalPos.y());
            }
        }
    }

    const QRect geom = draggedGeometry(globalPos);
    if (geom != m_widget->geometry() && (!parent || parent->rect().intersects(geom))) {
        if (m_mode == Center)
            m_widget->move(geom.topLeft());
        else
            m_widget->setGeometry(geom);
    }
}

QRect QSkinWidgetResizeHandler::draggedGeometry(const QPoint &pointer) const
{
    const QPoint p = pointer + m_invertedMoveOffset; // new bottom-right corner
    const QPoint pp = pointer - m_moveOffset;        // new top-left corner

    const bool framed = m_childWidget != m_widget;
    const QSize extra = framed ? QSize(2 * m_frameWidth, 2 * m_frameWidth + m_extraHeight) : QSize(0, 0);
    const QSize minimum = smartMinimumSize(m_childWidget) + extra;
    const QSize maximum = m_childWidget->maximumSize() + extra;

    QRect geom = m_widget->geometry();
    const QSize mpsize = QSize(geom.right() - pp.x() + 1, geom.bottom() - pp.y() + 1)
                             .expandedTo(m_widget->minimumSize())
                             .expandedTo(minimum)
                             .boundedTo(maximum);
    // The top-left corner that keeps the bottom-right corner where it is.
    const QPoint mp(geom.right() - mpsize.width() + 1, geom.bottom() - mpsize.height() + 1);

    switch (m_mode) {
    case TopLeft:
        geom = QRect(mp, geom.bottomRight());
        break;
    case BottomRight:
        geom = QRect(geom.topLeft(), p);
        break;
    case BottomLeft:
        geom = QRect(QPoint(mp.x(), geom.y()), QPoint(geom.right(), p.y()));
        break;
    case TopRight:
        geom = QRect(QPoint(geom.x(), mp.y()), QPoint(p.x(), geom.bottom()));
        break;
    case Top:
        geom = QRect(QPoint(geom.left(), mp.y()), geom.bottomRight());
        break;
    case Bottom:
        geom = QRect(geom.topLeft(), QPoint(geom.right(), p.y()));
        break;
    case Left:
        geom = QRect(QPoint(mp.x(), geom.top()), geom.bottomRight());
        break;
    case Right:
        geom = QRect(geom.topLeft(), QPoint(p.x(), geom.bottom()));
        break;
    case Center:
        geom.moveTopLeft(pp);
        break;
    case Nowhere:
        break;
    }
    return QRect(geom.topLeft(),
                 geom.size().expandedTo(m_widget->minimumSize()).expandedTo(minimum).boundedTo(maximum));
}

void QSkinWidgetResizeHandler::setMouseCursor(MousePosition mode)
{
    // Children would otherwise inherit the window's resize cursor.
    for (QObject *child : m_widget->children()) {
        auto *w = qobject_cast<QWidget *>(child);
        if (w && !w->testAttribute(Qt::WA_SetCursor))
            w->setCursor(Qt::ArrowCursor);
    }
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (mode) {
    case TopLeft:
    case BottomRight:
        shape = Qt::SizeFDiagCursor;
        break;
    case BottomLeft:
    case TopRight:
        shape = Qt::SizeBDiagCursor;
        break;
    case Top:
    case Bottom:
        shape = Qt::SizeVerCursor;
        break;
    case Left:
    case Right:
        shape = Qt::SizeHorCursor;
        break;
    default:
        break;
    }
    if (!m_widget->testAttribute(Qt::WA_SetCursor) || m_widget->cursor().shape() != shape)
        m_widget->setCursor(shape);
}
