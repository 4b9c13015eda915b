#include "cues/subtitles.h"
#include "tests/support/mediamaker.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

Q_DECLARE_METATYPE(QList<Cue>)

namespace {

Cue cue(int64_t start, int64_t end, const char *text)
{
    return Cue{start, end, QString::fromUtf8(text)};
}

} // namespace

class TestSubtitles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            return {};
        return path;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void reads_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<Cue>>("cues");
        QTest::addColumn<int>("broken");

        const QByteArray two = "1\n00:00:01,000 --> 00:00:02,500\nHello there.\n\n"
                               "2\n00:00:03,000 --> 00:00:04,000\nGeneral Kenobi!\n";
        const QList<Cue> twoCues{cue(1000, 2500, "Hello there."), cue(3000, 4000, "General Kenobi!")};
        QTest::newRow("plain srt") << "a.srt" << two << twoCues << 0;
        QTest::newRow("byte-order mark") << "b.srt" << (QByteArray("\xef\xbb\xbf") + two) << twoCues << 0;
        QTest::newRow("CRLF") << "c.srt" << QByteArray(two).replace("\n", "\r\n") << twoCues << 0;
        QTest::newRow("UTF-16 with its mark") << "d.srt"
            << (QByteArray("\xff\xfe") + QByteArray(reinterpret_cast<const char *>(QString::fromUtf8(two).utf16()),
                                                    two.size() * 2))
            << twoCues << 0;
        QTest::newRow("unsorted, sorted by start") << "e.srt"
            << QByteArray("1\n00:00:03,000 --> 00:00:04,000\nGeneral Kenobi!\n\n"
                          "2\n00:00:01,000 --> 00:00:02,500\nHello there.\n")
            << twoCues << 0;
        QTest::newRow("overlapping, both kept") << "f.srt"
            << QByteArray("1\n00:00:01,000 --> 00:00:03,500\nOne.\n\n2\n00:00:03,000 --> 00:00:04,000\nTwo.\n")
            << QList<Cue>{cue(1000, 3500, "One."), cue(3000, 4000, "Two.")} << 0;
        QTest::newRow("empty cue skipped") << "g.srt"
            << QByteArray("1\n00:00:01,000 --> 00:00:02,000\n<i> </i>\n\n2\n00:00:03,000 --> 00:00:04,000\nTwo.\n")
            << QList<Cue>{cue(3000, 4000, "Two.")} << 0;
        QTest::newRow("tags and two lines") << "h.srt"
            << QByteArray("1\n00:00:01,000 --> 00:00:02,000\n<i>Where</i> <b>is</b> <font color=\"#ff0000\">it</font>?\n"
                          "{\\an8}Over there.\n")
            << QList<Cue>{cue(1000, 2000, "Where is it?\nOver there.")} << 0;
        QTest::newRow("Latin-1") << "j.srt"
            << QByteArray("1\n00:00:01,000 --> 00:00:02,000\nCaf\xe9 cr\xe8me, \xe7""a va.\n")
            << QList<Cue>{cue(1000, 2000, "Café crème, ça va.")} << 0;
        const QByteArray gbk = QTextCodec::codecForName("GBK")->fromUnicode(QString::fromUtf8("你好，世界。"));
        QTest::newRow("GBK") << "k.srt"
            << (QByteArray("1\n00:00:01,000 --> 00:00:02,000\n") + gbk + "\n")
            << QList<Cue>{cue(1000, 2000, "你好，世界。")} << 0;
        QTest::newRow("WebVTT voice and class tags") << "l.vtt"
            << QByteArray("WEBVTT\n\n00:01.000 --> 00:02.000\n<v Roger>Hi <c.loud>you</c>!</v>\n\n"
                          "00:00:03.000 --> 00:00:04.000 align:start\nA &amp; B\n")
            << QList<Cue>{cue(1000, 2000, "Hi you!"), cue(3000, 4000, "A & B")} << 0;
        QTest::newRow("ASS with override blocks") << "m.ass"
            << QByteArray("[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\n"
                          "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
                          "Style: Default,Arial,20,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,2,2,2,10,10,10,1\n\n"
                          "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
                          "Dialogue: 0,0:00:02.00,0:00:03.00,Default,,0,0,0,,{\\i1}Second,{\\i0} with a comma\n"
                          "Dialogue: 0,0:00:00.50,0:00:01.50,Default,,0,0,0,,First\\Nline two\n")
            << QList<Cue>{cue(500, 1500, "First\nline two"), cue(2000, 3000, "Second, with a comma")} << 0;

        // What real files hold that FFmpeg 5.1 misreads: a time line it
        // cannot read glues the cue, number and time line included, to the
        // cue before; the WebVTT demuxer stops at the first block that is
        // no cue. The broken cues are left out and counted, no number or
        // time line becomes text, the blocks are passed over.
        QTest::newRow("broken start time") << "n.srt"
            << QByteArray("1\n00:00:01,000 --> 00:00:02,000\nFirst good cue.\n\n"
                          "2\n00:00:03,000 --> 00:00:04,000\nSecond good cue.\n\n"
                          "3\n00:00:0x,000 --> 00:00:09,000\nThis cue has a broken start time.\n\n"
                          "4\n00:00:10,000 --> 00:00:11,000\nFourth good cue.\n")
            << QList<Cue>{cue(1000, 2000, "First good cue."), cue(3000, 4000, "Second good cue."),
                          cue(10000, 11000, "Fourth good cue.")}
            << 1;
        QTest::newRow("two broken in a row, one end time, one arrow") << "o.srt"
            << QByteArray("1\r\n00:00:01,000 --> 00:00:02,000\r\nOne.\r\n\r\n"
                          "2\r\n00:00:03,000 --> 00:00:0y,000\r\nStray.\r\n\r\n"
                          "3\r\n00:00:05,000 -> 00:00:06,000\r\nAstray\r\ntwice.\r\n\r\n"
                          "4\r\n00:00:07,000 --> 00:00:08,000\r\nFour.\r\n")
            << QList<Cue>{cue(1000, 2000, "One."), cue(7000, 8000, "Four.")} << 2;
        const QByteArray cuesAfter = "00:01.000 --> 00:02.000\nFirst.\n\nsecond\n00:03.000 --> 00:04.000\nSecond.\n";
        const QList<Cue> vttCues{cue(1000, 2000, "First."), cue(3000, 4000, "Second.")};
        QTest::newRow("WebVTT STYLE block") << "p.vtt"
            << ("WEBVTT\n\nSTYLE\n::cue {\n  color: yellow;\n}\n\n" + cuesAfter) << vttCues << 0;
        QTest::newRow("WebVTT REGION block") << "q.vtt"
            << ("WEBVTT\r\n\r\nREGION\r\nid:fred\r\nwidth:40%\r\n\r\n" + QByteArray(cuesAfter).replace("\n", "\r\n"))
            << vttCues << 0;
        QTest::newRow("WebVTT NOTE blocks, one between cues") << "r.vtt"
            << QByteArray("WEBVTT - lesson one\n\nNOTE made by hand\nfor the class\n\n"
                          "00:01.000 --> 00:02.000\nFirst.\n\nNOTE\nsecond comes next\n\n"
                          "second\n00:03.000 --> 00:04.000\nSecond.\n")
            << vttCues << 0;
        QTest::newRow("WebVTT broken time, the cues after it read") << "s.vtt"
            << QByteArray("WEBVTT\n\n00:01.000 --> 00:02.000\nFirst.\n\n00:0x.000 --> 00:02.500\nStray.\n\n"
                          "second\n00:03.000 --> 00:04.000\nSecond.\n")
            << vttCues << 1;
    }

    void reads()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QList<Cue>, cues);
        QFETCH(int, broken);
        const QString path = write(name, bytes);
        QVERIFY(!path.isEmpty());
        Subtitles subtitles;
        QVERIFY2(subtitles.load(path), qPrintable(subtitles.errorString()));
        QCOMPARE(subtitles.cues(), cues);
        QCOMPARE(subtitles.cueTexts().size(), cues.size());
        QCOMPARE(subtitles.brokenCues(), broken);
    }

    void refuses_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");

        QTest::newRow("missing") << "none.srt" << QByteArray() << "Cannot read";
        QTest::newRow("a picture named .srt") << "pic.srt" << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                                              << "is not a subtitle file";
        QTest::newRow("prose") << "prose.srt" << QByteArray("Dear diary,\ntoday nothing happened.\n")
                               << "is not a subtitle file";
        QTest::newRow("prose without a known ending") << "prose.txt" << QByteArray("Just words.\n")
                                                      << "is not a subtitle file";
        QTest::newRow("only empty cues") << "empty.srt"
            << QByteArray("1\n00:00:01,000 --> 00:00:02,000\n{\\i1}{\\i0}\n") << "holds no subtitles";
    }

    void refuses()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString path = bytes.isEmpty() ? m_dir.filePath(name) : write(name, bytes);
        Subtitles subtitles;
        QVERIFY(!subtitles.load(path));
        QVERIFY2(subtitles.errorString().contains(message), qPrintable(subtitles.errorString()));
        QVERIFY(subtitles.cues().isEmpty());
    }

    void plainText_data()
    {
        QTest::addColumn<QString>("styled");
        QTest::addColumn<QString>("plain");
        QTest::newRow("nothing to do") << "Hello." << "Hello.";
        QTest::newRow("a lone less-than stays") << "5 < 6 and 7 > 3" << "5 < 6 and 7 > 3";
        QTest::newRow("karaoke times") << "<00:00:01.000>One <00:00:01.500>two" << "One two";
        QTest::newRow("hard and soft breaks") << "One\\Ntwo\\nthree\\hfour" << "One\ntwo three four";
        QTest::newRow("blank lines and spaces") << "  a   b \n\n  c " << "a b\nc";
    }

    void plainText()
    {
        QFETCH(QString, styled);
        QFETCH(QString, plain);
        QCOMPARE(Subtitles::plainText(styled), plain);
    }

    void filesBeside()
    {
        QTemporaryDir dir;
        for (const char *name : {"lesson.mp4", "lesson.fr.srt", "lesson.en.vtt", "lesson.mp4.srt",
                                 "lesson.srt", "lessons.srt", "other.srt", "lesson.txt"}) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QStringList found;
        for (const QString &path : Subtitles::filesBeside(dir.filePath(QStringLiteral("lesson.mp4"))))
            found.append(QFileInfo(path).fileName());
        QCOMPARE(found, (QStringList{QStringLiteral("lesson.mp4.srt"), QStringLiteral("lesson.srt"),
                                     QStringLiteral("lesson.en.vtt"), QStringLiteral("lesson.fr.srt")}));
    }

    void streamInside_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("codec");
        QTest::newRow("SubRip in Matroska") << "with.mkv" << "srt";
        QTest::newRow("ASS in Matroska") << "with-ass.mkv" << "ass";
        QTest::newRow("timed text in MP4") << "with.mp4" << "mov_text";
    }

    void streamInside()
    {
        QFETCH(QString, name);
        QFETCH(QString, codec);
        const QString srt = write(QStringLiteral("inner.srt"),
                                  "1\n00:00:00,500 --> 00:00:01,200\n<i>Inside</i> the file.\n\n"
                                  "2\n00:00:01,500 --> 00:00:02,500\nSecond.\n");
        const QString media = m_dir.filePath(name);
        // Times count from the picture's start, as the player's positions
        // do, though the sound's coder starts a little earlier.
        QVERIFY(mediamaker::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                    QStringLiteral("color=c=black:s=64x64:d=3"), QStringLiteral("-f"),
                                    QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=duration=3"),
                                    QStringLiteral("-i"), srt, QStringLiteral("-c:a"), QStringLiteral("aac"),
                                    QStringLiteral("-c:s"), codec,
                                    QStringLiteral("-metadata:s:s:0"), QStringLiteral("language=eng"), media}));
        Subtitles subtitles;
        QVERIFY(subtitles.loadStream(media));
        QCOMPARE(subtitles.cueTexts(), (QStringList{QStringLiteral("Inside the file."), QStringLiteral("Second.")}));
        QCOMPARE(subtitles.cues().first().start, 500);
        QCOMPARE(subtitles.cues().first().end, 1200);
    }

    void noStreamInside()
    {
        const QString plain = m_dir.filePath(QStringLiteral("plain.mp3"));
        QVERIFY(mediamaker::makeAudio(plain, 1));
        Subtitles subtitles;
        QVERIFY(!subtitles.loadStream(plain));
    }
};

QTEST_GUILESS_MAIN(TestSubtitles)
#include "tst_subtitles.moc"
