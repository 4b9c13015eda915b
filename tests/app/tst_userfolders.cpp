// Where the program finds its shipped data and keeps the user's own, with
// real folders laid out as the build and an installation lay them out.

#include "app/startup.h"
#include "app/userfolders.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestUserFolders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void dataFolderIsFound_data();
    void dataFolderIsFound();
    void wordListMovesOnce();
    void oldSettingsAreTakenOverOnce();
    void fileArgumentsBecomeAbsolute();

private:
    QTemporaryDir m_dir;
};

void TestUserFolders::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    const QDir root(m_dir.path());
    // The build: executable and data in one folder.
    QVERIFY(root.mkpath(QStringLiteral("runtime/skin/default/images")));
    // An installation: bin/ and share/vantiro/.
    QVERIFY(root.mkpath(QStringLiteral("prefix/bin")));
    QVERIFY(root.mkpath(QStringLiteral("prefix/share/vantiro/skin/default/images")));
    // A folder with an executable and no data at all.
    QVERIFY(root.mkpath(QStringLiteral("bare/bin")));
}

void TestUserFolders::dataFolderIsFound_data()
{
    QTest::addColumn<QString>("executableDir");
    QTest::addColumn<QString>("expected");
    QTest::newRow("beside the executable") << "runtime" << "runtime";
    QTest::newRow("installed data folder") << "prefix/bin" << "prefix/share/vantiro";
    QTest::newRow("none") << "bare/bin" << "";
}

void TestUserFolders::dataFolderIsFound()
{
    QFETCH(QString, executableDir);
    QFETCH(QString, expected);
    const QString found = userfolders::findDataFolder(m_dir.filePath(executableDir));
    QCOMPARE(found, expected.isEmpty() ? QString() : QDir(m_dir.filePath(expected)).absolutePath());

    // Entering it makes relative data paths work from anywhere.
    const QString before = QDir::currentPath();
    QCOMPARE(userfolders::enterDataFolder(m_dir.filePath(executableDir)), !expected.isEmpty());
    if (!expected.isEmpty())
        QVERIFY(QFileInfo(QStringLiteral("skin/default/images")).isDir());
    QDir::setCurrent(before);
}

void TestUserFolders::wordListMovesOnce()
{
    QDir(userfolders::dataFolder()).removeRecursively();
    const QString legacy = m_dir.filePath(QStringLiteral("userDict.txt"));
    QFile old(legacy);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("colour\nfavour\n");
    old.close();

    const QString list = userfolders::adoptWordList(legacy);
    QCOMPARE(list, userfolders::dataFolder() + QStringLiteral("/userDict.txt"));
    QVERIFY(!QFileInfo::exists(legacy));
    QFile moved(list);
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), QByteArray("colour\nfavour\n"));
    moved.close();

    // A list staged again by a later build does not replace the user's.
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.close();
    QCOMPARE(userfolders::adoptWordList(legacy), list);
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), QByteArray("colour\nfavour\n"));
}

// A learner updating from a version that kept a third settings file keeps
// his practice settings and the references he chose, and what the two
// files already hold wins.
void TestUserFolders::oldSettingsAreTakenOverOnce()
{
    const QString oldFile = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Vantiro/Vantiro.conf");
    {
        QSettings old(oldFile, QSettings::IniFormat);
        old.setValue(QStringLiteral("editor/welcomeShown"), true);
        old.setValue(QStringLiteral("practice/paddingMs"), 300);
        old.setValue(QStringLiteral("practice/repeatCount"), 3);
        old.setValue(QStringLiteral("references/%2Fhome%2Flesson.mp4"), QStringLiteral("/home/lesson.txt"));
    }
    QSettings(userfolders::settingsFile(), QSettings::IniFormat).setValue(QStringLiteral("practice/repeatCount"), 2);

    userfolders::adoptOldSettings();
    QVERIFY(!QFileInfo::exists(oldFile));
    const QSettings settings(userfolders::settingsFile(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("editor/welcomeShown")).toBool(), true);
    QCOMPARE(settings.value(QStringLiteral("practice/paddingMs")).toInt(), 300);
    QCOMPARE(settings.value(QStringLiteral("practice/repeatCount")).toInt(), 2);
    QVERIFY(!settings.contains(QStringLiteral("references/%2Fhome%2Flesson.mp4")));
    const QSettings memory(userfolders::memoryFile(), QSettings::IniFormat);
    QCOMPARE(memory.value(QStringLiteral("references/%2Fhome%2Flesson.mp4")).toString(), QStringLiteral("/home/lesson.txt"));
}

void TestUserFolders::fileArgumentsBecomeAbsolute()
{
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QFile clip(QStringLiteral("lesson one.mp4"));
    QVERIFY(clip.open(QIODevice::WriteOnly));
    clip.close();
    QByteArray program("vantiro"), platform("-platform"), offscreen("offscreen"), file("lesson one.mp4"),
        missing("gone.mp4");
    char *argv[] = {program.data(), platform.data(), offscreen.data(), file.data(), missing.data(), nullptr};
    const QStringList files = startup::absoluteFileArguments(5, argv);
    QDir::setCurrent(before);
    const QString absolute = QDir(m_dir.path()).absoluteFilePath(QStringLiteral("lesson one.mp4"));
    QCOMPARE(files, QStringList{absolute});
    QCOMPARE(QString::fromLocal8Bit(argv[3]), absolute);
    // A toolkit option's value and a name of nothing stay as given.
    QCOMPARE(QByteArray(argv[2]), QByteArray("offscreen"));
    QCOMPARE(QByteArray(argv[4]), QByteArray("gone.mp4"));
}

QTEST_GUILESS_MAIN(TestUserFolders)
#include "tst_userfolders.moc"
