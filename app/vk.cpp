#include "app/vk.h"

#include <QApplication>
#include <QMenuBar>

Vk::Vk(QWidget *parent)
    : QMainWindow(parent)
{
    QPalette pal = palette();
    pal.setBrush(QPalette::Window, Qt::black);
    pal.setBrush(QPalette::WindowText, Qt::white);
    setPalette(pal);
    resize(640, 480);
    setWindowTitle(tr("Vantiro复读机软件"));

    m_actionQuit = new QAction(tr("Quit"), this);
    connect(m_actionQuit, &QAction::triggered, qApp, &QCoreApplication::quit);
    menuBar()->addAction(m_actionQuit);
}

Vk::~Vk() = default;
