// The Practise button of a sentence in the record loops that sentence in
// the player, whatever the subtitles' numbering.

#include "progress/sentencecue.h"

#include <QtTest>

class TestSentenceCue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void practisesTheRightCue_data();
    void practisesTheRightCue();
};

void TestSentenceCue::practisesTheRightCue_data()
{
    QTest::addColumn<QStringList>("cues");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cue");

    const QStringList subtitles{"Hello there.", "How are you today?", "I'm fine,\nthank you.", "Goodbye."};
    QTest::newRow("same text, same place") << subtitles << 1 << "How are you today?" << 1;
    QTest::newRow("reference numbered differently from the subtitles")
        << subtitles << 0 << "How are you today?" << 1;
    QTest::newRow("line break, case and punctuation aside") << subtitles << 2 << "i'm FINE thank you" << 2;
    QTest::newRow("a sentence the subtitles lack loops nothing") << subtitles << 3 << "See you later." << -1;
    QTest::newRow("most words shared") << subtitles << 5 << "How are you doing today?" << 1;
    QTest::newRow("a repeated sentence: the one nearest its line")
        << QStringList{"Yes.", "Is it yours?", "Yes."} << 2 << "Yes." << 2;
    QTest::newRow("sentences found in the sound go by line") << QStringList{"", "", ""} << 2 << "Anything." << 2;
    QTest::newRow("a line past the sentences found") << QStringList{"", ""} << 5 << "Anything." << -1;
    QTest::newRow("no sentences yet") << QStringList{} << 0 << "Hello there." << -1;
}

void TestSentenceCue::practisesTheRightCue()
{
    QFETCH(QStringList, cues);
    QFETCH(int, line);
    QFETCH(QString, text);
    QFETCH(int, cue);
    QCOMPARE(sentencecue::find(cues, line, text), cue);
}

QTEST_GUILESS_MAIN(TestSentenceCue)
#include "tst_sentencecue.moc"
