#include "app/startup.h"
#include "app/vk.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QSharedMemory>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char *argv[])
{
    auto app = std::make_unique<QApplication>(argc, argv);
    startup::prepareApplication(*app);
    startup::ensureInterfaceFont();
    const QString locale = QLocale::system().name();
    std::unique_ptr<QTranslator> translator(startup::installTranslator(*app, locale));
    std::unique_ptr<QTranslator> toolkitTranslator(startup::installToolkitTranslator(*app, locale));

    if (!startup::systemHasOpenGL()) {
        QMessageBox::critical(nullptr, QStringLiteral("OpenGL is needed"),
                              QStringLiteral("This system does not support OpenGL and this program cannot work without it."),
                              QMessageBox::Ok);
        return -1;
    }

    QSharedMemory *guard = startup::claimSingleInstance();
    if (!guard)
        return 0;

    {
        Vk window;
        window.show();
        (void)app->exec();
        startup::releaseSingleInstance(guard);
    }
    toolkitTranslator.reset();
    translator.reset();
    app.reset();
    // Everything of the program's own is gone. Qt 6.4's PulseAudio engine,
    // a static object, disconnects from the sound server in its destructor
    // without holding the lock of its event thread, which may still be
    // taking the server's answers to the last sound output closed; libpulse
    // then, rarely, aborts the program on its way out. The process ends
    // without that teardown; the system closes the connection.
    std::fflush(nullptr);
    std::_Exit(0);
}
