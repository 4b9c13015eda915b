#include "app/userfolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace userfolders {

namespace {

// A folder counts as the data folder when it holds the skin's pictures,
// which every start needs.
bool holdsData(const QString &dir)
{
    return QFileInfo(QDir(dir).filePath(QStringLiteral("skin/default/images"))).isDir();
}

QString ownFolder(QStandardPaths::StandardLocation where)
{
    return QStandardPaths::writableLocation(where) + QStringLiteral("/vantiro");
}

} // namespace

QString findDataFolder(const QString &executableDir)
{
    const QDir bin(executableDir);
    const QStringList candidates{
        bin.absolutePath(),
        QDir::cleanPath(bin.absoluteFilePath(QStringLiteral("../share/vantiro"))),
    };
    for (const QString &dir : candidates) {
        if (holdsData(dir))
            return dir;
    }
    return {};
}

bool enterDataFolder(const QString &executableDir)
{
    const QString dir = findDataFolder(executableDir);
    return !dir.isEmpty() && QDir::setCurrent(dir);
}

QString configFolder()
{
    return ownFolder(QStandardPaths::GenericConfigLocation);
}

QString settingsFile()
{
    return configFolder() + QStringLiteral("/vantiro.ini");
}

QString memoryFile()
{
    return configFolder() + QStringLiteral("/files.ini");
}

void adoptOldSettings()
{
    const QString old = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Vantiro/Vantiro.conf");
    if (!QFileInfo::exists(old))
        return;
    const QSettings from(old, QSettings::IniFormat);
    QSettings settings(settingsFile(), QSettings::IniFormat);
    QSettings memory(memoryFile(), QSettings::IniFormat);
    for (const QString &key : from.allKeys()) {
        QSettings &to = key.startsWith(QLatin1String("references/")) ? memory : settings;
        if (!to.contains(key))
            to.setValue(key, from.value(key));
    }
    settings.sync();
    memory.sync();
    if (settings.status() == QSettings::NoError && memory.status() == QSettings::NoError) {
        QFile::remove(old);
        QDir().rmdir(QFileInfo(old).absolutePath());
    }
}

QString dataFolder()
{
    return ownFolder(QStandardPaths::GenericDataLocation);
}

QString cacheFolder()
{
    return ownFolder(QStandardPaths::GenericCacheLocation);
}

QString adoptWordList(const QString &legacyList)
{
    const QString list = dataFolder() + QStringLiteral("/userDict.txt");
    // Words added later are appended, which needs the folder.
    QDir().mkpath(dataFolder());
    if (QFileInfo::exists(list) || !QFileInfo(legacyList).isFile())
        return list;
    // A rename fails across file systems; a copy then does the move.
    if (!QFile::rename(legacyList, list) && QFile::copy(legacyList, list))
        QFile::remove(legacyList);
    return list;
}

} // namespace userfolders
