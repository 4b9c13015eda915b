#include "app/startup.h"
#include "app/vk.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QProcess>
#include <QRawFont>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

#include <csignal>

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stagedFontIsMenschWithIpa();
    void fontAddedOnlyWhenFamilyUnknown();
    void translatorPrefersFullLocaleName_data();
    void translatorPrefersFullLocaleName();
    void toolkitTextsFollowTheLocale();
    void openGLIsFound();
    void secondClaimFails();
    void closingWindowsKeepsRunningUntilQuit();
    void secondStartExitsAndFirstRuns();
    void handOverWithoutAnswerIsTold();
    void startAfterCrashRuns();

private:
    static QString runtimeFile(const QString &name) { return QStringLiteral(VK_RUNTIME_DIR "/") + name; }
    static bool instanceRunning();
    static void startProgram(QProcess &program);
};

void TestStartup::stagedFontIsMenschWithIpa()
{
    const QRawFont font(runtimeFile(QStringLiteral("font/mensch.ttf")), 14);
    QVERIFY(font.isValid());
    QCOMPARE(font.familyName(), QStringLiteral("Mensch"));
    const QString ipa = QStringLiteral("ɑəɛɡʃʒθŋʌɔæðːˈˌ");
    for (const QChar c : ipa)
        QVERIFY2(font.supportsCharacter(c), qPrintable(QStringLiteral("no glyph for %1").arg(c)));
}

void TestStartup::fontAddedOnlyWhenFamilyUnknown()
{
    const QString file = runtimeFile(QStringLiteral("font/mensch.ttf"));
    QVERIFY(!QFontDatabase::families().contains(QStringLiteral("Mensch")));
    QVERIFY(startup::ensureInterfaceFont(file));
    QVERIFY(QFontDatabase::families().contains(QStringLiteral("Mensch")));
    QVERIFY(!startup::ensureInterfaceFont(file));
    // A missing file is simply not found; nothing else happens.
    QVERIFY(!startup::ensureInterfaceFont(QStringLiteral("./no/such/font.ttf")));
}

void TestStartup::translatorPrefersFullLocaleName_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("loaded");
    QTest::newRow("both present") << "de_DE" << QStringList{"app_de_DE.qm", "app_de.qm"} << "app_de_DE.qm";
    QTest::newRow("language only") << "de_DE" << QStringList{"app_de.qm"} << "app_de.qm";
    QTest::newRow("none") << "de_DE" << QStringList{} << QString();
    // A bare system or a script: English, not the Chinese source texts.
    QTest::newRow("C locale") << "C" << QStringList{"app_en.qm", "app_zh_CN.qm"} << "app_en.qm";
    QTest::newRow("POSIX locale") << "POSIX" << QStringList{"app_en.qm"} << "app_en.qm";
}

void TestStartup::translatorPrefersFullLocaleName()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, present);
    QFETCH(QString, loaded);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("translations")));
    for (const QString &name : present)
        QVERIFY(QFile::copy(runtimeFile(QStringLiteral("translations/app_zh_CN.qm")),
                            dir.filePath(QStringLiteral("translations/") + name)));

    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QTranslator *translator = startup::installTranslator(*qApp, locale);
    QDir::setCurrent(previous);

    QVERIFY(translator);
    QCOMPARE(QFileInfo(translator->filePath()).fileName(), loaded);
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

// The buttons of the editor's unsaved-changes question and the toolkit's
// dialogs speak the user's language too, not only the program's own texts.
void TestStartup::toolkitTextsFollowTheLocale()
{
    QTranslator *translator = startup::installToolkitTranslator(*qApp, QStringLiteral("zh_CN"));
    QVERIFY(translator);
    QVERIFY(!translator->isEmpty());
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Application"), QStringLiteral("modified"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString::fromUtf8("取消"));
    QCoreApplication::removeTranslator(translator);
    delete translator;

    // A locale without toolkit texts keeps the English ones.
    translator = startup::installToolkitTranslator(*qApp, QStringLiteral("xx_XX"));
    QVERIFY(translator);
    QMessageBox english(QMessageBox::Warning, QStringLiteral("Application"), QStringLiteral("modified"),
                        QMessageBox::Cancel);
    QCOMPARE(english.button(QMessageBox::Cancel)->text(), QStringLiteral("Cancel"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

void TestStartup::openGLIsFound()
{
    QVERIFY(startup::systemHasOpenGL());
}

void TestStartup::secondClaimFails()
{
    const QString key = QStringLiteral("tst_startup_%1").arg(QCoreApplication::applicationPid());
    QSharedMemory *first = startup::claimSingleInstance(key);
    QVERIFY(first);
    QCOMPARE(first->size() >= 1, true);
    QVERIFY(!startup::claimSingleInstance(key));
    startup::releaseSingleInstance(first);
    QSharedMemory *again = startup::claimSingleInstance(key);
    QVERIFY(again);
    startup::releaseSingleInstance(again);
}

void TestStartup::closingWindowsKeepsRunningUntilQuit()
{
    startup::prepareApplication(*qApp);
    Vk window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Without a notification area closing the player itself ends the program,
    // since nothing could bring it back; there the last window to close is
    // another one, with the player hidden as the tray's Minimize hides it.
    QWidget other;
    QWidget *closing = &window;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        window.hide();
        closing = &other;
    }

    bool aliveAfterClose = false;
    QTimer::singleShot(0, closing, [&] { closing->close(); });
    QTimer::singleShot(200, &window, [&] {
        aliveAfterClose = true;
        window.quitAction()->trigger();
    });
    QCOMPARE(qApp->exec(), 0);
    QVERIFY(aliveAfterClose);
    QVERIFY(!closing->isVisible());
}

bool TestStartup::instanceRunning()
{
    QSharedMemory probe(QString::fromLatin1(startup::instanceKey));
    if (!probe.attach(QSharedMemory::ReadOnly))
        return false;
    probe.detach();
    return true;
}

void TestStartup::startProgram(QProcess &program)
{
    program.setWorkingDirectory(QStringLiteral(VK_RUNTIME_DIR));
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(VK_EXECUTABLE), {});
    QVERIFY(program.waitForStarted());
}

void TestStartup::secondStartExitsAndFirstRuns()
{
    QVERIFY2(!instanceRunning(), "another instance is already running");
    QProcess first;
    startProgram(first);
    QTRY_VERIFY_WITH_TIMEOUT(instanceRunning(), 20000);

    QProcess second;
    startProgram(second);
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);

    QCOMPARE(first.state(), QProcess::Running);
    QVERIFY(instanceRunning());
    first.terminate();
    QVERIFY(first.waitForFinished(20000));
    // A terminated program leaves its segment behind, as after a crash;
    // the probe's own detach clears it.
    QTRY_VERIFY_WITH_TIMEOUT(!instanceRunning(), 5000);
}

// A player that holds the guard but never answers (hung, or still
// closing): the second start must say so instead of ending as if the file
// had been opened.
void TestStartup::handOverWithoutAnswerIsTold()
{
    QVERIFY2(!instanceRunning(), "another instance is already running");
    QSharedMemory *guard = startup::claimSingleInstance();
    QVERIFY(guard);
    QTemporaryDir dir;
    const QString lesson = dir.filePath(QStringLiteral("lesson.mp3"));
    QFile(lesson).open(QIODevice::WriteOnly);
    QProcess second;
    second.setWorkingDirectory(QStringLiteral(VK_RUNTIME_DIR));
    second.start(QStringLiteral(VK_EXECUTABLE), {lesson});
    QVERIFY(second.waitForStarted());
    QByteArray told;
    QTRY_VERIFY_WITH_TIMEOUT((told += second.readAllStandardError()).contains("does not answer"), 25000);
    QVERIFY(told.contains("lesson.mp3"));
    // The message box waits for the user.
    QCOMPARE(second.state(), QProcess::Running);
    second.kill();
    QVERIFY(second.waitForFinished(10000));
    startup::releaseSingleInstance(guard);
}

void TestStartup::startAfterCrashRuns()
{
    QVERIFY2(!instanceRunning(), "another instance is already running");
    QProcess crashed;
    startProgram(crashed);
    QTRY_VERIFY_WITH_TIMEOUT(instanceRunning(), 20000);
    ::kill(static_cast<pid_t>(crashed.processId()), SIGKILL);
    QVERIFY(crashed.waitForFinished(20000));

    QProcess next;
    startProgram(next);
    QTRY_VERIFY_WITH_TIMEOUT(instanceRunning(), 20000);
    // A start that found the segment held would have ended by now.
    QVERIFY(!next.waitForFinished(1500));
    QCOMPARE(next.state(), QProcess::Running);
    next.terminate();
    QVERIFY(next.waitForFinished(20000));
    QTRY_VERIFY_WITH_TIMEOUT(!instanceRunning(), 5000);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
