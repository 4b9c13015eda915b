#pragma once

#include <QString>

// Where the program's files live outside its own data: the data it ships
// (read-only, beside the executable or in the installed data folder) and
// the user's own (XDG folders, which survive a rebuild or a reinstall).
namespace userfolders {

// The folder that holds the shipped data (skin pictures, font,
// translations, dictionaries, help) for an executable in executableDir:
// the executable's own folder when the data lies beside it (the build's
// runtime folder), else <prefix>/share/vantiro for an executable in
// <prefix>/bin. Empty when neither holds the data.
QString findDataFolder(const QString &executableDir);

// Makes the data folder the working directory, since every data path is
// relative to it. Returns false, leaving the working directory alone, when
// no data folder is found (a test binary, say).
bool enterDataFolder(const QString &executableDir);

// $XDG_CONFIG_HOME/vantiro: settings, recent files, remembered files.
QString configFolder();
// The program's settings file (preferences, recent files, window places)
// and the file of remembered media files, both in configFolder().
QString settingsFile();
QString memoryFile();
// Earlier versions kept some settings in a third file
// ($XDG_CONFIG_HOME/Vantiro/Vantiro.conf): what the two files lack of it is
// taken over once (the reference chosen for a media file into the memory
// file, the rest into the settings file) and the old file goes.
void adoptOldSettings();
// $XDG_DATA_HOME/vantiro: the user's word list.
QString dataFolder();
// $XDG_CACHE_HOME/vantiro: what can be made again from the media files,
// such as their waveforms; losing it costs only time.
QString cacheFolder();

// The user's word list in dataFolder(). When it does not exist yet and
// legacyList (the list in the runtime folder of earlier versions) does,
// that list is moved over once. Returns the path to use.
QString adoptWordList(const QString &legacyList);

} // namespace userfolders
