#include "app/instanceserver.h"
#include "app/startup.h"
#include "app/userfolders.h"
#include "app/vk.h"
#include "editor/filekind.h"
#include "editor/userwordlist.h"
#include "media/processend.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QSharedMemory>
#include <QTimer>
#include <QTranslator>

#include <memory>

int main(int argc, char *argv[])
{
    // Named files are taken as the user meant them, against the directory
    // the program was started in, before the data folder becomes the
    // working directory.
    const QStringList files = startup::absoluteFileArguments(argc, argv);
    auto app = std::make_unique<QApplication>(argc, argv);
    startup::prepareApplication(*app);
    userfolders::enterDataFolder(QCoreApplication::applicationDirPath());
    userfolders::adoptOldSettings();
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
    if (!guard) {
        // The running instance takes the files and comes to the front.
        if (startup::handOverToRunningInstance(files))
            return 0;
        startup::reportHandOverFailure(files);
        return 1;
    }
    userwordlist::setPath(userfolders::adoptWordList(userwordlist::path()));

    {
        Vk window;
        InstanceServer server(QString::fromLatin1(startup::instanceKey));
        QObject::connect(&server, &InstanceServer::filesRequested, &window, &Vk::openPaths);
        (void)server.listen();
        window.show();
        // The editor has loaded a document named on the command line
        // already; a media file is played once the event loop runs.
        if (!files.isEmpty() && filekind::of(files.first()) == filekind::Kind::Media) {
            const QString media = files.first();
            QTimer::singleShot(0, &window, [&window, media] { window.openFile(media); });
        }
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
