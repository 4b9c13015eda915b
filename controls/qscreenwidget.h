#pragma once

#include <QWidget>

// What the video area shows while no file is open: a picture in the middle
// and an open button below it on black. Clicking the button or
// double-clicking anywhere asks for a file.
class QScreenWidget final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QScreenWidget)

public:
    explicit QScreenWidget(QWidget *parent = nullptr);

signals:
    // a mouse button was pressed on the open button
    void click();
    // the left button was double-clicked anywhere
    void doubleClick();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
