// The learner's record: what two comparisons leave in it, a lesson found
// again after its file moved, and a write cut short by a crash.

#include "diff/wordscore.h"
#include "progress/progressstore.h"
#include "tests/support/mediamaker.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdlib>

#include <unistd.h>

namespace {

const QString reference = QStringLiteral("Good morning.\nHow are you today?\nI am fine, thank you.");

// Set in the environment of a copy of this test that dies in a write.
constexpr char crashVariable[] = "VK_PROGRESS_CRASH_IN_WRITE";

} // namespace

class TestProgressStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void rowsAfterTwoComparisons_data();
    void rowsAfterTwoComparisons();
    void historyFollowsTheLessonFile_data();
    void historyFollowsTheLessonFile();
    void crashDuringAWriteKeepsEarlierRows();

private:
    QString lesson(const QString &name, double seconds = 2);
    QTemporaryDir m_dir;
};

void TestProgressStore::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

// A real lesson file; lessons of different lengths have different content.
QString TestProgressStore::lesson(const QString &name, double seconds)
{
    const QString path = m_dir.filePath(name);
    return mediamaker::makeAudio(path, seconds) ? path : QString();
}

void TestProgressStore::rowsAfterTwoComparisons_data()
{
    QTest::addColumn<QStringList>("dictations");
    QTest::addColumn<int>("attempts");
    QTest::addColumn<QString>("mostWrong"); // the sentence listed first
    QTest::addColumn<int>("wrongTimes");    // in how many attempts it was wrong

    QTest::newRow("two attempts, the same sentence wrong in both")
        << QStringList{"Good morning. How is you today? I am fine thank you.",
                       "Good morning. How are you to day? I am fine, thank you."}
        << 2 << "How are you today?" << 2;
    QTest::newRow("compare pressed twice on the same texts is one attempt")
        << QStringList{"Good morning. How are you? I am fine, thank you.",
                       "Good morning. How are you? I am fine, thank you."}
        << 1 << "How are you today?" << 1;
    QTest::newRow("an empty dictation compared by mistake is no attempt")
        << QStringList{"", "Good mourning. How are you today? I am fine, thank you."}
        << 1 << "Good morning." << 1;
    QTest::newRow("stopped after the first sentence: the rest is not held against him")
        << QStringList{"Good mourning.", "Good mourning. How are you today?"}
        << 2 << "Good morning." << 2;
}

void TestProgressStore::rowsAfterTwoComparisons()
{
    QFETCH(QStringList, dictations);
    QFETCH(int, attempts);
    QFETCH(QString, mostWrong);
    QFETCH(int, wrongTimes);

    const QString media = lesson(QString::fromLatin1(QTest::currentDataTag()).left(20) + ".mp3");
    QVERIFY(!media.isEmpty());
    const QString database = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".sqlite");
    QList<WordScore> scores;
    {
        ProgressStore store(database);
        QVERIFY2(store.isOpen(), qPrintable(store.errorString()));
        QDateTime when(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC);
        for (const QString &dictation : dictations) {
            scores.append(WordScore(reference, dictation));
            QVERIFY2(store.record(media, scores.last(), when), qPrintable(store.errorString()));
            when = when.addDays(1);
        }
    }
    // Read back through a connection of its own, as the next run would.
    ProgressStore store(database);
    const QList<Attempt> kept = store.attempts(media);
    QCOMPARE(kept.size(), attempts);
    const WordScore &last = scores.last();
    const WordCounts &scored = last.stopsEarly() ? last.reachedTotal() : last.total();
    QCOMPARE(kept.last().accuracy, scored.accuracy());
    QCOMPARE(kept.last().wordErrorRate, scored.wordErrorRate());
    QCOMPARE(kept.last().referenceWords, scored.referenceWords);

    const QList<SentenceRecord> sentences = store.sentences(media);
    QVERIFY(!sentences.isEmpty());
    QCOMPARE(sentences.first().text, mostWrong);
    QCOMPARE(sentences.first().wrongAttempts, wrongTimes);
}

void TestProgressStore::historyFollowsTheLessonFile_data()
{
    QTest::addColumn<QString>("newPlace");     // where the lesson goes, in the test folder
    QTest::addColumn<double>("seconds");       // of the lesson: 100 s of MP3 are over 1 MB
    QTest::addColumn<bool>("otherFileInPlace"); // a different file then takes the old name

    QTest::newRow("moved to another folder") << "moved/elsewhere/lesson.mp3" << 2.0 << false;
    QTest::newRow("renamed in its folder") << "renamed.mp3" << 2.0 << false;
    QTest::newRow("a long lesson moved (ends hashed apart)") << "moved/long.mp3" << 100.0 << false;
    QTest::newRow("moved, and another lesson put under its old name") << "moved/first.mp3" << 2.0 << true;
}

void TestProgressStore::historyFollowsTheLessonFile()
{
    QFETCH(QString, newPlace);
    QFETCH(double, seconds);
    QFETCH(bool, otherFileInPlace);

    const QString tag = QString::fromLatin1(QTest::currentDataTag()).left(12);
    const QString media = lesson(tag + ".mp3", seconds);
    QVERIFY(!media.isEmpty());
    const QString database = m_dir.filePath(tag + ".sqlite");
    {
        ProgressStore store(database);
        QVERIFY(store.record(media, WordScore(reference, "Good morning. How are you today?")));
        QVERIFY(store.record(media, WordScore(reference, "Good morning. How are you today? I am fine, thank you.")));
    }
    const QString moved = m_dir.filePath(newPlace);
    QVERIFY(QDir().mkpath(QFileInfo(moved).absolutePath()));
    QVERIFY(QFile::rename(media, moved));
    if (otherFileInPlace)
        QVERIFY(mediamaker::makeAudio(media, 3));

    ProgressStore store(database);
    const QList<Attempt> history = store.attempts(moved);
    QCOMPARE(history.size(), 2);
    QCOMPARE(history.last().accuracy, 1.0);
    QCOMPARE(store.sentences(moved).size(), 3);
    // The file now under the old name is another lesson, with no history;
    // a comparison of it leaves the moved lesson's history alone.
    if (otherFileInPlace) {
        QVERIFY(store.attempts(media).isEmpty());
        QVERIFY(store.record(media, WordScore(reference, "Good morning.")));
        QCOMPARE(store.attempts(media).size(), 1);
        QCOMPARE(store.attempts(moved).size(), 2);
    }
}

void TestProgressStore::crashDuringAWriteKeepsEarlierRows()
{
    const QString media = lesson(QStringLiteral("crash.mp3"));
    QVERIFY(!media.isEmpty());
    const QString database = m_dir.filePath(QStringLiteral("crash.sqlite"));
    {
        ProgressStore store(database);
        QVERIFY(store.record(media, WordScore(reference, "Good morning. How are you today?")));
    }
    // A copy of this test writes more than SQLite's cache holds, so that
    // the write reaches the disk, and dies before it commits.
    QProcess writer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(crashVariable), database);
    writer.setProcessEnvironment(env);
    writer.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(writer.waitForFinished(60000));
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
    QVERIFY(QFileInfo(database + "-wal").size() > 1024 * 1024);

    ProgressStore store(database);
    QVERIFY2(store.isOpen(), qPrintable(store.errorString()));
    QCOMPARE(store.attempts(media).size(), 1);
    QVERIFY(store.record(media, WordScore(reference, "Good morning. How are you today? I am fine.")));
    QCOMPARE(store.attempts(media).size(), 2);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(database);
        QVERIFY(db.open());
        QSqlQuery check(db);
        QVERIFY(check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next());
        QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
}

// The copy that dies: a transaction of many rows, never committed.
static void writeAndCrash(const QString &database)
{
    {
        ProgressStore store(database); // the log mode is the store's own
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("crash"));
    db.setDatabaseName(database);
    if (!db.open() || !db.transaction())
        std::exit(2);
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO sentences (attempt, line, text, words, correct, substituted,"
                                  " slips, deleted, inserted) VALUES (1, ?, ?, 1, 1, 0, 0, 0, 0)"));
    const QString filler(200, QLatin1Char('x'));
    for (int i = 0; i < 40000; ++i) {
        insert.addBindValue(i);
        insert.addBindValue(filler);
        if (!insert.exec())
            std::exit(3);
    }
    // As a power cut would: no handler, no core file, nothing flushed.
    ::kill(::getpid(), SIGKILL);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(crashVariable)) {
        writeAndCrash(qEnvironmentVariable(crashVariable));
        return 4;
    }
    TestProgressStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_progressstore.moc"
