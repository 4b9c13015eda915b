#pragma once

#include <QMainWindow>

class QAction;

// The player's main window. For now a plain window whose Quit action ends
// the event loop, since closing windows does not.
class Vk final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Vk)

public:
    explicit Vk(QWidget *parent = nullptr);
    ~Vk() override;

    QAction *quitAction() const { return m_actionQuit; }

private:
    QAction *m_actionQuit = nullptr;
};
