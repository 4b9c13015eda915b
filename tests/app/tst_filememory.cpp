// What is kept between runs in the settings files: each file's place and
// marks, the recent files and the preferences.

#include "app/filememory.h"
#include "app/preferences.h"
#include "app/recentfiles.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestFileMemory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void stateComesBack();
    void keyFollowsPathSizeAndTime_data();
    void keyFollowsPathSizeAndTime();
    void oldestEntriesGo();
    void recentListKeepsTenNewestFirst();
    void dictationHint_data();
    void dictationHint();
    void preferencesAreHeldInRange_data();
    void preferencesAreHeldInRange();

private:
    QString makeFile(const QString &name, const QByteArray &bytes = "media");

    QTemporaryDir m_dir;
    QString m_settings;
};

void TestFileMemory::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_settings = m_dir.filePath(QStringLiteral("settings.ini"));
}

QString TestFileMemory::makeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

void TestFileMemory::stateComesBack()
{
    const QString file = makeFile(QStringLiteral("a.mp4"));
    FileMemory memory(m_settings);
    QVERIFY(!memory.recall(file).has_value());
    memory.remember(file, {123456789012LL, 1000, 2000, true, 0.75});
    const auto state = FileMemory(m_settings).recall(file);
    QVERIFY(state.has_value());
    QCOMPARE(state->position, 123456789012LL);
    QCOMPARE(state->markIn, 1000);
    QCOMPARE(state->markOut, 2000);
    QCOMPARE(state->loop, true);
    QCOMPARE(state->speed, 0.75);
}

namespace {

bool touch(const QString &path, const QDate &day)
{
    // setFileTime() needs an open file.
    QFile file(path);
    return file.open(QIODevice::Append)
        && file.setFileTime(QDateTime(day, QTime(8, 0)), QFileDevice::FileModificationTime);
}

} // namespace

void TestFileMemory::keyFollowsPathSizeAndTime_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("sameKey");
    QTest::newRow("unchanged") << "none" << true;
    QTest::newRow("other content, other size") << "size" << false;
    QTest::newRow("same size, touched later") << "time" << false;
    QTest::newRow("renamed") << "name" << false;
}

void TestFileMemory::keyFollowsPathSizeAndTime()
{
    QFETCH(QString, change);
    QFETCH(bool, sameKey);
    QString file = makeFile(QStringLiteral("b.mp4"), "12345");
    QVERIFY(touch(file, QDate(2024, 5, 1)));
    const QString before = FileMemory::keyOf(file);
    QVERIFY(!before.isEmpty());
    if (change == QLatin1String("size")) {
        makeFile(QStringLiteral("b.mp4"), "123456");
        QVERIFY(touch(file, QDate(2024, 5, 1)));
    } else if (change == QLatin1String("time")) {
        QVERIFY(touch(file, QDate(2024, 5, 2)));
    } else if (change == QLatin1String("name")) {
        const QString renamed = m_dir.filePath(QStringLiteral("c.mp4"));
        QFile::remove(renamed);
        QVERIFY(QFile::rename(file, renamed));
        file = renamed;
    }
    QCOMPARE(FileMemory::keyOf(file) == before, sameKey);
    QFile::remove(file);
}

void TestFileMemory::oldestEntriesGo()
{
    const QString settings = m_dir.filePath(QStringLiteral("many.ini"));
    // The references chosen for the files share the file and are no entry.
    QSettings(settings, QSettings::IniFormat).setValue(QStringLiteral("references/a"), QStringLiteral("b"));
    FileMemory memory(settings);
    QStringList files;
    for (int i = 0; i < FileMemory::maxEntries + 5; ++i) {
        files << makeFile(QStringLiteral("m%1.mp4").arg(i));
        memory.remember(files.last(), {i, 0, 0, false, 1.0});
    }
    QCOMPARE(QSettings(settings, QSettings::IniFormat).childGroups().size(), FileMemory::maxEntries + 1);
    QVERIFY(memory.recall(files.last()).has_value());
    QVERIFY(QSettings(settings, QSettings::IniFormat).contains(QStringLiteral("references/a")));
}

void TestFileMemory::recentListKeepsTenNewestFirst()
{
    const QString settings = m_dir.filePath(QStringLiteral("recent.ini"));
    RecentFiles recent(settings);
    for (int i = 0; i < 12; ++i)
        recent.add(QStringLiteral("/m/%1.mp4").arg(i));
    recent.add(QStringLiteral("/m/5.mp4")); // again: to the front, once
    const QStringList files = RecentFiles(settings).files();
    QCOMPARE(files.size(), RecentFiles::maxCount);
    QCOMPARE(files.first(), QStringLiteral("/m/5.mp4"));
    QCOMPARE(files.at(1), QStringLiteral("/m/11.mp4"));
    QCOMPARE(files.count(QStringLiteral("/m/5.mp4")), 1);
    QVERIFY(!files.contains(QStringLiteral("/m/1.mp4")));
    recent.remove(QStringLiteral("/m/5.mp4"));
    QCOMPARE(recent.files().first(), QStringLiteral("/m/11.mp4"));
}

void TestFileMemory::dictationHint_data()
{
    QTest::addColumn<QByteArray>("dictation");
    QTest::addColumn<QString>("hint");
    QTest::newRow("none") << QByteArray() << "";
    QTest::newRow("short") << QByteArray("<p>Hello  there</p>") << "Hello there";
    QTest::newRow("long, cut after six words")
        << QByteArray("<html><body><p>One two three</p><p>four five six seven</p></body></html>")
        << "One two three four five six...";
    QTest::newRow("Chinese") << QStringLiteral("<p>你好 世界</p>").toUtf8() << QStringLiteral("你好 世界");
}

void TestFileMemory::dictationHint()
{
    QFETCH(QByteArray, dictation);
    QFETCH(QString, hint);
    const QString media = makeFile(QStringLiteral("hinted.mp4"));
    QFile::remove(media + QStringLiteral(".html"));
    if (!dictation.isEmpty())
        QVERIFY(!makeFile(QStringLiteral("hinted.mp4.html"), dictation).isEmpty());
    QCOMPARE(RecentFiles::dictationHint(media), hint);
}

void TestFileMemory::preferencesAreHeldInRange_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<double>("loaded");
    QTest::newRow("rewind within 0 to 10 s") << "practice/rewindSeconds" << QVariant(25.0) << 10.0;
    QTest::newRow("rewind not a number") << "practice/rewindSeconds" << QVariant(QStringLiteral("x")) << 2.0;
    QTest::newRow("speed at most 1.5") << "practice/defaultSpeed" << QVariant(3.0) << 1.5;
}

void TestFileMemory::preferencesAreHeldInRange()
{
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(double, loaded);
    const QString settings = m_dir.filePath(QStringLiteral("prefs.ini"));
    QFile::remove(settings);
    QCOMPARE(Preferences::load(settings), Preferences());
    {
        QSettings raw(settings, QSettings::IniFormat);
        raw.setValue(key, stored);
    }
    const Preferences p = Preferences::load(settings);
    const QMap<QString, double> values{{QStringLiteral("practice/rewindSeconds"), p.rewindSeconds},
                                       {QStringLiteral("practice/defaultSpeed"), p.defaultSpeed},
                                       {QStringLiteral("practice/loopCount"), double(p.loopCount)}};
    QCOMPARE(values.value(key), loaded);
    // What is saved comes back.
    Preferences q;
    q.jumpSeconds = 10;
    q.nudgeSeconds = 0.2;
    q.loopCount = 5;
    q.save(settings);
    QCOMPARE(Preferences::load(settings), q);
}

QTEST_MAIN(TestFileMemory)
#include "tst_filememory.moc"
