// Whether a file goes to the editor or the player is decided by what it
// holds, with real files of each kind made at test time.

#include "editor/filekind.h"
#include "tests/support/mediamaker.h"

#include <QTemporaryDir>
#include <QtTest>

class TestFileKind : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void kindOfFile_data();
    void kindOfFile();

private:
    QTemporaryDir m_dir;
};

void TestFileKind::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const auto write = [this](const char *name, const QByteArray &bytes) {
        QFile file(m_dir.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    QVERIFY(write("notes.txt", "I heard the words and wrote them down.\n"));
    QVERIFY(write("lesson.mp4.html", "<html><body><p>Dictation</p></body></html>\n"));
    QVERIFY(write("disguised.mp4", "Plain words in a file named like a video.\n"));
    QVERIFY(write("chinese.txt", QStringLiteral("听写练习：第一课\n").toUtf8()));
    QVERIFY(mediamaker::makeVideo(m_dir.filePath(QStringLiteral("clip.mp4")), 1));
    QVERIFY(mediamaker::makeAudio(m_dir.filePath(QStringLiteral("tone.mp3")), 1));
    QVERIFY(mediamaker::makeAudio(m_dir.filePath(QStringLiteral("tone.wav")), 1));
    QVERIFY(QFile::copy(m_dir.filePath(QStringLiteral("clip.mp4")), m_dir.filePath(QStringLiteral("recording"))));
    QVERIFY(QFile::copy(m_dir.filePath(QStringLiteral("tone.wav")), m_dir.filePath(QStringLiteral("tone.txt"))));
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.mp4")));
}

void TestFileKind::kindOfFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    const int document = int(filekind::Kind::Document);
    const int media = int(filekind::Kind::Media);
    const int missing = int(filekind::Kind::Missing);
    QTest::newRow("plain text") << "notes.txt" << document;
    QTest::newRow("saved dictation") << "lesson.mp4.html" << document;
    QTest::newRow("text named like a video") << "disguised.mp4" << document;
    QTest::newRow("Chinese text") << "chinese.txt" << document;
    QTest::newRow("video") << "clip.mp4" << media;
    QTest::newRow("MP3") << "tone.mp3" << media;
    QTest::newRow("video without a suffix") << "recording" << media;
    QTest::newRow("wave named like text") << "tone.txt" << media;
    QTest::newRow("folder") << "folder.mp4" << missing;
    QTest::newRow("no such file") << "nothing.mp4" << missing;
}

void TestFileKind::kindOfFile()
{
    QFETCH(QString, name);
    QFETCH(int, kind);
    QCOMPARE(int(filekind::of(m_dir.filePath(name))), kind);
}

QTEST_GUILESS_MAIN(TestFileKind)
#include "tst_filekind.moc"
