#include "editor/cspellengine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    void missingAffixKeepsDefaultSilently();
    void unknownEncodingFallsBackToLatin1();
    void userListEndsAtFirstEmptyLine_data();
    void userListEndsAtFirstEmptyLine();
    void missingOrUnsetUserList();
    void addingAppendsOneLineEachTime();
    void addedWordsReachLaterEngines();
    void appendKeepsAnOpenLastLineApart();
    void unwritableUserListStillAcceptsWord();
    void emptyOrBrokenWordsStayOutOfTheFile();
    void nonAsciiWordsRoundTrip_data();
    void nonAsciiWordsRoundTrip();
    void stagedEnglishDictionary();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    void write(const QString &name, const QByteArray &bytes) const;
    QByteArray read(const QString &name) const;
    // A tiny dictionary "base" whose affix file holds affixHead.
    QString makeDictionary(const QByteArray &affixHead, const QByteArray &words = "1\nhello\n") const;

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

QString TestCSpellEngine::makeDictionary(const QByteArray &affixHead, const QByteArray &words) const
{
    write(QStringLiteral("base.aff"), affixHead + "\nTRY esiarntolcdugmfphbyvkwzqjx\n");
    write(QStringLiteral("base.dic"), words);
    return path(QStringLiteral("base"));
}

void TestCSpellEngine::encodingFromAffixHead_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<bool>("announced");

    QTest::newRow("SET on the second line after a comment") << QByteArray("# English\nSET UTF-8") << "UTF-8" << true;
    QTest::newRow("SET after an empty line keeps the default")
        << QByteArray("# English\n\nSET UTF-8") << "ISO8859-1" << false;
    QTest::newRow("SET after an empty CR LF line keeps the default")
        << QByteArray("# English\r\n\r\nSET UTF-8") << "ISO8859-1" << false;
    QTest::newRow("lower case set koi8-r") << QByteArray("set koi8-r") << "koi8-r" << true;
    QTest::newRow("SET followed by a comment") << QByteArray("SET UTF-8  # the dictionary's bytes") << "UTF-8" << true;
    QTest::newRow("name cut at a slash") << QByteArray("SET KOI8-R/cyrillic") << "KOI8-R" << true;
    QTest::newRow("name cut at an underscore") << QByteArray("SET ISO8859-15_euro") << "ISO8859-15" << true;
    QTest::newRow("blanks and tabs around") << QByteArray(" \tSET\tUTF-8\t") << "UTF-8" << true;
    QTest::newRow("CR LF lines") << QByteArray("# English\r\nSET UTF-8\r\n") << "UTF-8" << true;
    QTest::newRow("first SET line wins") << QByteArray("SET KOI8-R\nSET UTF-8") << "KOI8-R" << true;
    QTest::newRow("SET behind a byte-order mark") << QByteArray("\xEF\xBB\xBFSET UTF-8") << "UTF-8" << true;
    QTest::newRow("no SET line") << QByteArray("# English\nTRY abc") << "ISO8859-1" << false;
    QTest::newRow("SET without a name") << QByteArray("SET\nSET UTF-8") << "UTF-8" << true;
    QTest::newRow("a key that only starts with SET") << QByteArray("SETTINGS UTF-8") << "ISO8859-1" << false;
}

void TestCSpellEngine::encodingFromAffixHead()
{
    QFETCH(QByteArray, head);
    QFETCH(QString, encoding);
    QFETCH(bool, announced);

    if (announced)
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Encoding set to ") + encoding));
    QTest::ignoreMessage(QtDebugMsg, "User dictionary not set.");
    const CSpellEngine engine(makeDictionary(head), QString());
    QCOMPARE(engine.encoding(), encoding);
    QVERIFY(engine.isKnown(QStringLiteral("hello")));
    QVERIFY(!engine.isKnown(QStringLiteral("hullo")));
}

void TestCSpellEngine::missingAffixKeepsDefaultSilently()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    QTest::ignoreMessage(QtDebugMsg, "User dictionary not set.");
    const CSpellEngine engine(path(QStringLiteral("absent")), QString());
    QCOMPARE(engine.encoding(), QStringLiteral("ISO8859-1"));
    QVERIFY(!engine.isKnown(QStringLiteral("hello")));
    QVERIFY(engine.suggestionsFor(QStringLiteral("hello")).isEmpty());
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
    QTest::newRow("CR LF lines") << QByteArray("alpha\r\nbeta\r\n\r\ngamma\r\n") << QStringList{"alpha", "beta"}
                                 << QStringList{"gamma"};
    QTest::newRow("last line without line feed") << QByteArray("alpha\nbeta") << QStringList{"alpha", "beta"}
                                                 << QStringList{};
    QTest::newRow("empty first line") << QByteArray("\nalpha\n") << QStringList{} << QStringList{"alpha"};
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

void TestCSpellEngine::missingOrUnsetUserList()
{
    const QString base = makeDictionary("SET UTF-8");
    const QString absent = path(QStringLiteral("no/user.txt"));
    QTest::ignoreMessage(QtWarningMsg, qPrintable("User dictionary in " + absent + " could not be opened"));
    const CSpellEngine withAbsent(base, absent);
    QVERIFY(withAbsent.isKnown(QStringLiteral("hello")));

    QTest::ignoreMessage(QtDebugMsg, "User dictionary not set.");
    CSpellEngine unset(base, QString());
    QTest::ignoreMessage(QtDebugMsg, "User dictionary not set.");
    unset.addToUserDictionary(QStringLiteral("zorbl"));
    QVERIFY(unset.isKnown(QStringLiteral("zorbl")));
}

void TestCSpellEngine::addingAppendsOneLineEachTime()
{
    const QString list = path(QStringLiteral("user.txt"));
    QTest::ignoreMessage(QtWarningMsg, qPrintable("User dictionary in " + list + " could not be opened"));
    CSpellEngine engine(makeDictionary("SET UTF-8"), list);
    QVERIFY(!engine.isKnown(QStringLiteral("zorbl")));

    engine.addToUserDictionary(QStringLiteral("zorbl"));
    QVERIFY(engine.isKnown(QStringLiteral("zorbl")));
    QCOMPARE(read(QStringLiteral("user.txt")), QByteArray("zorbl\n"));
    engine.addToUserDictionary(QStringLiteral("zorbl"));
    QCOMPARE(read(QStringLiteral("user.txt")), QByteArray("zorbl\nzorbl\n"));
}

void TestCSpellEngine::addedWordsReachLaterEngines()
{
    write(QStringLiteral("user.txt"), "alpha\n");
    const QString base = makeDictionary("SET UTF-8");
    CSpellEngine first(base, path(QStringLiteral("user.txt")));
    first.acceptWord(QStringLiteral("ignored"));
    first.addToUserDictionary(QStringLiteral("kept"));
    QVERIFY(first.isKnown(QStringLiteral("ignored")));

    const CSpellEngine later(base, path(QStringLiteral("user.txt")));
    QVERIFY(later.isKnown(QStringLiteral("alpha")));
    QVERIFY(later.isKnown(QStringLiteral("kept")));
    QVERIFY(!later.isKnown(QStringLiteral("ignored")));
    QCOMPARE(read(QStringLiteral("user.txt")), QByteArray("alpha\nkept\n"));
}

void TestCSpellEngine::appendKeepsAnOpenLastLineApart()
{
    write(QStringLiteral("user.txt"), "alpha");
    CSpellEngine engine(makeDictionary("SET UTF-8"), path(QStringLiteral("user.txt")));
    engine.addToUserDictionary(QStringLiteral("beta"));
    QCOMPARE(read(QStringLiteral("user.txt")), QByteArray("alpha\nbeta\n"));
}

void TestCSpellEngine::unwritableUserListStillAcceptsWord()
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
    QVERIFY(QFileInfo(list).isDir());
}

void TestCSpellEngine::emptyOrBrokenWordsStayOutOfTheFile()
{
    write(QStringLiteral("user.txt"), "alpha\n");
    CSpellEngine engine(makeDictionary("SET UTF-8"), path(QStringLiteral("user.txt")));
    engine.addToUserDictionary(QString());
    QTest::ignoreMessage(QtWarningMsg, "User dictionary: a word with a line break is not written");
    engine.addToUserDictionary(QStringLiteral("two\nwords"));
    engine.addToUserDictionary(QStringLiteral("beta"));
    QCOMPARE(read(QStringLiteral("user.txt")), QByteArray("alpha\nbeta\n"));
}

void TestCSpellEngine::nonAsciiWordsRoundTrip_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("misspelt");

    QTest::newRow("ISO8859-1") << QByteArray("ISO8859-1") << QStringLiteral("naïveté") << QStringLiteral("naivete");
    QTest::newRow("koi8-r") << QByteArray("koi8-r") << QStringLiteral("привет") << QStringLiteral("привот");
    QTest::newRow("UTF-8") << QByteArray("UTF-8") << QStringLiteral("Grüße") << QStringLiteral("Grüsse");
}

void TestCSpellEngine::nonAsciiWordsRoundTrip()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QString, word);
    QFETCH(QString, misspelt);

    QTextCodec *codec = QTextCodec::codecForName(encoding);
    QVERIFY(codec);
    const QByteArray affix = "SET " + encoding + "\nTRY " + codec->fromUnicode(word + misspelt);
    write(QStringLiteral("base.aff"), affix + '\n');
    write(QStringLiteral("base.dic"), "1\n" + codec->fromUnicode(word) + '\n');
    // The user list is text in the locale's encoding whatever the dictionary uses.
    write(QStringLiteral("user.txt"), QStringLiteral("Öl\n").toUtf8());

    CSpellEngine engine(path(QStringLiteral("base")), path(QStringLiteral("user.txt")));
    QCOMPARE(engine.encoding(), QString::fromLatin1(encoding));
    QVERIFY(engine.isKnown(word));
    QVERIFY(!engine.isKnown(misspelt));
    QCOMPARE(engine.suggestionsFor(misspelt).value(0), word);
    if (codec->canEncode(QStringLiteral("Öl")))
        QVERIFY(engine.isKnown(QStringLiteral("Öl")));
    engine.addToUserDictionary(QStringLiteral("Straße"));
    QCOMPARE(read(QStringLiteral("user.txt")), QStringLiteral("Öl\nStraße\n").toUtf8());
}

void TestCSpellEngine::stagedEnglishDictionary()
{
    const QString base = QStringLiteral(VK_RUNTIME_DIR "/spell/dict/en_US");
    QVERIFY(QFile::exists(base + ".aff"));
    QTest::ignoreMessage(QtDebugMsg, "Encoding set to UTF-8");
    QTest::ignoreMessage(QtDebugMsg, "User dictionary not set.");
    const CSpellEngine engine(base, QString());
    QCOMPARE(engine.encoding(), QStringLiteral("UTF-8"));
    for (const char *word : {"hello", "Listening", "dictation", "don't", "don’t", "3rd", "1984"})
        QVERIFY2(engine.isKnown(QString::fromUtf8(word)), word);
    for (const char *word : {"helo", "recieve", "teh"})
        QVERIFY2(!engine.isKnown(QString::fromUtf8(word)), word);
    QVERIFY(engine.suggestionsFor(QStringLiteral("recieve")).contains(QStringLiteral("receive")));
    QCOMPARE(engine.suggestionsFor(QStringLiteral("teh")).value(0), QStringLiteral("the"));
}

QTEST_GUILESS_MAIN(TestCSpellEngine)
#include "tst_cspellengine.moc"
