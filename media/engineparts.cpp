#include "media/engineparts.h"

#include <QMutexLocker>

#include <algorithm>
#include <cmath>

void EngineLog::append(const QString &line)
{
    QMutexLocker locker(&m_mutex);
    m_lines.append(line);
    while (m_lines.size() > linesKept)
        m_lines.removeFirst();
}

QString EngineLog::text() const
{
    QMutexLocker locker(&m_mutex);
    return m_lines.join(QString());
}

int64_t EngineParts::ticks(double seconds) const
{
    const double base = timeBase();
    if (base <= 0.0)
        return 1;
    return std::max<int64_t>(1, std::llround(seconds / base));
}

QSize EngineParts::shownSize() const
{
    const uint64_t packed = displaySize;
    return QSize(int(packed >> 32), int(packed & 0xffffffffu));
}
