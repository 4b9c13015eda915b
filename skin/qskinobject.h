#pragma once

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QRectF>
#include <QRegion>
#include <QSize>
#include <QString>
#include <QWidget>

class QMouseEvent;
class QSvgRenderer;
class QSkinWidgetResizeHandler;

// Gives one top-level window a frame of its own: borders, a title bar with
// icon and title, and minimize/maximize/close buttons, all drawn from the
// elements of an SVG template. The window is made frameless, shaped to the
// drawn frame and moved and resized by a QSkinWidgetResizeHandler.
//
// The settings ("skin/skin.dat", group "Skin") and the template are read
// relative to the program's own directory, not the working directory; the
// title icon is read relative to the working directory.
//
// The object has no parent and may outlive its window; once the window is
// gone every call does nothing.
class QSkinObject final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QSkinObject)

public:
    explicit QSkinObject(QWidget *window);
    ~QSkinObject() override;

    // The directory that holds "skin/skin.dat" and that "Skinpfad" is
    // relative to: the running executable's directory unless set otherwise.
    QString programDirectory() const { return m_programDirectory; }
    void setProgramDirectory(const QString &directory) { m_programDirectory = directory; }

    // Used by the move/resize handler.
    bool isSkinMaximized() const { return m_maximized; }
    int borderWidth() const; // width of "border_left", pixels
    void titlePress(QMouseEvent *event);
    void titleRelease(QMouseEvent *event);
    void titleMove(QMouseEvent *event);

    // The title as a window manager would show it: "[*]" becomes "*" while
    // the window is modified and disappears otherwise; "[*][*]" is a literal "[*]".
    static QString shownTitle(const QWidget *window);

    bool isSkinning() const { return m_skinning; }
    QString templatePath() const { return m_templatePath; }
    QFont titleFont() const { return m_titleFont; }
    QColor titleColor() const { return m_titleColor; }
    QColor backgroundColor() const { return m_backgroundColor; }
    double alphaValue() const { return m_alpha; }
    QRect contentRect() const { return m_contentRect; } // window coordinates
    QRegion closeRegion() const { return m_closeRegion; }
    QRegion maximizeRegion() const { return m_maximizeRegion; }
    QRegion minimizeRegion() const { return m_minimizeRegion; }
    QPixmap framePicture() const { return m_frame; }
    QSkinWidgetResizeHandler *resizeHandler() const; // the current one, or none while the skin is off

public Q_SLOTS:
    void updateStyle();
    void updateButtons();
    void startSkinning();
    void stopSkinning();
    void setAlphaValue(double a);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Button { None, Minimize, Maximize, Close };
    enum class ButtonState { Normal, Hover, Pressed };

    // What the drawn frame depends on besides the buttons; the frame is
    // drawn again only when one of these changes.
    struct FrameKey
    {
        QSize size;
        QString title;
        QDateTime iconModified;
        qint64 iconBytes = -1;
        quint64 generation = 0;
        bool operator==(const FrameKey &) const = default;
    };

    void readSettings();
    // The frame's own minimum, or the contents' where that is larger.
    void applyMinimumSize();
    QRectF bounds(const QString &id) const;
    void updateRegions();
    QRectF buttonRect(Button button) const;
    Button buttonAt(const QPoint &pos) const;
    ButtonState stateOf(Button button, const QPoint &cursor) const;
    QPoint windowPos(const QMouseEvent *event) const;
    void updateButton(Button button);
    void drawFrame(const FrameKey &key);
    void drawTitle(QPainter &painter, const QRectF &left, const QRectF &top, const QRectF &right,
                   const QRectF &close) const;
    void toggleMaximized();
    FrameKey frameKey() const;
    void paintWindow();

    QPointer<QWidget> m_window;
    QString m_programDirectory;
    QPixmap m_frame;      // frame with the buttons, as shown
    QPixmap m_plainFrame; // frame without the buttons
    FrameKey m_frameKey;
    bool m_frameDrawn = false;
    ButtonState m_drawnStates[3] = {};
    bool m_buttonsDrawn = false;
    quint64 m_generation = 0;

    QString m_templatePath;
    QFont m_titleFont;
    QColor m_titleColor;
    QColor m_backgroundColor;
    double m_alpha = 1.0;
    QRegion m_closeRegion;
    QRegion m_maximizeRegion;
    QRegion m_minimizeRegion;
    QRect m_contentRect;
    QPointer<QSkinWidgetResizeHandler> m_resizeHandler;
    QSvgRenderer *m_renderer = nullptr;

    bool m_pressed = false;
    Button m_pressedButton = Button::None; // the button a left press started on
    Button m_hoveredButton = Button::None;
    QSize m_savedSize;
    QPoint m_savedPosition;
    bool m_maximized = false;
    bool m_skinning = false;
};
