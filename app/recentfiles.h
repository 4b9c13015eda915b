#pragma once

#include <QString>
#include <QStringList>

// The media files opened last, newest first, kept in the settings file of
// the user's configuration folder so that they outlive the run.
class RecentFiles final
{
public:
    static constexpr int maxCount = 10;

    // settingsFile: the INI file that holds the list.
    explicit RecentFiles(const QString &settingsFile);

    QStringList files() const;
    // Puts the file first, dropping an older entry of it and the oldest
    // beyond maxCount.
    void add(const QString &file);
    void remove(const QString &file);

    // The first words of the dictation saved beside a media file (the
    // media path with ".html" appended), at most maxWords of them and
    // with "..." when there are more; empty without a dictation.
    static QString dictationHint(const QString &mediaFile, int maxWords = 6);

private:
    void store(const QStringList &files);

    QString m_settingsFile;
};
