#include "editor/referencefile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

class TestReferenceFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void read_data();
    void read();
    void missingFile();

private:
    QTemporaryDir dir;
};

void TestReferenceFile::read_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("text");

    QTest::newRow("srt with tags, CRLF and byte-order mark")
        << "a.srt"
        << QByteArray("\xEF\xBB\xBF" "1\r\n00:00:01,000 --> 00:00:02,000\r\n<i>Hello</i> there,\r\n"
                      "<font color=\"red\">my</font> friend.\r\n\r\n"
                      "2\r\n00:00:03,000 --> 00:00:04,000\r\n{\\an8}Second cue\r\n\r\n")
        << true << "Hello there, my friend.\nSecond cue";
    QTest::newRow("srt out of order, empty cue") << "b.srt"
                                                 << QByteArray("1\n00:00:05,000 --> 00:00:06,000\nLater\n\n"
                                                               "2\n00:00:01,000 --> 00:00:02,000\nEarlier\n\n"
                                                               "3\n00:00:07,000 --> 00:00:08,000\n<i> </i>\n\n")
                                                 << true << "Earlier\nLater";
    // The reference reads a file as the sentence practice does: the same
    // encodings, formats and mending of broken cues.
    QTest::newRow("srt in Latin-1") << "c.srt" << QByteArray("1\n00:00:01,000 --> 00:00:02,000\nCaf\xe9 au lait\n\n")
                                    << true << QString::fromUtf8("Café au lait");
    QTest::newRow("srt in GB18030")
        << "c2.srt"
        << (QByteArray("1\n00:00:01,000 --> 00:00:02,000\n")
            + QTextCodec::codecForName("GB18030")->fromUnicode(QString::fromUtf8("你好，世界。")) + "\n")
        << true << QString::fromUtf8("你好，世界。");
    QTest::newRow("ASS, lines of a cue joined")
        << "c3.ass"
        << QByteArray("[Script Info]\nScriptType: v4.00+\n\n[Events]\n"
                      "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
                      "Dialogue: 0,0:00:02.00,0:00:03.00,Default,,0,0,0,,{\\i1}Later{\\i0}, with a comma\n"
                      "Dialogue: 0,0:00:00.50,0:00:01.50,Default,,0,0,0,,First\\Nline two\n")
        << true << "First line two\nLater, with a comma";
    QTest::newRow("srt with a broken time line")
        << "c4.srt"
        << QByteArray("1\n00:00:01,000 --> 00:00:02,000\nGood.\n\n2\n00:00:0x,000 --> 00:00:04,000\nBroken.\n\n"
                      "3\n00:00:05,000 --> 00:00:06,000\nAlso good.\n")
        << true << "Good.\nAlso good.";
    QTest::newRow("WebVTT voices, classes and entities")
        << "d.vtt"
        << QByteArray("WEBVTT\n\n00:00.000 --> 00:01.000\n<v Roger>Fish &amp; chips</v>\n\n"
                      "intro\n00:01.000 --> 00:02.500 align:start\n<c.loud>Loud</c> and <b>clear</b>\n")
        << true << "Fish & chips\nLoud and clear";
    QTest::newRow("WebVTT with a STYLE block")
        << "d2.vtt" << QByteArray("WEBVTT\n\nSTYLE\n::cue { color: lime }\n\n00:00.000 --> 00:01.000\nStyled.\n")
        << true << "Styled.";
    QTest::newRow("not subtitles") << "e.srt" << QByteArray("Dear diary,\nnothing happened today.\n") << false
                                   << "";
    QTest::newRow("plain text stays as it is") << "f.txt" << QByteArray("plain <i>text</i>\nline two\n") << true
                                               << "plain <i>text</i>\nline two\n";
    QTest::newRow("dictation with a saved comparison")
        << "g.mp4.html"
        << QByteArray("<html><body><p>My dictation.</p><p>Line two.</p>"
                      "<h2><a name=\"comparison-with-reference\">Comparison with the reference</a></h2>"
                      "<p>5 reference words</p></body></html>")
        << true << "My dictation.\nLine two.";
    QTest::newRow("binary data") << "h.txt" << QByteArray("a\0b", 3) << false << "";
}

void TestReferenceFile::read()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readable);
    QFETCH(QString, text);
    const QString fileName = dir.filePath(name);
    {
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QString read;
    QString error;
    QCOMPARE(referencefile::read(fileName, &read, &error), readable);
    if (readable) {
        QCOMPARE(read, text);
        QVERIFY(error.isEmpty());
    } else {
        // The message names the file.
        QVERIFY2(error.contains(name), qPrintable(error));
    }
}

void TestReferenceFile::missingFile()
{
    for (const char *name : {"gone.txt", "gone.srt", "gone.html"}) {
        QString read;
        QString error;
        QVERIFY(!referencefile::read(dir.filePath(name), &read, &error));
        QVERIFY2(error.contains(name), qPrintable(error));
    }
}

QTEST_MAIN(TestReferenceFile)
#include "tst_referencefile.moc"
