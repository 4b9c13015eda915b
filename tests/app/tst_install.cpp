// Installs the program as a user would (cmake --install into a scratch
// prefix), checks what a desktop needs of it, and starts the installed
// program from another directory with a file argument, then hands it a
// second file from a second start.

#include "tests/support/mediamaker.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QtTest>

class TestInstall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void desktopEntryOffersThePlayer();
    void iconsInEverySize_data();
    void iconsInEverySize();
    void installedProgramPlaysFromAnywhere();
    void cleanupTestCase();

private:
    QProcessEnvironment userEnvironment() const;
    // The marks the program's trace reported last: the whole file's range
    // tells which file plays.
    bool lastTrace(qint64 *position, qint64 *markOut);

    QTemporaryDir m_dir;
    QString m_prefix;
    QProcess m_program;
    QByteArray m_trace;
};

void TestInstall::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_prefix = m_dir.filePath(QStringLiteral("prefix"));
    QProcess install;
    install.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    install.start(QStringLiteral(VK_CMAKE), {QStringLiteral("--install"), QStringLiteral(VK_BUILD_DIR),
                                             QStringLiteral("--prefix"), m_prefix});
    QVERIFY(install.waitForFinished(300000));
    QCOMPARE(install.exitCode(), 0);
}

void TestInstall::desktopEntryOffersThePlayer()
{
    // Read by hand: to an INI reader a ";" starts a comment.
    QFile entry(m_prefix + QStringLiteral("/share/applications/vantiro.desktop"));
    QVERIFY(entry.open(QIODevice::ReadOnly | QIODevice::Text));
    QHash<QString, QString> desktop;
    const QStringList lines = QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
    for (const QString &line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            desktop.insert(line.left(equals), line.mid(equals + 1));
    }
    QCOMPARE(desktop.value(QStringLiteral("Type")), QStringLiteral("Application"));
    QCOMPARE(desktop.value(QStringLiteral("Exec")), m_prefix + QStringLiteral("/bin/vantiro %f"));
    QCOMPARE(desktop.value(QStringLiteral("Icon")), QStringLiteral("vantiro"));
    const QStringList types = desktop.value(QStringLiteral("MimeType")).split(QLatin1Char(';'));
    for (const char *type : {"video/mp4", "video/x-matroska", "video/x-msvideo", "audio/mpeg", "audio/x-wav"})
        QVERIFY2(types.contains(QLatin1String(type)), type);
    QVERIFY(QFileInfo(m_prefix + QStringLiteral("/bin/vantiro")).isExecutable());
    // The user's word list is not the installation's.
    QVERIFY(!QFileInfo::exists(m_prefix + QStringLiteral("/lib/vantiro/spell/users/userDict.txt")));
}

void TestInstall::iconsInEverySize_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        QTest::newRow(qPrintable(QStringLiteral("%1 px").arg(size))) << size;
}

void TestInstall::iconsInEverySize()
{
    QFETCH(int, size);
    const QImage icon(m_prefix + QStringLiteral("/share/icons/hicolor/%1x%1/apps/vantiro.png").arg(size));
    QCOMPARE(icon.size(), QSize(size, size));
    // Drawn, not empty: the middle is opaque, a corner of the rounded box
    // is not.
    QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
    QVERIFY(qAlpha(icon.pixel(0, 0)) < 128);
}

QProcessEnvironment TestInstall::userEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("vantiro.player.debug=true"));
    // The single-instance guard and the socket beside it are named in the
    // temporary folder: a folder of its own keeps these starts apart from
    // any other instance on the machine, and together with each other.
    env.insert(QStringLiteral("TMPDIR"), m_dir.filePath(QStringLiteral("tmp")));
    return env;
}

bool TestInstall::lastTrace(qint64 *position, qint64 *markOut)
{
    static const QRegularExpression line(QStringLiteral("position (-?\\d+) in (-?\\d+)\\.\\.(-?\\d+)"));
    m_trace += m_program.readAllStandardError();
    QRegularExpressionMatchIterator it = line.globalMatch(QString::fromLocal8Bit(m_trace));
    bool found = false;
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        *position = m.captured(1).toLongLong();
        *markOut = m.captured(3).toLongLong();
        found = true;
    }
    return found;
}

void TestInstall::installedProgramPlaysFromAnywhere()
{
    const QString elsewhere = m_dir.filePath(QStringLiteral("lessons"));
    QVERIFY(QDir().mkpath(elsewhere));
    QVERIFY(mediamaker::makeVideo(elsewhere + QStringLiteral("/first.mp4"), 20));
    QVERIFY(mediamaker::makeAudio(elsewhere + QStringLiteral("/second.mp3"), 9));

    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("tmp"))));
    m_program.setProcessEnvironment(userEnvironment());
    m_program.setWorkingDirectory(elsewhere);
    m_program.start(m_prefix + QStringLiteral("/bin/vantiro"), {QStringLiteral("first.mp4")});
    QVERIFY(m_program.waitForStarted());
    qint64 position = 0, firstEnd = 0;
    QTRY_VERIFY_WITH_TIMEOUT(lastTrace(&position, &firstEnd) && position > 0, 30000);
    // The word list went to the user's data folder.
    QTRY_VERIFY(QFileInfo::exists(m_dir.filePath(QStringLiteral("data/vantiro"))));

    // A second start hands its file over and ends.
    QProcess second;
    second.setProcessEnvironment(userEnvironment());
    second.setWorkingDirectory(elsewhere);
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(m_prefix + QStringLiteral("/bin/vantiro"), {QStringLiteral("second.mp3")});
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(m_program.state(), QProcess::Running);
    qint64 secondEnd = firstEnd;
    QTRY_VERIFY_WITH_TIMEOUT(lastTrace(&position, &secondEnd) && secondEnd != firstEnd && position > 0, 30000);
}

void TestInstall::cleanupTestCase()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.terminate();
        m_program.waitForFinished(20000);
    }
    // A terminated program leaves its shared-memory segment behind, as
    // after a crash; the last one to detach removes it. The segment is
    // found through the program's temporary folder.
    qputenv("TMPDIR", QFile::encodeName(m_dir.filePath(QStringLiteral("tmp"))));
    QSharedMemory segment(QStringLiteral("SingleInstanceIdentify"));
    if (segment.attach(QSharedMemory::ReadOnly))
        segment.detach();
    qunsetenv("TMPDIR");
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
