#include "cues/waveform.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr quint32 magic = 0x56575631; // "VWV1"
constexpr quint32 version = 1;

} // namespace

Waveform::Waveform(QByteArray peaks, int64_t durationMs, QList<QuietSpan> pauses)
    : m_peaks(std::move(peaks))
    , m_durationMs(durationMs)
    , m_pauses(std::move(pauses))
{
    if (m_peaks.size() % 2)
        m_peaks.chop(1);
    const auto *p = reinterpret_cast<const signed char *>(m_peaks.constData());
    int loudest = 1;
    for (qsizetype i = 0; i < m_peaks.size(); ++i)
        loudest = std::max(loudest, std::abs(int(p[i])));
    m_loudest = loudest;
}

std::pair<int, int> Waveform::range(qsizetype first, qsizetype last) const
{
    first = std::max<qsizetype>(first, 0);
    last = std::min(last, bucketCount() - 1);
    if (first > last)
        return {0, 0};
    const auto *p = reinterpret_cast<const signed char *>(m_peaks.constData());
    int low = 127;
    int high = -127;
    for (qsizetype i = first; i <= last; ++i) {
        low = std::min(low, int(p[2 * i]));
        high = std::max(high, int(p[2 * i + 1]));
    }
    return {low, high};
}

QList<QuietSpan> Waveform::pausesOf(int minMs) const
{
    QList<QuietSpan> kept;
    for (const QuietSpan &p : m_pauses) {
        if (p.end - p.start >= minMs)
            kept.append(p);
    }
    return kept;
}

int64_t Waveform::snap(int64_t ms, int64_t reachMs) const
{
    // Pauses are sorted and apart: the nearest edge is on the first pause
    // ending at or after ms, or on the one before it.
    const auto it = std::lower_bound(m_pauses.begin(), m_pauses.end(), ms,
                                     [](const QuietSpan &p, int64_t t) { return p.end < t; });
    int64_t best = ms;
    int64_t distance = reachMs + 1;
    const auto consider = [&](int64_t edge) {
        if (std::abs(edge - ms) < distance) {
            distance = std::abs(edge - ms);
            best = edge;
        }
    };
    if (it != m_pauses.end()) {
        consider(it->start);
        consider(it->end);
    }
    if (it != m_pauses.begin()) {
        consider(std::prev(it)->start);
        consider(std::prev(it)->end);
    }
    return best;
}

QString Waveform::cacheFile(const QString &folder, const QString &mediaPath)
{
    const QFileInfo info(mediaPath);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(info.absoluteFilePath().toUtf8());
    hash.addData(QByteArray::number(info.size()));
    hash.addData(QByteArray::number(info.lastModified().toMSecsSinceEpoch()));
    return QDir(folder).filePath(QString::fromLatin1(hash.result().toHex()) + QStringLiteral(".peaks"));
}

bool Waveform::save(const QString &file) const
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    QDataStream stream(&out);
    stream.setVersion(QDataStream::Qt_6_4);
    stream << magic << version << qint64(m_durationMs) << qint32(bucketMs) << m_peaks
           << qint32(m_pauses.size());
    for (const QuietSpan &p : m_pauses)
        stream << qint64(p.start) << qint64(p.end);
    return stream.status() == QDataStream::Ok && out.commit();
}

Waveform Waveform::load(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QDataStream stream(&in);
    stream.setVersion(QDataStream::Qt_6_4);
    quint32 m = 0, v = 0;
    qint64 duration = 0;
    qint32 bucket = 0, count = 0;
    QByteArray peaks;
    stream >> m >> v >> duration >> bucket >> peaks >> count;
    // A bucket of another size is another program's idea of the file.
    if (stream.status() != QDataStream::Ok || m != magic || v != version || bucket != bucketMs
        || count < 0 || duration < 0)
        return {};
    QList<QuietSpan> pauses;
    // The count is the file's word: a damaged one must not reserve gigabytes.
    pauses.reserve(std::min<qint32>(count, 1 << 16));
    for (qint32 i = 0; i < count; ++i) {
        qint64 start = 0, end = 0;
        stream >> start >> end;
        pauses.append({start, end});
    }
    if (stream.status() != QDataStream::Ok)
        return {};
    return Waveform(std::move(peaks), duration, std::move(pauses));
}
