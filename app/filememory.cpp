#include "app/filememory.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>
#include <utility>
#include <vector>

FileMemory::FileMemory(const QString &settingsFile)
    : m_settingsFile(settingsFile)
{
}

QString FileMemory::keyOf(const QString &mediaFile)
{
    const QFileInfo info(mediaFile);
    if (!info.isFile())
        return {};
    const QString identity = info.absoluteFilePath() + QLatin1Char('\n') + QString::number(info.size())
        + QLatin1Char('\n') + QString::number(info.lastModified().toMSecsSinceEpoch());
    // INI keys cannot hold every character of a path; a digest can.
    return QString::fromLatin1(QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha1).toHex());
}

std::optional<FileMemory::State> FileMemory::recall(const QString &mediaFile) const
{
    const QString key = keyOf(mediaFile);
    if (key.isEmpty())
        return std::nullopt;
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    // An entry may hold only what was done to the file's sentences.
    if (!settings.contains(key + QStringLiteral("/position")))
        return std::nullopt;
    settings.beginGroup(key);
    State state;
    state.position = settings.value(QStringLiteral("position")).toLongLong();
    state.markIn = settings.value(QStringLiteral("markIn")).toLongLong();
    state.markOut = settings.value(QStringLiteral("markOut")).toLongLong();
    state.loop = settings.value(QStringLiteral("loop")).toBool();
    state.speed = settings.value(QStringLiteral("speed"), 1.0).toDouble();
    return state;
}

void FileMemory::store(const QString &mediaFile, const std::function<void(QSettings &)> &write)
{
    const QString key = keyOf(mediaFile);
    if (key.isEmpty())
        return;
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    settings.beginGroup(key);
    // The path is kept for whoever reads the file; the key decides.
    settings.setValue(QStringLiteral("path"), QFileInfo(mediaFile).absoluteFilePath());
    write(settings);
    settings.setValue(QStringLiteral("stored"), QDateTime::currentMSecsSinceEpoch());
    settings.endGroup();
    prune(settings);
}

void FileMemory::remember(const QString &mediaFile, const State &state)
{
    store(mediaFile, [&state](QSettings &settings) {
        settings.setValue(QStringLiteral("position"), static_cast<qlonglong>(state.position));
        settings.setValue(QStringLiteral("markIn"), static_cast<qlonglong>(state.markIn));
        settings.setValue(QStringLiteral("markOut"), static_cast<qlonglong>(state.markOut));
        settings.setValue(QStringLiteral("loop"), state.loop);
        settings.setValue(QStringLiteral("speed"), state.speed);
    });
}

FileMemory::Sentences FileMemory::recallSentences(const QString &mediaFile) const
{
    const QString key = keyOf(mediaFile);
    if (key.isEmpty())
        return {};
    const QSettings settings(m_settingsFile, QSettings::IniFormat);
    Sentences sentences;
    sentences.edits = settings.value(key + QStringLiteral("/sentenceEdits")).toStringList();
    const QStringList revealed = settings.value(key + QStringLiteral("/revealed")).toStringList();
    for (const QString &start : revealed) {
        bool ok = false;
        const qint64 ms = start.toLongLong(&ok);
        if (ok)
            sentences.revealed.append(ms);
    }
    return sentences;
}

void FileMemory::rememberSentences(const QString &mediaFile, const Sentences &sentences)
{
    store(mediaFile, [&sentences](QSettings &settings) {
        settings.setValue(QStringLiteral("sentenceEdits"), sentences.edits);
        QStringList revealed;
        for (const qint64 ms : sentences.revealed)
            revealed.append(QString::number(ms));
        settings.setValue(QStringLiteral("revealed"), revealed);
    });
}

void FileMemory::prune(QSettings &settings)
{
    // Only the files' own entries, named by their digest; others in the
    // same file (the references chosen for the files) are not counted.
    static const QRegularExpression digest(QStringLiteral("^[0-9a-f]{40}$"));
    QStringList keys = settings.childGroups();
    keys.removeIf([](const QString &k) { return !digest.match(k).hasMatch(); });
    if (keys.size() <= maxEntries)
        return;
    std::vector<std::pair<qint64, QString>> byAge;
    for (const QString &k : keys)
        byAge.emplace_back(settings.value(k + QStringLiteral("/stored")).toLongLong(), k);
    std::sort(byAge.begin(), byAge.end());
    for (size_t i = 0; i + maxEntries < byAge.size(); ++i)
        settings.remove(byAge[i].second);
}
