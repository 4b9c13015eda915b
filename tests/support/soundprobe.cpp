#include "tests/support/soundprobe.h"

#include "tests/support/mediamaker.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtDebug>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace soundprobe {

namespace {

constexpr double clickLevel = 0.55 * 32767; // above any tone, below any click
constexpr int silenceLevel = 300;           // below the tone's every half wave

} // namespace

bool makeTimedTrack(const QString &path, double seconds, const QStringList &extra, bool withVideo)
{
    const QString sound = QStringLiteral(
        "aevalsrc=exprs='if(lt(mod(t,1),0.002),0.95,0.4*sin(2*PI*(300+25*mod(floor(t),40))*t))'"
        ":s=48000:d=%1").arg(seconds);
    QStringList arguments{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), sound};
    if (withVideo)
        arguments += {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("testsrc2=size=320x240:rate=25:duration=%1").arg(seconds)};
    arguments += {QStringLiteral("-ac"), QStringLiteral("2")};
    return mediamaker::ffmpeg(arguments + extra + QStringList{path});
}

PrivateSoundServer::~PrivateSoundServer()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(3000))
            m_server.kill();
        m_server.waitForFinished(1000);
    }
}

bool PrivateSoundServer::start()
{
    if (!m_folder.isValid())
        return false;
    const QString folder = m_folder.path();
    const QString socket = folder + QStringLiteral("/native");
    qputenv("PULSE_RUNTIME_PATH", folder.toLocal8Bit());
    qputenv("PULSE_STATE_PATH", folder.toLocal8Bit());
    qputenv("PULSE_SERVER", QByteArray("unix:") + socket.toLocal8Bit());
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.start(QStringLiteral("pulseaudio"),
                   {QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                    QStringLiteral("--disallow-exit"), QStringLiteral("-n"),
                    QStringLiteral("--load=module-null-sink sink_name=probe"),
                    QStringLiteral("--load=module-native-protocol-unix socket=%1 auth-anonymous=1").arg(socket)});
    if (!m_server.waitForStarted(5000))
        return false;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        QProcess probe;
        probe.setStandardOutputFile(QProcess::nullDevice());
        probe.setStandardErrorFile(QProcess::nullDevice());
        probe.start(QStringLiteral("pactl"), {QStringLiteral("info")});
        if (probe.waitForFinished(5000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
            return true;
        QThread::msleep(100);
    }
    return false;
}

Recorder::Recorder()
{
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
                     [this] { m_data += m_process.readAllStandardOutput(); });
}

Recorder::~Recorder()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool Recorder::start()
{
    m_data.clear();
    m_process.start(QStringLiteral("parecord"),
                    {QStringLiteral("--device=@DEFAULT_MONITOR@"), QStringLiteral("--raw"),
                     QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                     QStringLiteral("--rate=%1").arg(rate), QStringLiteral("--latency-msec=10")});
    if (!m_process.waitForStarted(5000))
        return false;
    QElapsedTimer waited;
    waited.start();
    while (m_data.size() < rate / 10 && waited.elapsed() < 5000) {
        m_process.waitForReadyRead(100);
        m_data += m_process.readAllStandardOutput();
    }
    return m_data.size() >= rate / 10;
}

QVector<qint16> Recorder::stop()
{
    m_data += m_process.readAllStandardOutput();
    m_process.terminate();
    m_process.waitForFinished(2000);
    m_data += m_process.readAllStandardOutput();
    QVector<qint16> samples(m_data.size() / 2);
    std::memcpy(samples.data(), m_data.constData(), std::size_t(samples.size()) * 2);
    return samples;
}

double toneFrequency(const QVector<qint16> &samples, double from, double to)
{
    const qsizetype first = qMax<qsizetype>(0, qsizetype(from * Recorder::rate));
    const qsizetype last = qMin<qsizetype>(samples.size(), qsizetype(to * Recorder::rate));
    int crossings = 0;
    qsizetype firstCrossing = -1;
    qsizetype lastCrossing = -1;
    for (qsizetype i = first + 1; i < last; ++i) {
        if ((samples[i - 1] < 0) != (samples[i] < 0)) {
            if (firstCrossing < 0)
                firstCrossing = i;
            lastCrossing = i;
            ++crossings;
        }
    }
    if (crossings < 3)
        return 0.0;
    return double(crossings - 1) / 2.0 / (double(lastCrossing - firstCrossing) / Recorder::rate);
}

QList<Click> clicks(const QVector<qint16> &samples, double toneSeconds)
{
    QList<Click> found;
    const qsizetype skip = Recorder::rate / 50; // a click lasts 2 ms; its ringing less than 20
    for (qsizetype i = 0; i < samples.size(); ++i) {
        if (std::abs(int(samples[i])) < clickLevel)
            continue;
        Click click{double(i) / Recorder::rate, -1};
        // The tone after the click names its second, where it lasts long
        // enough and no silence cuts it.
        const double from = click.at + 0.02;
        const double to = from + toneSeconds;
        bool whole = to * Recorder::rate < samples.size();
        for (qsizetype j = qsizetype(from * Recorder::rate); whole && j < qsizetype(to * Recorder::rate);
             j += Recorder::rate / 200) {
            int peak = 0;
            for (qsizetype k = j; k < j + Recorder::rate / 200 && k < samples.size(); ++k)
                peak = qMax(peak, std::abs(int(samples[k])));
            whole = peak > silenceLevel && peak < clickLevel;
        }
        if (whole) {
            const double n = (toneFrequency(samples, from, to) - 300.0) / 25.0;
            if (std::abs(n - std::round(n)) < 0.3 && n > -0.5)
                click.second = int(std::lround(n));
        }
        found.append(click);
        i += skip;
    }
    // A click whose tone was cut short follows or precedes a known one by a
    // second of continuous sound.
    const auto near = [](const Click &a, const Click &b) { return std::abs(b.at - a.at - 1.0) < 0.06; };
    for (qsizetype i = 1; i < found.size(); ++i)
        if (found[i].second < 0 && found[i - 1].second >= 0 && near(found[i - 1], found[i]))
            found[i].second = found[i - 1].second + 1;
    for (qsizetype i = found.size() - 2; i >= 0; --i)
        if (found[i].second < 0 && found[i + 1].second > 0 && near(found[i], found[i + 1]))
            found[i].second = found[i + 1].second - 1;
    return found;
}

QList<Span> silences(const QVector<qint16> &samples, double minSeconds)
{
    QList<Span> found;
    qsizetype start = -1;
    const auto close = [&](qsizetype end) {
        if (start >= 0 && double(end - start) / Recorder::rate >= minSeconds)
            found.append({double(start) / Recorder::rate, double(end) / Recorder::rate});
        start = -1;
    };
    for (qsizetype i = 0; i < samples.size(); ++i) {
        if (std::abs(int(samples[i])) <= silenceLevel) {
            if (start < 0)
                start = i;
        } else {
            close(i);
        }
    }
    close(samples.size());
    return found;
}

} // namespace soundprobe
