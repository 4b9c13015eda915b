#include "media/iaudio.h"
#include "media/processend.h"

#include <QMediaDevices>
#include <QProcess>
#include <QTest>

// A program that has just closed its sound outputs ends cleanly: run as a
// child many times, since the fault this guards against (Qt's PulseAudio
// engine tearing itself down against its own event thread) struck about
// one exit in a hundred.
class tst_ProcessEnd : public QObject
{
    Q_OBJECT
private slots:
    void endsCleanlyAfterClosingSound();
};

namespace {

constexpr int runs = 400;
const char childArgument[] = "closeSoundAndEnd";

// Opens, fills and closes a few outputs, as a player does that opens one
// file after another, and ends right after the last one closed.
[[noreturn]] void closeSoundAndEnd(int argc, char *argv[])
{
    {
        QCoreApplication app(argc, argv);
        IAudio audio;
        QByteArray silence(8192, '\0');
        for (int rate : {44100, 48000, 22050, 32000}) {
            if (!audio.setup(QMediaDevices::defaultAudioOutput(), rate, 16, 2))
                processend::endWithoutStaticTeardown(3);
            audio.write(silence.data(), int(silence.size()));
            audio.close();
        }
    }
    processend::endWithoutStaticTeardown(0);
}

} // namespace

void tst_ProcessEnd::endsCleanlyAfterClosingSound()
{
    int failures = 0;
    QString last;
    for (int run = 0; run < runs; ++run) {
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(childArgument)});
        QVERIFY(child.waitForFinished(60000));
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            ++failures;
            last = QStringLiteral("run %1: %2 with %3: %4")
                       .arg(run)
                       .arg(child.exitStatus() == QProcess::NormalExit ? u"exit"_qs : u"crash"_qs)
                       .arg(child.exitCode())
                       .arg(QString::fromLocal8Bit(child.readAll()).trimmed());
        }
    }
    QVERIFY2(failures == 0, qPrintable(QStringLiteral("%1 of %2 runs failed; %3").arg(failures).arg(runs).arg(last)));
}

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], childArgument) == 0)
        closeSoundAndEnd(argc, argv);
    QCoreApplication app(argc, argv);
    tst_ProcessEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_processend.moc"
