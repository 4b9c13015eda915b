#include "diff/diff_match_patch.h"

#include <QRandomGenerator>
#include <QTest>

using DiffList = QList<Diff>;

namespace {

Diff del(const QString &text) { return Diff(DELETE, text); }
Diff ins(const QString &text) { return Diff(INSERT, text); }
Diff eq(const QString &text) { return Diff(EQUAL, text); }

QString dump(const DiffList &diffs)
{
    QStringList parts;
    for (const Diff &diff : diffs)
        parts << diff.toString();
    return parts.join(QLatin1Char(','));
}

// Replays the list against text1 and returns the text it turns text1 into,
// or an error note when the list does not fit text1.
QString apply(const DiffList &diffs, const QString &text1)
{
    QString out;
    qsizetype at = 0;
    for (const Diff &diff : diffs) {
        if (diff.operation == INSERT) {
            out += diff.text;
            continue;
        }
        if (QStringView(text1).mid(at, diff.text.size()) != diff.text)
            return QStringLiteral("<mismatch at %1: %2>").arg(at).arg(diff.toString());
        if (diff.operation == EQUAL)
            out += diff.text;
        at += diff.text.size();
    }
    if (at != text1.size())
        return QStringLiteral("<text1 not used up: %1 of %2>").arg(at).arg(text1.size());
    return out;
}

// A random text from one of several alphabets: few letters (many chance
// matches), words, lines, and characters outside the BMP.
QString randomText(QRandomGenerator &rng, int length)
{
    static const QStringList words = {QStringLiteral("the "), QStringLiteral("cat "),
                                      QStringLiteral("sat\n"), QStringLiteral("on "),
                                      QStringLiteral("a mat. "), QStringLiteral("\n\n"),
                                      QStringLiteral("\r\n"), QStringLiteral("\U0001F600"),
                                      QStringLiteral("\u00e9t\u00e9 "), QStringLiteral("x")};
    QString text = QStringLiteral(""); // empty, not null
    switch (rng.bounded(4)) {
    case 0: // tiny alphabet
        while (text.size() < length)
            text += QChar(u"ab\n"[rng.bounded(3)]);
        break;
    case 1: // surrogate pairs among letters
        while (text.size() < length) {
            if (rng.bounded(3) == 0)
                text += QString::fromUcs4(U"\U0001F600\U0001F601\U00010437" + rng.bounded(3), 1);
            else
                text += QChar(u'a' + rng.bounded(4));
        }
        break;
    default: // words and lines
        while (text.size() < length)
            text += words[rng.bounded(words.size())];
        break;
    }
    return text;
}

// A copy of text with a few random insertions, deletions and replacements.
QString mutated(QRandomGenerator &rng, const QString &text)
{
    QString copy = text;
    const int edits = rng.bounded(1, 8);
    for (int e = 0; e < edits; ++e) {
        const int at = int(rng.bounded(copy.size() + 1));
        const int span = int(rng.bounded(1, 12));
        switch (rng.bounded(3)) {
        case 0:
            copy.insert(at, randomText(rng, span));
            break;
        case 1:
            copy.remove(at, span);
            break;
        default:
            copy.replace(at, span, randomText(rng, span));
            break;
        }
    }
    return copy;
}

} // namespace

class TestDiffMatchPatch : public QObject
{
    Q_OBJECT

private slots:
    void halfMatch_data();
    void halfMatch();
    void linesToChars();
    void linesToCharsLimit();
    void cleanupMerge_data();
    void cleanupMerge();
    void semanticScore_data();
    void semanticScore();
    void cleanupSemanticLossless_data();
    void cleanupSemanticLossless();
    void cleanupSemantic_data();
    void cleanupSemantic();
    void diffMain_data();
    void diffMain();
    void nullInputs();
    void deadline();
    void lineModeMatchesCharacterMode();
    void tooManyLinesFallsBackToCharacters();
    void randomRoundTrip();
};

void TestDiffMatchPatch::halfMatch_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no match") << "1234567890" << "abcdef" << QStringList();
    QTest::newRow("single match") << "1234567890" << "a345678z"
                                  << QStringList{"12", "90", "a", "z", "345678"};
    QTest::newRow("second seed") << "abc56789z" << "1234567890"
                                 << QStringList{"abc", "z", "1234", "0", "56789"};
    QTest::newRow("multiple matches") << "121231234123451234123121" << "a1234123451234z"
                                      << QStringList{"12123", "123121", "a", "z", "1234123451234"};
    QTest::newRow("non-optimal") << "qHilloHelloHew" << "xHelloHeHulloy"
                                 << QStringList{"qHillo", "w", "x", "Hulloy", "HelloHe"};
}

void TestDiffMatchPatch::halfMatch()
{
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(QStringList, expected);
    diff_match_patch dmp;
    QCOMPARE(dmp.diff_halfMatch(text1, text2), expected);
    // Without a deadline the full diff has time, so no shortcut is taken.
    dmp.Diff_Timeout = 0;
    QCOMPARE(dmp.diff_halfMatch(text1, text2), QStringList());
}

void TestDiffMatchPatch::linesToChars()
{
    QString chars1, chars2;
    QStringList lines;
    QVERIFY(diff_match_patch::diff_linesToChars("alpha\nbeta\nalpha\n", "beta\nalpha\nbeta\n",
                                                chars1, chars2, lines));
    QCOMPARE(chars1, QString::fromUtf16(u"\x01\x02\x01"));
    QCOMPARE(chars2, QString::fromUtf16(u"\x02\x01\x02"));
    QCOMPARE(lines, QStringList({"", "alpha\n", "beta\n"}));

    // A last line without a line feed is a line of its own.
    QVERIFY(diff_match_patch::diff_linesToChars("a", "b\nb", chars1, chars2, lines));
    QCOMPARE(chars1, QString::fromUtf16(u"\x01"));
    QCOMPARE(chars2, QString::fromUtf16(u"\x02\x03"));
    QCOMPARE(lines, QStringList({"", "a", "b\n", "b"}));

    DiffList diffs{eq(QString::fromUtf16(u"\x01\x02\x01")), ins(QString::fromUtf16(u"\x02\x01\x02"))};
    diff_match_patch::diff_charsToLines(diffs, {"", "alpha\n", "beta\n"});
    QCOMPARE(dump(diffs),
             dump({eq("alpha\nbeta\nalpha\n"), ins("beta\nalpha\nbeta\n")}));
}

void TestDiffMatchPatch::linesToCharsLimit()
{
    // Numbers 1 to 65535 are available: one more line would alias another.
    QString text;
    for (int i = 1; i <= 65535; ++i)
        text += QString::number(i) + QLatin1Char('\n');
    QString chars1, chars2;
    QStringList lines;
    QVERIFY(diff_match_patch::diff_linesToChars(text, QString(""), chars1, chars2, lines));
    QCOMPARE(lines.size(), 65536);
    QCOMPARE(chars1.back().unicode(), char16_t(0xFFFF));
    QVERIFY(!diff_match_patch::diff_linesToChars(text, "one more\n", chars1, chars2, lines));
}

void TestDiffMatchPatch::cleanupMerge_data()
{
    QTest::addColumn<DiffList>("input");
    QTest::addColumn<DiffList>("expected");
    QTest::newRow("empty") << DiffList() << DiffList();
    QTest::newRow("equalities") << DiffList{eq("a"), eq("b"), eq("c")} << DiffList{eq("abc")};
    QTest::newRow("interleaved") << DiffList{del("a"), ins("b"), del("c"), ins("d"), eq("e"), eq("f")}
                                 << DiffList{del("ac"), ins("bd"), eq("ef")};
    QTest::newRow("prefix and suffix") << DiffList{del("a"), ins("abc"), del("dc")}
                                       << DiffList{eq("a"), del("d"), ins("b"), eq("c")};
    QTest::newRow("into equalities") << DiffList{eq("x"), del("a"), ins("abc"), del("dc"), eq("y")}
                                     << DiffList{eq("xa"), del("d"), ins("b"), eq("cy")};
    QTest::newRow("slide left") << DiffList{eq("a"), ins("ba"), eq("c")}
                                << DiffList{ins("ab"), eq("ac")};
    QTest::newRow("slide right") << DiffList{eq("c"), ins("ab"), eq("a")}
                                 << DiffList{eq("ca"), ins("ba")};
    QTest::newRow("slide left recursive") << DiffList{eq("a"), del("b"), eq("c"), del("ac"), eq("x")}
                                          << DiffList{del("abc"), eq("acx")};
    QTest::newRow("empty pieces") << DiffList{del("a"), eq(""), ins(""), del("b"), ins("c"), eq("")}
                                  << DiffList{del("ab"), ins("c")};
    QTest::newRow("group all common") << DiffList{eq("x"), del("ab"), ins("ab"), eq("y")}
                                      << DiffList{eq("xaby")};
}

void TestDiffMatchPatch::cleanupMerge()
{
    QFETCH(DiffList, input);
    QFETCH(DiffList, expected);
    diff_match_patch().diff_cleanupMerge(input);
    QCOMPARE(dump(input), dump(expected));
}

void TestDiffMatchPatch::semanticScore_data()
{
    QTest::addColumn<QString>("one");
    QTest::addColumn<QString>("two");
    QTest::addColumn<int>("score");
    QTest::newRow("edge") << "" << "abc" << 10;
    QTest::newRow("other edge") << "abc" << "" << 10;
    QTest::newRow("inside a word") << "ab" << "cd" << 0;
    QTest::newRow("digits count as letters") << "a1" << "2b" << 0;
    QTest::newRow("punctuation") << "ab." << "cd" << 1;
    QTest::newRow("blank") << "ab" << " cd" << 2;
    QTest::newRow("line break") << "ab\n" << "cd" << 3;
    QTest::newRow("blank line before") << "ab\n\n" << "cd" << 4;
    QTest::newRow("blank line before, CRLF") << "ab\r\n\r\n" << "cd" << 4;
    QTest::newRow("blank line after") << "ab" << "\r\n\r\ncd" << 4;
    QTest::newRow("line break then blank") << "ab\n" << " \ncd" << 3;
}

void TestDiffMatchPatch::semanticScore()
{
    QFETCH(QString, one);
    QFETCH(QString, two);
    QFETCH(int, score);
    QCOMPARE(diff_match_patch::diff_cleanupSemanticScore(one, two), score);
}

void TestDiffMatchPatch::cleanupSemanticLossless_data()
{
    QTest::addColumn<DiffList>("input");
    QTest::addColumn<DiffList>("expected");
    QTest::newRow("empty") << DiffList() << DiffList();
    QTest::newRow("blank lines")
        << DiffList{eq("AAA\r\n\r\nBBB"), ins("\r\nDDD\r\n\r\nBBB"), eq("\r\nEEE")}
        << DiffList{eq("AAA\r\n\r\n"), ins("BBB\r\nDDD\r\n\r\n"), eq("BBB\r\nEEE")};
    QTest::newRow("line boundaries")
        << DiffList{eq("AAA\r\nBBB"), ins(" DDD\r\nBBB"), eq(" EEE")}
        << DiffList{eq("AAA\r\n"), ins("BBB DDD\r\n"), eq("BBB EEE")};
    QTest::newRow("word boundaries")
        << DiffList{eq("The c"), ins("ow and the c"), eq("at.")}
        << DiffList{eq("The "), ins("cow and the "), eq("cat.")};
    QTest::newRow("hitting the start") << DiffList{eq("a"), del("a"), eq("ax")}
                                       << DiffList{del("a"), eq("aax")};
    QTest::newRow("hitting the end") << DiffList{eq("xa"), del("a"), eq("a")}
                                     << DiffList{eq("xaa"), del("a")};
    // Blank before or after the word scores the same; the later place wins.
    QTest::newRow("tie goes right") << DiffList{eq("I saw"), ins(" a"), eq(" cat")}
                                    << DiffList{eq("I saw "), ins("a "), eq("cat")};
}

void TestDiffMatchPatch::cleanupSemanticLossless()
{
    QFETCH(DiffList, input);
    QFETCH(DiffList, expected);
    diff_match_patch().diff_cleanupSemanticLossless(input);
    QCOMPARE(dump(input), dump(expected));
}

void TestDiffMatchPatch::cleanupSemantic_data()
{
    QTest::addColumn<DiffList>("input");
    QTest::addColumn<DiffList>("expected");
    QTest::newRow("empty") << DiffList() << DiffList();
    QTest::newRow("no elimination") << DiffList{del("ab"), ins("cd"), eq("12"), del("e")}
                                    << DiffList{del("ab"), ins("cd"), eq("12"), del("e")};
    QTest::newRow("simple elimination") << DiffList{del("a"), eq("b"), del("c")}
                                        << DiffList{del("abc"), ins("b")};
    QTest::newRow("backpass elimination")
        << DiffList{del("ab"), eq("cd"), del("e"), eq("f"), ins("g")}
        << DiffList{del("abcdef"), ins("cdfg")};
    QTest::newRow("multiple eliminations")
        << DiffList{ins("1"), eq("A"), del("B"), ins("2"), eq("_"), ins("1"), eq("A"), del("B"), ins("2")}
        << DiffList{del("AB_AB"), ins("1A2_1A2")};
    QTest::newRow("word boundaries") << DiffList{eq("The c"), del("ow and the c"), eq("at.")}
                                     << DiffList{eq("The "), del("cow and the "), eq("cat.")};
    QTest::newRow("overlap below half") << DiffList{del("abcxx"), ins("xxdef")}
                                        << DiffList{del("abcxx"), ins("xxdef")};
    QTest::newRow("six-character overlap") << DiffList{del("abcxxx"), ins("xxxdef")}
                                           << DiffList{del("abc"), eq("xxx"), ins("def")};
    // Only a deletion's end against the following insertion's start counts.
    QTest::newRow("reverse overlap kept") << DiffList{del("xxxabc"), ins("defxxx")}
                                          << DiffList{del("xxxabc"), ins("defxxx")};
    QTest::newRow("two overlaps")
        << DiffList{del("abcd1212"), ins("1212efghi"), eq("----"), del("A3"), ins("3BC")}
        << DiffList{del("abcd"), eq("1212"), ins("efghi"), eq("----"), del("A"), eq("3"), ins("BC")};
}

void TestDiffMatchPatch::cleanupSemantic()
{
    QFETCH(DiffList, input);
    QFETCH(DiffList, expected);
    diff_match_patch().diff_cleanupSemantic(input);
    QCOMPARE(dump(input), dump(expected));
}

void TestDiffMatchPatch::diffMain_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<float>("timeout");
    QTest::addColumn<DiffList>("expected");
    QTest::newRow("both empty") << "" << "" << 1.0f << DiffList();
    QTest::newRow("equal") << "abc" << "abc" << 1.0f << DiffList{eq("abc")};
    QTest::newRow("abc against ab") << "abc" << "ab" << 1.0f << DiffList{eq("ab"), del("c")};
    QTest::newRow("simple insertion") << "abc" << "ab123c" << 1.0f
                                      << DiffList{eq("ab"), ins("123"), eq("c")};
    QTest::newRow("two insertions") << "abc" << "a123b456c" << 1.0f
                                    << DiffList{eq("a"), ins("123"), eq("b"), ins("456"), eq("c")};
    QTest::newRow("single characters") << "a" << "b" << 0.0f << DiffList{del("a"), ins("b")};
    QTest::newRow("sentence") << "Apples are a fruit." << "Bananas are also fruit." << 0.0f
                              << DiffList{del("Apple"), ins("Banana"), eq("s are a"), ins("lso"),
                                          eq(" fruit.")};
    QTest::newRow("control and non-ASCII")
        << "ax\t" << QString::fromUtf16(u"\u0680x\0", 3) << 0.0f
        << DiffList{del("a"), ins(QStringLiteral("\u0680")), eq("x"), del("\t"),
                    ins(QString(QChar(0)))};
    QTest::newRow("overlaps") << "1ayb2" << "abxab" << 0.0f
                              << DiffList{del("1"), eq("a"), del("y"), eq("b"), del("2"), ins("xab")};
    QTest::newRow("containment") << "abcy" << "xaxcxabc" << 0.0f
                                 << DiffList{ins("xaxcx"), eq("abc"), del("y")};
    QTest::newRow("half-match cut")
        << "ABCDa=bcd=efghijklmnopqrsEFGHIJKLMNOefg" << "a-bcd-efghijklmnopqrs" << 0.0f
        << DiffList{del("ABCD"), eq("a"), del("="), ins("-"), eq("bcd"), del("="), ins("-"),
                    eq("efghijklmnopqrs"), del("EFGHIJKLMNOefg")};
    QTest::newRow("large equality") << "a [[Pennsylvania]] and [[New" << " and [[Pennsylvania]]"
                                    << 0.0f
                                    << DiffList{ins(" "), eq("a"), ins("nd"),
                                                eq(" [[Pennsylvania]]"), del(" and [[New")};
}

void TestDiffMatchPatch::diffMain()
{
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(float, timeout);
    QFETCH(DiffList, expected);
    diff_match_patch dmp;
    dmp.Diff_Timeout = timeout;
    QCOMPARE(dump(dmp.diff_main(text1, text2, false)), dump(expected));
}

void TestDiffMatchPatch::nullInputs()
{
    const diff_match_patch dmp;
    QVERIFY_THROWS_EXCEPTION(DiffError, dmp.diff_main(QString(), QString("a")));
    try {
        dmp.diff_main(QString("a"), QString());
        QFAIL("no exception");
    } catch (const DiffError &error) {
        QCOMPARE(QString::fromLatin1(error.what()), QString("Null inputs. (diff_main)"));
    }
    // Empty is not null.
    QCOMPARE(dump(dmp.diff_main(QString(""), QString("a"))), dump({ins("a")}));
}

void TestDiffMatchPatch::deadline()
{
    const diff_match_patch dmp;
    const qint64 passed = diff_match_patch::clock() - 1;
    const qint64 far = diff_match_patch::clock() + 3600 * 1000;
    QCOMPARE(dump(dmp.diff_bisect("cat", "map", far)),
             dump({del("c"), ins("m"), eq("a"), del("t"), ins("p")}));
    QCOMPARE(dump(dmp.diff_bisect("cat", "map", passed)), dump({del("cat"), ins("map")}));
    // The common ends are still found; only the middle is given up.
    QCOMPARE(dump(dmp.diff_main("xxcatyy", "xxmapyy", false, passed)),
             dump({eq("xx"), del("cat"), ins("map"), eq("yy")}));

    // Long texts past their deadline: coarser, still right.
    QRandomGenerator rng(7);
    QString text1, text2;
    for (int i = 0; i < 2000; ++i) {
        text1 += QChar(u'a' + rng.bounded(4));
        text2 += QChar(u'a' + rng.bounded(4));
    }
    const DiffList coarse = dmp.diff_main(text1, text2, false, passed);
    QCOMPARE(apply(coarse, text1), text2);
    const DiffList fine = dmp.diff_main(text1, text2, false, far);
    QCOMPARE(apply(fine, text1), text2);
    QVERIFY2(coarse.size() < fine.size() / 10,
             qPrintable(QStringLiteral("%1 against %2").arg(coarse.size()).arg(fine.size())));

    // A timeout of a millisecond may cut anywhere; the list stays right.
    diff_match_patch hurried;
    hurried.Diff_Timeout = 0.001f;
    QCOMPARE(apply(hurried.diff_main(text1, text2), text1), text2);
}

void TestDiffMatchPatch::lineModeMatchesCharacterMode()
{
    // Lines replaced whole by line mode are compared again by characters.
    QString text1, text2;
    for (int i = 0; i < 40; ++i) {
        text1 += QStringLiteral("line %1 of the first text\n").arg(i);
        text2 += QStringLiteral("line %1 of the %2 text\n").arg(i).arg(i % 7 ? "first" : "other");
    }
    diff_match_patch dmp;
    dmp.Diff_Timeout = 0; // the same answer however busy the machine
    const DiffList byLines = dmp.diff_main(text1, text2, true);
    QCOMPARE(apply(byLines, text1), text2);
    for (const Diff &diff : byLines) {
        if (diff.operation == DELETE)
            QVERIFY2(QString("first").contains(diff.text), qPrintable(diff.toString()));
        else if (diff.operation == INSERT)
            QVERIFY2(QString("other").contains(diff.text), qPrintable(diff.toString()));
    }

    // Nothing but changed lines: the same answer as character mode.
    const QString digits = QString("1234567890\n").repeated(13);
    const QString letters = QString("abcdefghij\n").repeated(13);
    QCOMPARE(dump(dmp.diff_main(digits, letters, true)), dump(dmp.diff_main(digits, letters, false)));
}

void TestDiffMatchPatch::tooManyLinesFallsBackToCharacters()
{
    // 80,000 distinct lines: with 16-bit line numbers some would alias and
    // the lines read back would be the wrong ones.
    QString text1, text2;
    for (int i = 0; i < 80000; ++i) {
        text1 += QStringLiteral("L%1\n").arg(i);
        text2 += QStringLiteral("%1%2\n").arg(i % 5000 == 0 ? "X" : "L").arg(i);
    }
    diff_match_patch dmp;
    dmp.Diff_Timeout = 0; // no deadline to cut the character diff short
    const DiffList diffs = dmp.diff_main(text1, text2);
    QCOMPARE(apply(diffs, text1), text2);
    int changes = 0;
    for (const Diff &diff : diffs) {
        if (diff.operation != EQUAL) {
            QCOMPARE(diff.text, QString(diff.operation == DELETE ? "L" : "X"));
            ++changes;
        }
    }
    QCOMPARE(changes, 2 * 16);
}

void TestDiffMatchPatch::randomRoundTrip()
{
    QRandomGenerator rng(20261207);
    const diff_match_patch dmp;
    for (int round = 0; round < 3000; ++round) {
        const QString text1 = randomText(rng, int(rng.bounded(0, 260)));
        const QString text2 = rng.bounded(5) == 0 ? randomText(rng, int(rng.bounded(0, 260)))
                                                  : mutated(rng, text1);
        const QByteArray where = QStringLiteral("round %1: \"%2\" -> \"%3\"")
                                     .arg(round)
                                     .arg(text1, text2)
                                     .toUtf8();
        DiffList diffs = dmp.diff_main(text1, text2);
        QVERIFY2(apply(diffs, text1) == text2, where.constData());
        QVERIFY2(diff_match_patch::diff_text1(diffs) == text1, where.constData());
        QVERIFY2(diff_match_patch::diff_text2(diffs) == text2, where.constData());
        for (qsizetype i = 0; i < diffs.size(); ++i) {
            QVERIFY2(!diffs[i].text.isEmpty(), where.constData());
            // Merged: no two neighbours of one kind, deletion before insertion.
            if (i > 0) {
                QVERIFY2(diffs[i].operation != diffs[i - 1].operation, where.constData());
                QVERIFY2(!(diffs[i - 1].operation == INSERT && diffs[i].operation == DELETE),
                         where.constData());
            }
        }

        dmp.diff_cleanupSemantic(diffs);
        QVERIFY2(apply(diffs, text1) == text2, where.constData());
        QVERIFY2(diff_match_patch::diff_text1(diffs) == text1, where.constData());
        QVERIFY2(diff_match_patch::diff_text2(diffs) == text2, where.constData());
        for (const Diff &diff : std::as_const(diffs))
            QVERIFY2(!diff.text.isEmpty(), where.constData());
    }
}

QTEST_GUILESS_MAIN(TestDiffMatchPatch)
#include "tst_diff_match_patch.moc"
