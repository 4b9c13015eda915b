#include "tests/support/mediamaker.h"

#include <QProcess>
#include <QtDebug>

namespace mediamaker {

bool ffmpeg(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("ffmpeg"),
                  QStringList{QStringLiteral("-y"), QStringLiteral("-nostdin"),
                              QStringLiteral("-loglevel"), QStringLiteral("error")}
                      + arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        qWarning() << "ffmpeg did not finish:" << arguments;
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << "ffmpeg failed:" << arguments << process.readAll();
        return false;
    }
    return true;
}

bool makeVideo(const QString &path, double seconds, int width, int height, int fps,
               const QStringList &extra)
{
    const QString duration = QString::number(seconds);
    return ffmpeg(QStringList{
                      QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("testsrc2=size=%1x%2:rate=%3:duration=%4")
                          .arg(width).arg(height).arg(fps).arg(duration),
                      QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("sine=frequency=440:duration=%1").arg(duration)}
                  + extra + QStringList{QStringLiteral("-shortest"), path});
}

bool makeAudio(const QString &path, double seconds, const QStringList &extra)
{
    return ffmpeg(QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                              QStringLiteral("sine=frequency=440:duration=%1").arg(seconds)}
                  + extra + QStringList{path});
}

} // namespace mediamaker
