#include "app/startup.h"
#include "app/vk.h"
#include "media/processend.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QSharedMemory>
#include <QTranslator>

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
    // Everything of the program's own is gone; Qt's sound engine must not
    // tear itself down (see processend.h).
    processend::endWithoutStaticTeardown(0);
}
