#include "skin/localizedfile.h"

#include <QFileInfo>

namespace localizedfile {

QString pick(const QString &file, const QLocale &locale)
{
    const qsizetype slash = file.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    const qsizetype cut = dot > slash ? dot : file.size();
    const QString stem = file.left(cut);
    const QString suffix = file.mid(cut);
    const QString name = locale.name(); // "zh_CN"
    for (const QString &tag : {name, name.section(QLatin1Char('_'), 0, 0)}) {
        const QString candidate = stem + QLatin1Char('_') + tag + suffix;
        if (!tag.isEmpty() && QFileInfo::exists(candidate))
            return candidate;
    }
    return file;
}

} // namespace localizedfile
