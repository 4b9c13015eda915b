#include "cues/transcript.h"

#include <QTemporaryDir>
#include <QtTest>

class TstTranscript : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A sentence cut after "Mr." or inside "U.S." would be practised as two
    // pieces with the wrong words in each; one run across a paragraph
    // break would join two things the speaker said apart.
    void sentences_data();
    void sentences();
    // Files beside a lesson are offered, and only those.
    void filesBeside();
};

void TstTranscript::sentences_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected"); // "paragraph|text"

    QTest::newRow("titles and initials stay inside")
        << "a.txt" << QByteArray("Mr. Brown met Dr. Lee at St. Paul's. They talked about J. S. Bach for an hour.")
        << QStringList{"0|Mr. Brown met Dr. Lee at St. Paul's.", "0|They talked about J. S. Bach for an hour."};
    QTest::newRow("dotted letters stay inside")
        << "b.txt" << QByteArray("She moved to the U.S. Army base in May. It was 7 a.m. when she left, e.g. early.")
        << QStringList{"0|She moved to the U.S. Army base in May.", "0|It was 7 a.m. when she left, e.g. early."};
    QTest::newRow("questions, exclamations and quotes")
        << "c.txt" << QByteArray("\"Where are you going?\" he asked. Stop! Wait for me.")
        << QStringList{"0|\"Where are you going?\" he asked.", "0|Stop!", "0|Wait for me."};
    QTest::newRow("blank lines part paragraphs, single breaks do not")
        << "d.txt" << QByteArray("The first line\nruns on here. Then\r\nanother.\r\n\r\n  \nA new paragraph")
        << QStringList{"0|The first line runs on here.", "0|Then another.", "1|A new paragraph"};
    QTest::newRow("html blocks and entities")
        << "e.html"
        << QByteArray("<html><head><title>Lesson 1</title><style>p{}</style></head><body>"
                      "<h1>At the shop</h1><p>Good morning.\n I&rsquo;d like <b>two</b> apples,&nbsp;please."
                      "</p><!-- a note --><p>Here you are &amp; thank you.<br>Goodbye.</p></body></html>")
        << QStringList{"0|At the shop", "1|Good morning.", "1|I\u2019d like two apples, please.",
                       "2|Here you are & thank you.", "2|Goodbye."};
    QTest::newRow("GB18030 bytes read as text")
        << "f.txt" << QByteArray("Hello \xc4\xe3\xba\xc3 world. Bye.")
        << QStringList{"0|Hello \u4F60\u597D world.", "0|Bye."};
}

void TstTranscript::sentences()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    QFile out(dir.filePath(file));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    Transcript transcript;
    QVERIFY2(transcript.load(out.fileName()), qPrintable(transcript.errorString()));
    QStringList got;
    for (const Transcript::Sentence &s : transcript.sentences())
        got.append(QString::number(s.paragraph) + QLatin1Char('|') + s.text);
    QCOMPARE(got, expected);

    Transcript empty;
    QVERIFY(!empty.setText(QStringLiteral(" \n -- \n")));
    QVERIFY(!empty.errorString().isEmpty());
}

void TstTranscript::filesBeside()
{
    QTemporaryDir dir;
    for (const char *name : {"lesson.mp3", "lesson.txt", "lesson.transcript.txt", "lesson.mp3.html", "lesson2.txt", "other.html"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QCOMPARE(Transcript::filesBeside(dir.filePath(QStringLiteral("lesson.mp3"))),
             (QStringList{dir.filePath(QStringLiteral("lesson.txt")), dir.filePath(QStringLiteral("lesson.transcript.txt"))}));
}

QTEST_GUILESS_MAIN(TstTranscript)
#include "tst_transcript.moc"
