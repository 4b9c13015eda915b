#include "app/recentfiles.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTextDocumentFragment>

namespace {
constexpr char listKey[] = "recent/files";
} // namespace

RecentFiles::RecentFiles(const QString &settingsFile)
    : m_settingsFile(settingsFile)
{
}

QStringList RecentFiles::files() const
{
    const QSettings settings(m_settingsFile, QSettings::IniFormat);
    QStringList list = settings.value(QLatin1String(listKey)).toStringList();
    list.removeAll(QString());
    return list.mid(0, maxCount);
}

void RecentFiles::add(const QString &file)
{
    QStringList list = files();
    list.removeAll(file);
    list.prepend(file);
    store(list.mid(0, maxCount));
}

void RecentFiles::remove(const QString &file)
{
    QStringList list = files();
    list.removeAll(file);
    store(list);
}

void RecentFiles::store(const QStringList &files)
{
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    settings.setValue(QLatin1String(listKey), files);
}

QString RecentFiles::dictationHint(const QString &mediaFile, int maxWords)
{
    QFile file(mediaFile + QStringLiteral(".html"));
    // A dictation is a page of typing, not a book; a huge file is not one.
    if (file.size() > 4 * 1024 * 1024 || !file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QTextDocumentFragment::fromHtml(QString::fromUtf8(file.readAll())).toPlainText();
    static const QRegularExpression space(QStringLiteral("\\s+"));
    const QStringList words = text.split(space, Qt::SkipEmptyParts);
    QString hint = words.mid(0, maxWords).join(QLatin1Char(' '));
    if (words.size() > maxWords)
        hint += QStringLiteral("...");
    return hint;
}
