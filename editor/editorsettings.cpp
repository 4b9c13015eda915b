#include "editor/editorsettings.h"

#include <QStandardPaths>

namespace editorsettings {

namespace {

QString &settingsPath()
{
    static QString path;
    return path;
}

QString &memoryPath()
{
    static QString path;
    return path;
}

QString inConfigFolder(const QString &name)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/vantiro/")
        + name;
}

} // namespace

void setFiles(const QString &settingsFile, const QString &memoryFile)
{
    settingsPath() = settingsFile;
    memoryPath() = memoryFile;
}

QString settingsFile()
{
    return settingsPath().isEmpty() ? inConfigFolder(QStringLiteral("vantiro.ini")) : settingsPath();
}

QString memoryFile()
{
    return memoryPath().isEmpty() ? inConfigFolder(QStringLiteral("files.ini")) : memoryPath();
}

} // namespace editorsettings
