// Runs the real program as a user would: opens a generated clip through the
// file dialog, marks a passage with F7 and F8 and watches it repeat. The
// program's player trace (category vantiro.player) reports the position
// and the marks on every refresh.

#include "app/startup.h"
#include "tests/support/mediamaker.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QtTest>

class TestEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void markedPassageRepeats();
    void cleanup();

private:
    struct Sample
    {
        qint64 position;
        qint64 markIn;
        qint64 markOut;
    };
    static bool xdotool(const QStringList &arguments, QString *output = nullptr);
    void readTrace();
    static void clearInstanceSegment();

    QTemporaryDir m_dir;
    QString m_clip;
    QProcess m_program;
    QByteArray m_pending;
    QList<Sample> m_samples;
};

void TestEndToEnd::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_clip = m_dir.filePath(QStringLiteral("lesson.mp4"));
    QVERIFY(mediamaker::makeVideo(m_clip, 20, 320, 240, 25));
    QVERIFY2(xdotool({QStringLiteral("version")}), "xdotool is needed to drive the program");
}

bool TestEndToEnd::xdotool(const QStringList &arguments, QString *output)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(20000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        const QByteArray complaint = tool.readAllStandardError().trimmed();
        if (!complaint.isEmpty())
            qWarning("xdotool %s: %s", qPrintable(arguments.join(QLatin1Char(' '))), complaint.constData());
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(tool.readAllStandardOutput());
    return true;
}

void TestEndToEnd::readTrace()
{
    static const QRegularExpression line(QStringLiteral("position (-?\\d+) in (-?\\d+)\\.\\.(-?\\d+)"));
    m_pending += m_program.readAllStandardError();
    int end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QString text = QString::fromLocal8Bit(m_pending.left(end));
        m_pending.remove(0, end + 1);
        const QRegularExpressionMatch m = line.match(text);
        if (m.hasMatch())
            m_samples.append({m.captured(1).toLongLong(), m.captured(2).toLongLong(), m.captured(3).toLongLong()});
    }
}

void TestEndToEnd::markedPassageRepeats()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("vantiro.player.debug=true"));
    m_program.setProcessEnvironment(env);
    m_program.setWorkingDirectory(QStringLiteral(VK_RUNTIME_DIR));
    m_program.start(QStringLiteral(VK_EXECUTABLE), {});
    QVERIFY(m_program.waitForStarted());

    // The player window, once the skin has shown it.
    QString found;
    QTRY_VERIFY_WITH_TIMEOUT(m_program.state() != QProcess::Running
                                 || xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                             QStringLiteral("--name"), QStringLiteral("^Vantiro")}, &found),
                             20000);
    QVERIFY2(m_program.state() == QProcess::Running,
             qPrintable(QStringLiteral("the program ended with %1 (exit code 0 means that another "
                                       "instance holds the machine's single-instance guard): %2")
                            .arg(m_program.exitCode())
                            .arg(QString::fromLocal8Bit(m_program.readAllStandardError()))));
    const QString window = found.split(QLatin1Char('\n'), Qt::SkipEmptyParts).first();
    QString geometry;
    QVERIFY(xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window}, &geometry));
    QHash<QString, int> g;
    for (const QString &pair : geometry.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        g.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1).toInt());
    const QString cx = QString::number(g.value(QStringLiteral("X")) + g.value(QStringLiteral("WIDTH")) / 2);
    const QString cy = QString::number(g.value(QStringLiteral("Y")) + g.value(QStringLiteral("HEIGHT")) / 3);

    // A double click on the idle screen asks for a file.
    QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), cx, cy}));
    QVERIFY(xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                     QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("1")}));
    QString dialog;
    QTRY_VERIFY_WITH_TIMEOUT(xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                      QStringLiteral("--name"), QStringLiteral("^Open File$")}, &dialog),
                             20000);
    // Keys go to the focused window, and without a window manager nobody
    // else hands the focus over.
    QVERIFY(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                     dialog.split(QLatin1Char('\n'), Qt::SkipEmptyParts).first()}));
    QVERIFY(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("10"), m_clip}));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));

    // Playing: the position moves on.
    QTRY_VERIFY_WITH_TIMEOUT((readTrace(), m_samples.size() >= 6 && m_samples.last().position > m_samples.first().position), 20000);
    const qint64 length = m_samples.first().markOut - m_samples.first().markIn;
    QVERIFY(length > 0);

    QVERIFY(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("F7")}));
    QTRY_VERIFY_WITH_TIMEOUT((readTrace(), m_samples.last().markIn > 0), 10000);
    const qint64 markIn = m_samples.last().markIn;
    // Pressed about a second and a half into the clip, not at its end.
    QVERIFY2(markIn < length / 2, qPrintable(QString::number(markIn)));
    // About a second and a half later the passage ends.
    const int later = m_samples.size() + 6;
    QTRY_VERIFY_WITH_TIMEOUT((readTrace(), m_samples.size() >= later), 10000);
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("F8")}));
    QTRY_VERIFY_WITH_TIMEOUT((readTrace(), m_samples.last().markOut < length), 10000);
    const qint64 markOut = m_samples.last().markOut;
    QVERIFY(markIn < markOut);
    const int marked = m_samples.size();

    // Three returns to the start mark, and never far outside the passage.
    const qint64 passage = markOut - markIn;
    auto returns = [&] {
        int count = 0;
        for (int i = marked + 1; i < m_samples.size(); ++i)
            count += m_samples.at(i).position < m_samples.at(i - 1).position - passage / 2;
        return count;
    };
    QTRY_VERIFY_WITH_TIMEOUT((readTrace(), returns() >= 3), 30000);
    qInfo("passage %lld..%lld of %lld ticks: %d returns in %lld samples", markIn, markOut, length,
          returns(), static_cast<long long>(m_samples.size() - marked));
    for (int i = marked + 2; i < m_samples.size(); ++i) {
        const qint64 p = m_samples.at(i).position;
        QVERIFY2(p >= markIn - passage / 4 && p <= markOut + passage / 4,
                 qPrintable(QStringLiteral("position %1 outside %2..%3").arg(p).arg(markIn).arg(markOut)));
    }
}

void TestEndToEnd::clearInstanceSegment()
{
    // A terminated program leaves its segment behind, as after a crash; a
    // probe's own detach clears it for the tests that follow.
    QSharedMemory probe(QString::fromLatin1(startup::instanceKey));
    if (probe.attach(QSharedMemory::ReadOnly))
        probe.detach();
}

void TestEndToEnd::cleanup()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.terminate();
        if (!m_program.waitForFinished(20000))
            m_program.kill();
        m_program.waitForFinished(5000);
    }
    clearInstanceSegment();
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
