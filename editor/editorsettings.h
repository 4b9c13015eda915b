#pragma once

#include <QString>

// Where the editor keeps what it remembers between runs: its own settings
// (the welcome document shown once) in the program's one settings file, and
// the reference chosen for each media file in the file of what is
// remembered per media file. The program names both files at start; until
// then they are the same two files in the user's configuration folder.
namespace editorsettings {

void setFiles(const QString &settingsFile, const QString &memoryFile);
QString settingsFile();
QString memoryFile();

} // namespace editorsettings
