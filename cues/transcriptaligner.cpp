#include "cues/transcriptaligner.h"

#include <QThread>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

TranscriptAligner::TranscriptAligner(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<TranscriptAligner::Alignment>();
    // The work counts its progress in an atomic; the GUI reads it at the
    // pace a progress bar needs, so the work never waits for the GUI.
    m_progressTimer->setInterval(100);
    connect(m_progressTimer, &QTimer::timeout, this, [this] {
        const int now = m_percent ? int(*m_percent) : 0;
        if (now != m_told) {
            m_told = now;
            Q_EMIT progressed(now);
        }
        if (!isRunning())
            m_progressTimer->stop();
    });
}

TranscriptAligner::~TranscriptAligner()
{
    stopWorker();
}

void TranscriptAligner::stopWorker()
{
    if (m_cancel)
        *m_cancel = true;
    m_progressTimer->stop();
    if (m_worker) {
        m_worker->wait();
        m_worker.reset();
    }
}

void TranscriptAligner::cancel()
{
    stopWorker();
}

bool TranscriptAligner::isRunning() const
{
    return m_worker && m_worker->isRunning();
}

void TranscriptAligner::start(const QString &mediaPath, const QList<Transcript::Sentence> &sentences)
{
    stopWorker();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    auto percent = std::make_shared<std::atomic<int>>(0);
    m_cancel = cancel;
    m_percent = percent;
    m_told = -1;
    m_progressTimer->start();
    m_worker.reset(QThread::create([this, mediaPath, sentences, cancel, percent] {
#ifdef Q_OS_LINUX
        // Playback's threads come first when both want a core (see
        // SentenceSplitter::start).
        setpriority(PRIO_PROCESS, id_t(gettid()), 10);
#endif
        Alignment alignment;
        QString error;
        const bool ok = align(mediaPath, sentences, &alignment, cancel.get(), percent.get(), &error);
        if (*cancel)
            return;
        if (ok) {
            QMetaObject::invokeMethod(
                this,
                [this, mediaPath, alignment] {
                    m_progressTimer->stop();
                    m_told = 100;
                    Q_EMIT progressed(100);
                    Q_EMIT finished(mediaPath, alignment);
                },
                Qt::QueuedConnection);
        } else {
            QMetaObject::invokeMethod(this, [this, mediaPath, error] { Q_EMIT failed(mediaPath, error); },
                                      Qt::QueuedConnection);
        }
    }));
    m_worker->start(QThread::LowPriority);
}

QString TranscriptAligner::toSrt(const QList<Cue> &cues)
{
    auto stamp = [](int64_t ms) {
        return QStringLiteral("%1:%2:%3,%4")
            .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
            .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
            .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
            .arg(ms % 1000, 3, 10, QLatin1Char('0'));
    };
    QString srt;
    for (qsizetype i = 0; i < cues.size(); ++i) {
        srt += QString::number(i + 1) + QLatin1Char('\n') + stamp(cues[i].start) + QLatin1String(" --> ")
            + stamp(cues[i].end) + QLatin1Char('\n') + cues[i].text + QLatin1String("\n\n");
    }
    return srt;
}
