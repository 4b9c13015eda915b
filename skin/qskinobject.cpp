#include "skin/qskinobject.h"

#include "skin/qskinwidgetresizehandler.h"

#include <QBitmap>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QSvgRenderer>

namespace {

const QString titleIconFile = QStringLiteral("./skin/default/images/kestrelbox.png");

constexpr Qt::WindowFlags skinWindowFlags = Qt::FramelessWindowHint | Qt::WindowSystemMenuHint
    | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint;

// Element ids of the template.
const QString topLeftId = QStringLiteral("border_topleft");
const QString topId = QStringLiteral("border_top");
const QString topRightId = QStringLiteral("border_topright");
const QString leftId = QStringLiteral("border_left");
const QString rightId = QStringLiteral("border_right");
const QString bottomLeftId = QStringLiteral("border_bottomleft");
const QString bottomId = QStringLiteral("border_bottom");
const QString bottomRightId = QStringLiteral("border_bottomright");

QString buttonId(const char *button, const char *state)
{
    return QStringLiteral("%1_button_%2").arg(QLatin1String(button), QLatin1String(state));
}

// A settings value as text; an unquoted INI value with commas (a font
// description) comes back as a list.
QString settingText(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

QColor settingColor(const QSettings &settings, const QString &key, const QColor &fallback)
{
    if (!settings.contains(key))
        return fallback;
    const QColor colour(settingText(settings, key).trimmed());
    return colour.isValid() ? colour : fallback;
}

} // namespace

QSkinObject::QSkinObject(QWidget *window)
    : QObject(nullptr)
    , m_window(window)
    , m_programDirectory(QCoreApplication::applicationDirPath())
{
    Q_ASSERT(window);
    window->setMouseTracking(true);
    m_contentRect = window->rect();
    window->setWindowFlags(skinWindowFlags);
    m_frame = QPixmap(window->size() + QSize(13, 13));
    m_frame.fill(Qt::transparent);
}

QSkinObject::~QSkinObject()
{
    if (m_window)
        m_window->removeEventFilter(this);
}

QSkinWidgetResizeHandler *QSkinObject::resizeHandler() const
{
    return m_resizeHandler;
}

int QSkinObject::borderWidth() const
{
    return int(bounds(leftId).width());
}

QRectF QSkinObject::bounds(const QString &id) const
{
    if (!m_renderer || !m_renderer->isValid() || !m_renderer->elementExists(id))
        return {};
    return m_renderer->boundsOnElement(id);
}

void QSkinObject::readSettings()
{
    QSettings settings(m_programDirectory + QStringLiteral("/skin/skin.dat"), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Skin"));

    m_backgroundColor = settingColor(settings, QStringLiteral("Hintergrundfarbe"), Qt::white);
    m_titleColor = settingColor(settings, QStringLiteral("Titelfarbe"), QColor(255, 100, 0));

    bool ok = false;
    const double alpha = settings.value(QStringLiteral("Alpha"), 1.0).toDouble(&ok);
    m_alpha = ok ? alpha : 1.0;

    m_titleFont = QFont(QStringLiteral("Arial"));
    const QString font = settingText(settings, QStringLiteral("Titelschrift"));
    if (!font.isEmpty()) {
        QFont described;
        if (described.fromString(font))
            m_titleFont = described;
    }

    const QString path = settingText(settings, QStringLiteral("Skinpfad"));
    m_templatePath = m_programDirectory + QLatin1Char('/')
        + (path.isEmpty() ? QStringLiteral("skin/template.svg") : path);
}

void QSkinObject::startSkinning()
{
    if (!m_window)
        return;
    readSettings();
    delete m_renderer;
    // A missing template leaves the renderer empty, without a warning.
    m_renderer = QFile::exists(m_templatePath) ? new QSvgRenderer(m_templatePath, this) : new QSvgRenderer(this);
    ++m_generation;

    const QPoint position = m_window->pos();
    m_window->setMouseTracking(true);
    m_window->setContentsMargins(int(bounds(leftId).width()), int(bounds(topId).height()),
                                 int(bounds(rightId).width()), int(bounds(bottomId).height()));
    m_window->installEventFilter(this);
    if (m_resizeHandler) {
        m_window->removeEventFilter(m_resizeHandler);
        m_resizeHandler->deleteLater();
    }
    m_resizeHandler = new QSkinWidgetResizeHandler(this, m_window);
    m_window->setWindowOpacity(m_alpha);
    applyMinimumSize();
    // The window may have been resized while the skin was off, so no resize
    // event may come to place the buttons.
    updateRegions();
    m_skinning = true;
    m_window->show();
    m_window->move(position);
    m_window->update();
}

void QSkinObject::stopSkinning()
{
    if (!m_window)
        return;
    m_skinning = false;
    m_window->setContentsMargins(0, 0, 0, 0);
    m_window->clearMask();
    m_window->setAttribute(Qt::WA_TranslucentBackground, false);
    m_window->setWindowFlags(skinWindowFlags);
    m_window->removeEventFilter(this);
    if (m_resizeHandler) {
        m_window->removeEventFilter(m_resizeHandler);
        m_resizeHandler->deleteLater();
        m_resizeHandler = nullptr;
    }
    m_window->setMouseTracking(false);
    m_pressed = false;
    m_pressedButton = Button::None;
    m_hoveredButton = Button::None;
    setAlphaValue(1.0);
    m_window->show();
}

void QSkinObject::setAlphaValue(double a)
{
    m_alpha = a;
    if (m_window)
        m_window->setWindowOpacity(a);
}

QRectF QSkinObject::buttonRect(Button button) const
{
    if (!m_window || button == Button::None)
        return {};
    const qreal w = m_window->width();
    const QRectF top = bounds(topId);
    const QRectF topRight = bounds(topRightId);
    const QRectF min = bounds(buttonId("minimize", "normal"));
    const QRectF max = bounds(buttonId("maximize", "normal"));
    const QRectF close = bounds(buttonId("close", "normal"));
    // Each button keeps a gap as wide as itself on its right, except the
    // close button, which touches the top-right corner.
    switch (button) {
    case Button::Minimize:
        return {w - 2 * min.width() - 2 * max.width() - close.width() - topRight.width(),
                (top.height() - min.height()) / 2, min.width(), min.height()};
    case Button::Maximize:
        return {w - 2 * max.width() - close.width() - topRight.width(), (top.height() - max.height()) / 2,
                max.width(), max.height()};
    case Button::Close:
        return {w - close.width() - topRight.width(), (top.height() - close.height()) / 2, close.width(),
                close.height()};
    case Button::None:
        break;
    }
    return {};
}

void QSkinObject::updateRegions()
{
    const auto region = [this](Button b) {
        const QRectF r = buttonRect(b);
        return QRegion(int(r.x()), int(r.y()), int(r.width()), int(r.height()));
    };
    m_minimizeRegion = region(Button::Minimize);
    m_maximizeRegion = region(Button::Maximize);
    m_closeRegion = region(Button::Close);
}

QSkinObject::Button QSkinObject::buttonAt(const QPoint &pos) const
{
    if (m_closeRegion.contains(pos))
        return Button::Close;
    if (m_maximizeRegion.contains(pos))
        return Button::Maximize;
    if (m_minimizeRegion.contains(pos))
        return Button::Minimize;
    return Button::None;
}

QSkinObject::ButtonState QSkinObject::stateOf(Button button, const QPoint &cursor) const
{
    if (buttonAt(cursor) != button)
        return ButtonState::Normal;
    // Only the button that the press started on looks pressed.
    return m_pressed && m_pressedButton == button ? ButtonState::Pressed : ButtonState::Hover;
}

QPoint QSkinObject::windowPos(const QMouseEvent *event) const
{
    return m_window->mapFromGlobal(event->globalPosition().toPoint());
}

void QSkinObject::updateButton(Button button)
{
    if (!m_window || button == Button::None)
        return;
    m_window->update(buttonRect(button).toAlignedRect());
}

void QSkinObject::titlePress(QMouseEvent *event)
{
    if (!m_window)
        return;
    m_pressed = true;
    m_pressedButton = buttonAt(windowPos(event));
    updateButton(m_pressedButton);
    event->accept();
}

void QSkinObject::titleRelease(QMouseEvent *event)
{
    if (!m_window || event->button() != Qt::LeftButton)
        return;
    const Button pressedOn = m_pressedButton;
    m_pressed = false;
    m_pressedButton = Button::None;
    updateButton(pressedOn);

    const QPoint pos = windowPos(event);
    if (pos.x() >= m_window->width() - 5)
        return;
    const qreal top = bounds(topId).height();
    const qreal close = bounds(buttonId("close", "normal")).height();
    // The top rows of the window belong to the resize zone, not the buttons.
    if (!(6 < pos.y() && pos.y() < int(top - close + 6) + top)) {
        event->ignore();
        return;
    }
    const Button button = buttonAt(pos);
    // A button acts only when the press started on it too, so that a drag
    // that ends over a button does not close or minimize the window.
    if (button == Button::None || button != pressedOn)
        return;
    event->accept();
    switch (button) {
    case Button::Close:
        m_window->close();
        break;
    case Button::Maximize:
        toggleMaximized();
        break;
    case Button::Minimize:
        m_window->showMinimized();
        break;
    case Button::None:
        break;
    }
}

void QSkinObject::titleMove(QMouseEvent *event)
{
    if (!m_window)
        return;
    // Both the button entered and the one left must be drawn again.
    const Button hovered = buttonAt(windowPos(event));
    if (hovered != m_hoveredButton) {
        updateButton(m_hoveredButton);
        updateButton(hovered);
        m_hoveredButton = hovered;
    }
}

void QSkinObject::toggleMaximized()
{
    if (!m_window)
        return;
    if (m_maximized) {
        m_window->move(m_savedPosition);
        m_window->resize(m_savedSize);
        m_maximized = false;
        return;
    }
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    m_savedSize = m_window->size();
    m_savedPosition = m_window->pos();
    const QRect area = screen->availableGeometry();
    m_window->move(area.topLeft());
    m_window->resize(area.size());
    m_maximized = true;
}

QString QSkinObject::shownTitle(const QWidget *window)
{
    static const QLatin1String marker("[*]");
    const QString title = window->windowTitle();
    const QString star = window->isWindowModified() ? QStringLiteral("*") : QString();
    QString shown;
    qsizetype from = 0;
    for (qsizetype at = title.indexOf(marker); at >= 0; at = title.indexOf(marker, from)) {
        shown += QStringView(title).mid(from, at - from);
        if (QStringView(title).mid(at + marker.size()).startsWith(marker)) {
            shown += marker;
            from = at + 2 * marker.size();
        } else {
            shown += star;
            from = at + marker.size();
        }
    }
    shown += QStringView(title).mid(from);
    return shown;
}

QSkinObject::FrameKey QSkinObject::frameKey() const
{
    const QFileInfo icon(titleIconFile);
    FrameKey key;
    key.size = m_window->size();
    key.title = shownTitle(m_window);
    if (icon.exists()) {
        key.iconModified = icon.lastModified();
        key.iconBytes = icon.size();
    }
    key.generation = m_generation;
    return key;
}

void QSkinObject::updateStyle()
{
    if (!m_window)
        return;
    applyMinimumSize();

    // Drawing the frame from the template and shaping the window are costly,
    // so both are done again only when something they show has changed.
    const FrameKey key = frameKey();
    if (!m_frameDrawn || !(key == m_frameKey)) {
        drawFrame(key);
        m_frameKey = key;
        m_frameDrawn = true;
        m_buttonsDrawn = false;
    }
    updateButtons();
}

void QSkinObject::applyMinimumSize()
{
    const QRectF top = bounds(topId);
    const QRectF bottom = bounds(bottomId);
    const QRectF left = bounds(leftId);
    const QRectF right = bounds(rightId);
    const QSize frameMinimum(int(right.width() + left.width() + 128), int(top.height() + bottom.height()));
    // The explicit minimum overrides the one the window's layout would set,
    // so it must cover that too: squeezed below it, the layout lets its
    // widgets overlap or drops them altogether.
    m_window->setMinimumSize(frameMinimum.expandedTo(m_window->minimumSizeHint()));
}

void QSkinObject::drawFrame(const FrameKey &key)
{
    const QRectF tl = bounds(topLeftId), t = bounds(topId), tr = bounds(topRightId);
    const QRectF l = bounds(leftId), r = bounds(rightId);
    const QRectF bl = bounds(bottomLeftId), b = bounds(bottomId), br = bounds(bottomRightId);
    const QRectF close = bounds(buttonId("close", "normal"));
    const int w = key.size.width();
    const int h = key.size.height();

    QPixmap frame(key.size);
    frame.fill(Qt::transparent);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing, false);

    const int tw = int(w - tl.width() - tr.width());
    const int bw = int(w - bl.width() - br.width());
    const int lh = int(h - tl.height() - bl.height());
    const int rh = int(h - tr.height() - br.height());
    // The top edge runs under both top corners, so corners may be drawn
    // with transparent parts.
    const struct
    {
        const QString &id;
        QRectF rect;
    } pieces[] = {
        {topId, QRectF(5, 0, tw + tl.width() + 10, t.height())},
        {topLeftId, QRectF(0, int(t.height() - tl.height()), tl.width(), tl.height())},
        {topRightId, QRectF(tw + tr.width(), int(t.height() - tr.height()), tr.width(), tr.height())},
        {leftId, QRectF(0, tl.height(), l.width(), lh)},
        {rightId, QRectF(bw + br.width(), tr.height(), r.width(), rh)},
        {bottomLeftId, QRectF(0, tl.height() + lh, bl.width(), bl.height())},
        {bottomId, QRectF(bl.width(), tl.height() + lh, bw, b.height())},
        {bottomRightId, QRectF(bw + br.width(), tl.height() + lh, br.width(), br.height())},
    };
    for (const auto &piece : pieces) {
        if (m_renderer && !piece.rect.isEmpty())
            m_renderer->render(&painter, piece.id, piece.rect);
    }

    painter.setFont(m_titleFont);
    m_contentRect = QRect(int(l.width()), int(t.height()), int(w - l.width() - r.width()),
                          int(h - t.height() - b.height()));
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(m_backgroundColor);
    painter.drawRect(m_contentRect);

    drawTitle(painter, l, t, r, close);
    painter.end();

    m_plainFrame = frame;
    m_window->setMask(frame.mask());
}

void QSkinObject::drawTitle(QPainter &painter, const QRectF &left, const QRectF &top, const QRectF &right,
                            const QRectF &close) const
{
    // Without a title bar there is nowhere to put the icon and the title.
    if (int(top.height()) <= 0)
        return;
    painter.setPen(QPen(Qt::white, 1));
    // In a very narrow window the buttons take the place of the icon and the
    // title rather than being drawn over them.
    const QRectF firstButton = buttonRect(Button::Minimize);
    const int free = firstButton.isEmpty() ? m_window->width() : int(firstButton.left());
    const QRect iconRect(int(2 * left.width() + 15), int(top.height() / 2 - 10), 20, 20);
    const QPixmap icon = iconRect.right() < free ? QPixmap(titleIconFile) : QPixmap();
    if (!icon.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(iconRect, icon);
    }
    QRect text(int(2 * left.width() + 40), 0,
               int(m_window->width() - 3 * close.width() - 8 - left.width() - right.width()), int(top.height()));
    text.setRight(qMin(text.right(), free - 8));
    if (text.width() <= 0)
        return;
    const QString title = painter.fontMetrics().elidedText(shownTitle(m_window), Qt::ElideRight, text.width());
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, title);
}

void QSkinObject::updateButtons()
{
    if (!m_window || !m_renderer || m_plainFrame.isNull())
        return;
    const QPoint cursor = m_window->mapFromGlobal(QCursor::pos());
    const Button buttons[] = {Button::Minimize, Button::Maximize, Button::Close};
    ButtonState states[3];
    for (int i = 0; i < 3; ++i)
        states[i] = stateOf(buttons[i], cursor);
    if (m_buttonsDrawn && std::equal(states, states + 3, m_drawnStates))
        return;

    m_frame = m_plainFrame;
    m_frame.detach();
    QPainter painter(&m_frame);
    painter.setRenderHint(QPainter::Antialiasing);
    const char *names[] = {"minimize", "maximize", "close"};
    for (int i = 0; i < 3; ++i) {
        const QRectF rect = buttonRect(buttons[i]);
        if (rect.isEmpty())
            continue;
        const char *state = states[i] == ButtonState::Pressed ? "pressed"
            : states[i] == ButtonState::Hover                 ? "hover"
                                                              : "normal";
        const QString id = buttonId(names[i], state);
        if (m_renderer->elementExists(id))
            m_renderer->render(&painter, id, rect);
    }
    std::copy(states, states + 3, m_drawnStates);
    m_buttonsDrawn = true;
}

void QSkinObject::paintWindow()
{
    updateStyle();
    QPainter painter(m_window);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawPixmap(0, 0, m_frame);
}

bool QSkinObject::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::Paint:
        paintWindow();
        break;
    case QEvent::Resize:
        updateRegions();
        event->ignore();
        break;
    case QEvent::MouseMove:
        titleMove(static_cast<QMouseEvent *>(event));
        event->accept();
        break;
    case QEvent::MouseButtonPress:
        // Reaches here only while the move/resize handler lets presses by,
        // as it does while the skin is maximized.
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            titlePress(static_cast<QMouseEvent *>(event));
        break;
    case QEvent::MouseButtonRelease:
        titleRelease(static_cast<QMouseEvent *>(event));
        break;
    case QEvent::MouseButtonDblClick: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint pos = windowPos(mouse);
        if (mouse->button() == Qt::LeftButton && pos.x() < m_window->width() && pos.y() < bounds(topId).height()) {
            toggleMaximized();
            event->accept();
        } else {
            event->ignore();
        }
        break;
    }
    case QEvent::Leave:
        updateButton(m_hoveredButton);
        m_hoveredButton = Button::None;
        break;
    case QEvent::WindowTitleChange:
    case QEvent::ModifiedChange:
        m_window->update(0, 0, m_window->width(), int(bounds(topId).height()));
        break;
    default:
        break;
    }
    return false;
}
