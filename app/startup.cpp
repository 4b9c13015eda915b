#include "app/startup.h"

#include <QApplication>
#include <QFontDatabase>
#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSharedMemory>
#include <QTranslator>

#include "app/instanceserver.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace startup {

void prepareApplication(QApplication &app)
{
    app.setQuitOnLastWindowClosed(false);
    // Source strings are UTF-8 and Qt decodes them as such, so the Chinese
    // title needs no locale codec for tr().
}

bool ensureInterfaceFont(const QString &file)
{
    if (QFontDatabase::families(QFontDatabase::Any).contains(QString::fromLatin1(fontFamily)))
        return false;
    QFontDatabase::addApplicationFont(file);
    return true;
}

QTranslator *installTranslator(QApplication &app, const QString &localeName)
{
    auto *translator = new QTranslator;
    // The plain C or POSIX locale of a bare system or a script is English.
    const QString name = localeName == QLatin1String("C") || localeName == QLatin1String("POSIX")
        ? QStringLiteral("en")
        : localeName;
    // No directory, delimiters or suffix: load() then tries app_de_DE.qm,
    // app_de_DE, app_de.qm, app_de, ... in that order.
    (void)translator->load(QString::fromLatin1(translationBase) + name);
    app.installTranslator(translator);
    return translator;
}

QTranslator *installToolkitTranslator(QApplication &app, const QString &localeName)
{
    auto *translator = new QTranslator;
    (void)translator->load(QStringLiteral("qtbase_") + localeName,
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    app.installTranslator(translator);
    return translator;
}

bool systemHasOpenGL()
{
    QOffscreenSurface surface;
    surface.create();
    if (!surface.isValid())
        return false;
    QOpenGLContext context;
    return context.create() && context.makeCurrent(&surface);
}

QSharedMemory *claimSingleInstance(const QString &key)
{
    auto *guard = new QSharedMemory(key);
    for (int round = 0; round < 2; ++round) {
        if (guard->attach(QSharedMemory::ReadOnly))
            guard->detach();
    }
    if (!guard->create(1, QSharedMemory::ReadWrite)) {
        delete guard;
        return nullptr;
    }
    return guard;
}

void releaseSingleInstance(QSharedMemory *guard)
{
    if (!guard)
        return;
    if (guard->isAttached())
        guard->detach();
    delete guard;
}

QStringList absoluteFileArguments(int argc, char *argv[])
{
    // The strings must outlive the application object, which keeps argv.
    static std::vector<std::string> kept;
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-' || argv[i][0] == '\0')
            continue;
        // Only names of existing files: the value of a toolkit option such
        // as "-platform offscreen" must stay as it is.
        std::error_code failed;
        if (!std::filesystem::exists(argv[i], failed))
            continue;
        const std::filesystem::path path = std::filesystem::absolute(argv[i], failed);
        if (failed)
            continue;
        kept.push_back(path.lexically_normal().string());
        argv[i] = kept.back().data();
        files.append(QString::fromLocal8Bit(argv[i]));
    }
    return files;
}

bool handOverToRunningInstance(const QStringList &files, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    const QString key = QString::fromLatin1(instanceKey);
    // The first instance claims the guard before it opens its socket: a
    // start in between finds no one listening yet and tries again.
    while (!InstanceServer::handOver(key, files, int(std::max<qint64>(1, deadline.remainingTime())))) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(100);
    }
    return true;
}

void reportHandOverFailure(const QStringList &files)
{
    QStringList names;
    for (const QString &file : files)
        names.append(QDir::toNativeSeparators(file));
    const QString text = names.isEmpty()
        ? QCoreApplication::translate("startup", "The player is already running but does not answer.\n"
                                                 "Quit it from its tray icon, or end it, and start it again.")
        : QCoreApplication::translate("startup", "The player is already running but does not answer, so it "
                                                 "could not open %1.\n"
                                                 "Quit it from its tray icon, or end it, and open the file again.")
              .arg(names.join(QStringLiteral(", ")));
    fprintf(stderr, "%s\n", qPrintable(text));
    QMessageBox::warning(nullptr, QCoreApplication::translate("startup", "Vantiro"), text);
}

} // namespace startup
