#include "app/startup.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSharedMemory>
#include <QTranslator>

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
    // No directory, delimiters or suffix: load() then tries app_de_DE.qm,
    // app_de_DE, app_de.qm, app_de, ... in that order.
    (void)translator->load(QString::fromLatin1(translationBase) + localeName);
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

} // namespace startup
