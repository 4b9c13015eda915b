#include "editor/cspellengine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

// Small dictionaries written here exercise the encoding and word-list rules;
// the staged en_US pair shows the engine on the dictionary the program ships.
class TestCSpellEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void encodingFromAffixHead_data();
    void encodingFromAffixHead();
    void unknownEncodingFallsBackToLatin1();
    void userListEndsAtFirstEmptyLine_data();
    void userListEndsAtFirstEmptyLine();
    void addingAppendsOneLineEachTime();
    void unusableUserListIsOnlyWarnedAbout();
    void nonAsciiWordsRoundTrip_data();
    void nonAsciiWordsRoundTrip();
    void stagedEnglishDictionary();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    void write(const QString &name, const QByteArray &bytes) const;
    QByteArray read(const QString &name) const;
    // A dictionary "base" knowing "hello", whose affix file starts with head.
    QString makeDictionary(const QByteArray &head, const QByteArray &words = "1\nhello\n") const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCSpellEngine::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestCSpellEngine::write(const QString &name, const QByteArray &bytes) const
{
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray TestCSpellEngine::read(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString TestCSpellEngine::makeDictionary(const QByteArray &head, const QByteArray &words) const
{
    write(QStringLiteral("base.aff"), head + "\nTRY esiarntolcdugmfphbyvkwzqjx\n");
    write(QStringLiteral("base.dic"), words);
    return path(QStringLiteral("base"));
}

void TestCSpellEngine::encodingFromAffixHead_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QString>("encoding");

    QTest::newRow("SET on the second line after a comment") << QByteArray("# English\nSET UTF-8") << "UTF-8";
    QTest::newRow("SET after an empty line") << QByteArray("# English\n\nSET UTF-8") << "ISO8859-1";
    QTest::newRow("SET after an empty CR LF line") << QByteArray("# English\r\n\r\nSET UTF-8") << "ISO8859-1";
    QTest::newRow("lower case set koi8-r") << QByteArray("set koi8-r") << "koi8-r";
    QTest::newRow("SET followed by a comment") << QByteArray(" \tSET\tUTF-8  # the encoding") << "UTF-8";
    QTest::newRow("name cut at a slash") << QByteArray("SET KOI8-R/cyrillic") << "KOI8-R";
    QTest::newRow("name cut at an underscore") << QByteArray("SET ISO8859-15_euro") << "ISO8859-15";
    QTest::newRow("SET behind a byte-order mark") << QByteArray("\xEF\xBB\xBFSET UTF-8") << "UTF-8";
    QTest::newRow("only a key starting with SET") << QByteArray("SETTINGS UTF-8") << "ISO8859-1";
}

void TestCSpellEngine::encodingFromAffixHead()
{
    QFETCH(QByteArray, head);
    QFETCH(QString, encoding);

    if (encoding != QLatin1String("ISO8859-1"))
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Encoding set to ") + encoding));
    QTest::ignoreMessage(QtDebugMsg, "User dictionary not set.");
    const CSpellEngine engine(makeDictionary(head), QString());
    QCOMPARE(engine.encoding(), encoding);
    QVERIFY(engine.isKnown(QStringLiteral("hello")));
    QVERIFY(!engine.isKnown(QStringLiteral("hullo")));
}

void TestCSpellEngine::unknownEncodingFallsBackToLatin1()
{
    QTest::ignoreMessage(QtDebugMsg, "Encoding set to X-NO-SUCH-CODEC");
    QTest::ignoreMessage(QtWarningMsg, "Encoding X-NO-SUCH-CODEC is unknown; falling back to ISO8859-1");
    QTest::ignoreMessage(QtDebugMsg, "User dictionary not set.");
    CSpellEngine engine(makeDictionary("SET X-NO-SUCH-CODEC", "2\nhello\ncaf\xE9\n"), QString());
    QCOMPARE(engine.encoding(), QStringLiteral("ISO8859-1"));
    // Every conversion now goes through Latin-1 instead of failing.
    QVERIFY(engine.isKnown(QStringLiteral("café")));
    QVERIFY(engine.suggestionsFor(QStringLiteral("cafe")).contains(QStringLiteral("café")));
    engine.acceptWord(QStringLiteral("naïve"));
    QVERIFY(engine.isKnown(QStringLiteral("naïve")));
}

void TestCSpellEngine::userListEndsAtFirstEmptyLine_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("known");
    QTest::addColumn<QStringList>("unknown");

    QTest::newRow("alpha, empty line, beta") << QByteArray("alpha\n\nbeta\n") << QStringList{"alpha"}
                                             << QStringList{"beta"};
    QTest::newRow("CR LF lines, last one open") << QByteArray("alpha\r\nbeta\r\n\r\ngamma") << QStringList{"alpha", "beta"}
                                                << QStringList{"gamma"};
}

void TestCSpellEngine::userListEndsAtFirstEmptyLine()
{
    QFETCH(QByteArray, list);
    QFETCH(QStringList, known);
    QFETCH(QStringList, unknown);

    write(QStringLiteral("user.txt"), list);
    const CSpellEngine engine(makeDictionary("SET UTF-8"), path(QStringLiteral("user.txt")));
    for (const QString &word : known)
        QVERIFY2(engine.isKnown(word), qPrintable(word));
    for (const QString &word : unknown)
        QVERIFY2(!engine.isKnown(word), qPrintable(word));
}

void TestCSpellEngine::addingAppendsOneLineEachTime()
{
    // A last line without its line feed must not run into the added word.
    write(QStringLiteral("user.txt"), "alpha");
    const QString base = makeDictionary("SET UTF-8");
    CSpellEngine engine(base, path(QStringLiteral("user.txt")));
    engine.acceptWord(QStringLiteral("ignored"));
    engine.addToUserDictionary(QStringLiteral("zorbl"));
    engine.addToUserDictionary(QStringLiteral("zorbl"));
    // Neither an empty line, which would end the list, nor a split word.
    engine.addToUserDictionary(QString());
    QTest::ignoreMessage(QtWarningMsg, "User dictionary: a word with a line break is not written");
    engine.addToUserDictionary(QStringLiteral("two\nwords"));
    QVERIFY(engine.isKnown(QStringLiteral("zorbl")));
    QCOMPARE(read(QStringLiteral("user.txt")), QByteArray("alpha\nzorbl\nzorbl\n"));

    const CSpellEngine later(base, path(QStringLiteral("user.txt")));
    QVERIFY(later.isKnown(QStringLiteral("zorbl")));
    QVERIFY(!later.isKnown(QStringLiteral("ignored")));
}

void TestCSpellEngine::unusableUserListIsOnlyWarnedAbout()
{
    // A folder in the list's place can be neither read nor appended to,
    // whatever rights the test runs with.
    const QString list = path(QStringLiteral("user.txt"));
    QVERIFY(QDir().mkpath(list));
    QTest::ignoreMessage(QtWarningMsg, qPrintable("User dictionary in " + list + " could not be opened"));
    CSpellEngine engine(makeDictionary("SET UTF-8"), list);
    QTest::ignoreMessage(QtWarningMsg,
                         qPrintable("User dictionary in " + list + " could not be opened for appending a new word"));
    engine.addToUserDictionary(QStringLiteral("zorbl"));
    QVERIFY(engine.isKnown(QStringLiteral("zorbl")));

    QTest::ignoreMessage(QtDebugMsg, "User dictionary not set.");
    CSpellEngine unset(makeDictionary("SET UTF-8"), QString());
    QTest::ignoreMessage(QtDebugMsg, "User dictionary not set.");
    unset.addToUserDictionary(QStringLiteral("zorbl"));
    QVERIFY(unset.isKnown(QStringLiteral("zorbl")));
}

void TestCSpellEngine::nonAsciiWordsRoundTrip_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("misspelt");

    QTest::newRow("ISO8859-1") << QByteArray("ISO8859-1") << QStringLiteral("naïveté") << QStringLiteral("naivete");
    QTest::newRow("koi8-r") << QByteArray("koi8-r") << QStringLiteral("привет") << QStringLiteral("привот");
}

void TestCSpellEngine::nonAsciiWordsRoundTrip()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QString, word);
    QFETCH(QString, misspelt);

    QTextCodec *codec = QTextCodec::codecForName(encoding);
    QVERIFY(codec);
    write(QStringLiteral("base.aff"), "SET " + encoding + "\nTRY " + codec->fromUnicode(word + misspelt) + '\n');
    write(QStringLiteral("base.dic"), "1\n" + codec->fromUnicode(word) + '\n');
    // The user list is text in the locale's encoding whatever the dictionary's.
    write(QStringLiteral("user.txt"), QStringLiteral("Öl\n").toUtf8());

    CSpellEngine engine(path(QStringLiteral("base")), path(QStringLiteral("user.txt")));
    QVERIFY(engine.isKnown(word));
    QVERIFY(!engine.isKnown(misspelt));
    QCOMPARE(engine.suggestionsFor(misspelt).value(0), word);
    if (codec->canEncode(QStringLiteral("Öl")))
        QVERIFY(engine.isKnown(QStringLiteral("Öl")));
    engine.addToUserDictionary(word);
    QCOMPARE(read(QStringLiteral("user.txt")), QString(QStringLiteral("Öl\n") + word + '\n').toUtf8());
}

void TestCSpellEngine::stagedEnglishDictionary()
{
    QTest::ignoreMessage(QtDebugMsg, "Encoding set to UTF-8");
    QTest::ignoreMessage(QtDebugMsg, "User dictionary not set.");
    const CSpellEngine engine(QStringLiteral(VK_RUNTIME_DIR "/spell/dict/en_US"), QString());
    QCOMPARE(engine.encoding(), QStringLiteral("UTF-8"));
    for (const char *word : {"hello", "Listening", "don't", "don’t", "3rd", "1984"})
        QVERIFY2(engine.isKnown(QString::fromUtf8(word)), word);
    for (const char *word : {"helo", "recieve", "teh"})
        QVERIFY2(!engine.isKnown(QString::fromUtf8(word)), word);
    QCOMPARE(engine.suggestionsFor(QStringLiteral("teh")).value(0), QStringLiteral("the"));
}

QTEST_GUILESS_MAIN(TestCSpellEngine)
#include "tst_cspellengine.moc"
