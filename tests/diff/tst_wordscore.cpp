#include "diff/wordscore.h"

#include "editor/cspellengine.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <vector>

namespace {

QString stepLetters(const QList<ScoredStep> &steps)
{
    QStringList letters;
    for (const ScoredStep &step : steps) {
        switch (step.edit) {
        case WordEdit::Correct:
            letters << "C";
            break;
        case WordEdit::Substituted:
            letters << "S";
            break;
        case WordEdit::Deleted:
            letters << "D";
            break;
        case WordEdit::Inserted:
            letters << "I";
            break;
        }
    }
    return letters.join(' ');
}

// The least cost by the whole table, for checking the banded search.
int leastCost(const QList<TextWord> &a, const QList<TextWord> &b)
{
    std::vector<int> previous(size_t(b.size()) + 1), current(size_t(b.size()) + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        previous[size_t(j)] = 3 * int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = 3 * int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            current[size_t(j)] = std::min({previous[size_t(j)] + 3, current[size_t(j - 1)] + 3,
                                           previous[size_t(j - 1)] + (a[i - 1].key == b[j - 1].key ? 0 : 4)});
        }
        std::swap(previous, current);
    }
    return previous[size_t(b.size())];
}

// The cost of an alignment, after checking that it walks both word lists
// once each, in order, and pairs words as its steps say.
int costOf(const QList<WordStep> &steps, const QList<TextWord> &a, const QList<TextWord> &b)
{
    int i = 0;
    int j = 0;
    int cost = 0;
    for (const WordStep &step : steps) {
        switch (step.edit) {
        case WordEdit::Correct:
        case WordEdit::Substituted:
            if (step.reference != i++ || step.dictation != j++)
                return -1;
            if ((a[step.reference].key == b[step.dictation].key) != (step.edit == WordEdit::Correct))
                return -1;
            cost += step.edit == WordEdit::Correct ? 0 : 4;
            break;
        case WordEdit::Deleted:
            if (step.reference != i++ || step.dictation != -1)
                return -1;
            cost += 3;
            break;
        case WordEdit::Inserted:
            if (step.dictation != j++ || step.reference != -1)
                return -1;
            cost += 3;
            break;
        }
    }
    return i == a.size() && j == b.size() ? cost : -1;
}

QString randomText(QRandomGenerator &rng, int words, int vocabulary)
{
    static const char *const pool[] = {"the", "cat", "sat", "on", "a", "mat", "and", "dog",
                                       "ran", "to", "it", "was", "big", "red", "sun", "day"};
    QStringList out;
    for (int i = 0; i < words; ++i)
        out << pool[rng.bounded(vocabulary)];
    return out.join(' ');
}

// A copy with about one word in errorsPer changed, dropped or doubled.
QString dictated(QRandomGenerator &rng, const QString &reference, int errorsPer)
{
    QStringList out;
    for (const QString &word : reference.split(' ')) {
        if (rng.bounded(errorsPer) != 0) {
            out << word;
            continue;
        }
        switch (rng.bounded(3)) {
        case 0:
            out << word + "x";
            break;
        case 1:
            break;
        default:
            out << word << "um";
            break;
        }
    }
    return out.join(' ');
}

} // namespace

class TestWordScore : public QObject
{
    Q_OBJECT

private slots:
    void splitWords_data();
    void splitWords();
    void handCounted_data();
    void handCounted();
    void bandFindsTheLeastCost();
    void linesGetTheirOwnRows();
    void partialDictation_data();
    void partialDictation();
    void spellingSlips_data();
    void spellingSlips();
};

// Words as a learner writes them: a fault here counts a right word wrong,
// or marks characters the learner did not type.
void TestWordScore::splitWords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("written"); // where each word's marks go; empty: the keys
    QTest::addColumn<QList<int>>("lines");
    QTest::addColumn<QList<int>>("sentences"); // empty: all 0
    QTest::newRow("punctuation and case") << "Hello, World!  (Yes.)" << QStringList{"hello", "world", "yes"}
                                          << QStringList{"Hello", "World", "Yes"} << QList<int>{0, 0, 0}
                                          << QList<int>{0, 0, 1};
    QTest::newRow("apostrophes inside words")
        << "Don’t say 'no', it's rock 'n' roll, dont"
        << QStringList{"don't", "say", "no", "it's", "rock", "n", "roll", "dont"}
        << QStringList{"Don’t", "say", "no", "it's", "rock", "n", "roll", "dont"}
        << QList<int>{0, 0, 0, 0, 0, 0, 0, 0} << QList<int>{};
    QTest::newRow("hyphens and lines") << "well-known\n\nfact\r\nend" << QStringList{"well", "known", "fact", "end"}
                                       << QStringList{} << QList<int>{0, 0, 2, 3} << QList<int>{0, 0, 1, 2};
    QTest::newRow("abbreviations") << "The U.S. and D.C. agree." << QStringList{"the", "us", "and", "dc", "agree"}
                                   << QStringList{"The", "U.S", "and", "D.C", "agree"} << QList<int>{0, 0, 0, 0, 0}
                                   << QList<int>{0, 0, 1, 1, 2};
    QTest::newRow("time of day") << "at 7:30 a.m. sharp" << QStringList{"at", "730", "am", "sharp"}
                                 << QStringList{"at", "7:30", "a.m", "sharp"} << QList<int>{0, 0, 0, 0}
                                 << QList<int>{0, 0, 0, 1};
    QTest::newRow("money and thousands") << "$3.50 for 1,000 (US$5)" << QStringList{"350", "for", "1000", "us5"}
                                         << QStringList{"3.50", "for", "1,000", "US$5"} << QList<int>{0, 0, 0, 0}
                                         << QList<int>{};
    QTest::newRow("digits and accents") << "Café 3.5 naïve" << QStringList{"café", "35", "naïve"}
                                        << QStringList{"Café", "3.5", "naïve"} << QList<int>{0, 0, 0}
                                        << QList<int>{};
    QTest::newRow("combining accent") << QString::fromUtf8("cafe\xcc\x81 CAFE\xcc\x81")
                                      << QStringList{"café", "café"}
                                      << QStringList{QString::fromUtf8("cafe\xcc\x81"), QString::fromUtf8("CAFE\xcc\x81")}
                                      << QList<int>{0, 0} << QList<int>{};
    QTest::newRow("dashes, slashes and the ellipsis part words")
        << "and/or well—no… wait...what – yes\\no" << QStringList{"and", "or", "well", "no", "wait", "what", "yes", "no"}
        << QStringList{} << QList<int>{0, 0, 0, 0, 0, 0, 0, 0} << QList<int>{0, 0, 0, 0, 1, 2, 2, 2};
}

void TestWordScore::splitWords()
{
    QFETCH(QString, text);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, written);
    QFETCH(QList<int>, lines);
    QFETCH(QList<int>, sentences);
    const QList<TextWord> words = ::splitWords(text);
    QStringList gotKeys;
    QStringList gotWritten;
    QList<int> gotLines;
    QList<int> gotSentences;
    for (const TextWord &word : words) {
        gotKeys << word.key;
        gotWritten << text.mid(word.position, word.length);
        gotLines << word.line;
        gotSentences << word.sentence;
    }
    QCOMPARE(gotKeys, keys);
    QCOMPARE(gotWritten, written.isEmpty() ? keys : written);
    QCOMPARE(gotLines, lines);
    QCOMPARE(gotSentences, sentences.isEmpty() ? QList<int>(keys.size(), 0) : sentences);
    // Written the plain way, the same words count as correct.
    const WordScore score(text, keys.join(' '));
    QCOMPARE(score.total().correct, int(keys.size()));
}

void TestWordScore::handCounted_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("dictation");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("correct");
    QTest::addColumn<int>("substituted");
    QTest::addColumn<int>("deleted");
    QTest::addColumn<int>("inserted");
    QTest::addColumn<double>("errorRate"); // -1: none, there are no reference words

    QTest::newRow("both empty") << "" << "" << "" << 0 << 0 << 0 << 0 << -1.0;
    QTest::newRow("empty dictation") << "The cat sat." << "" << "D D D" << 0 << 0 << 3 << 0 << 1.0;
    QTest::newRow("empty reference") << "" << "a cat" << "I I" << 0 << 0 << 0 << 2 << -1.0;
    QTest::newRow("case and punctuation") << "Hello, World! It's me." << "hello world it's me"
                                          << "C C C C" << 4 << 0 << 0 << 0 << 0.0;
    QTest::newRow("line break against blank") << "I like\ncats" << "I like cats" << "C C C" << 3 << 0 << 0
                                              << 0 << 0.0;
    QTest::newRow("spacing of the dictation") << "I like cats and dogs" << "I  like\n\ncats\tand dogs"
                                              << "C C C C C" << 5 << 0 << 0 << 0 << 0.0;
    // Cost 7 either way; the tie goes to pairing words nearer the end.
    QTest::newRow("contraction written out") << "I don't know" << "I do not know" << "C I S C" << 2 << 1
                                             << 0 << 1 << 2.0 / 3;
    QTest::newRow("contraction without apostrophe") << "it's here" << "its here" << "S C" << 1 << 1 << 0
                                                    << 0 << 0.5;
    QTest::newRow("curly apostrophe") << "don’t stop" << "don't stop" << "C C" << 2 << 0 << 0 << 0 << 0.0;
    QTest::newRow("repeated word missed") << "the the cat" << "the cat" << "C D C" << 2 << 0 << 1 << 0
                                          << 1.0 / 3;
    QTest::newRow("repeated words missed") << "I said no no no" << "I said no" << "C C C D D" << 3 << 0
                                           << 2 << 0 << 0.4;
    QTest::newRow("word repeated by mistake") << "go home" << "go go home" << "C I C" << 2 << 0 << 0 << 1
                                              << 0.5;
    QTest::newRow("extra word at the end") << "good morning" << "good morning everyone" << "C C I" << 2
                                           << 0 << 0 << 1 << 0.5;
    QTest::newRow("missing word inside") << "I went to the shop" << "I went the shop" << "C C D C C" << 4
                                         << 0 << 1 << 0 << 0.2;
    QTest::newRow("wrong word") << "I saw the cat" << "I sore the cat" << "C S C C" << 3 << 1 << 0 << 0
                                << 0.25;
    // Four substitutions (16) beat keeping "a" (three insertions and three
    // deletions, 18).
    QTest::newRow("substitutions beat a far match") << "a b c d" << "x y z a" << "S S S S" << 0 << 4 << 0
                                                    << 0 << 1.0;
    QTest::newRow("hyphen against blank") << "a well-known fact" << "a well known fact" << "C C C C" << 4
                                          << 0 << 0 << 0 << 0.0;
    // Cost 10 either way; the slip stays with the word it slips from.
    QTest::newRow("slip beside its word") << "the concert hall" << "the consert" << "C S D" << 1 << 1 << 1
                                          << 0 << 2.0 / 3;
    QTest::newRow("written as learners write") << "At 7:30 a.m. in the U.S. it costs $3.50."
                                               << "at 730 am in the US it costs 350" << "C C C C C C C C C" << 9
                                               << 0 << 0 << 0 << 0.0;
    QTest::newRow("more extra words than reference") << "yes" << "oh yes yes sir" << "I I C I" << 1 << 0
                                                     << 0 << 3 << 3.0;
}

void TestWordScore::handCounted()
{
    QFETCH(QString, reference);
    QFETCH(QString, dictation);
    QFETCH(QString, steps);
    QFETCH(int, correct);
    QFETCH(int, substituted);
    QFETCH(int, deleted);
    QFETCH(int, inserted);
    QFETCH(double, errorRate);

    const WordScore score(reference, dictation);
    QCOMPARE(stepLetters(score.steps()), steps);
    const WordCounts &total = score.total();
    QCOMPARE(total.referenceWords, correct + substituted + deleted);
    QCOMPARE(total.correct, correct);
    QCOMPARE(total.substituted, substituted);
    QCOMPARE(total.deleted, deleted);
    QCOMPARE(total.inserted, inserted);
    QCOMPARE(total.spellingSlips, 0); // no spell test given
    QCOMPARE(total.hasRates(), errorRate >= 0);
    if (errorRate >= 0) {
        QCOMPARE(total.wordErrorRate(), errorRate);
        QCOMPARE(total.accuracy(), 1.0 - errorRate);
    }
    QCOMPARE(costOf(alignWords(score.referenceWords(), score.dictationWords()), score.referenceWords(),
                    score.dictationWords()),
             leastCost(score.referenceWords(), score.dictationWords()));
}

// The alignment searches a band around the diagonal that grows as needed;
// whatever the texts, it must find the cost the whole table finds.
void TestWordScore::bandFindsTheLeastCost()
{
    QRandomGenerator rng(17);
    for (int round = 0; round < 400; ++round) {
        const int vocabulary = 2 + int(rng.bounded(14));
        const QString reference = randomText(rng, int(rng.bounded(60)), vocabulary);
        const QString dictation = round % 2 ? randomText(rng, int(rng.bounded(60)), vocabulary)
                                            : dictated(rng, reference, 2 + int(rng.bounded(8)));
        const QList<TextWord> a = ::splitWords(reference);
        const QList<TextWord> b = ::splitWords(dictation);
        const int cost = costOf(alignWords(a, b), a, b);
        QVERIFY2(cost == leastCost(a, b), qPrintable(reference + " | " + dictation));
    }
    // Long texts with few faults, where the band stays narrow.
    const QString reference = randomText(rng, 3000, 16);
    const QString dictation = dictated(rng, reference, 30);
    const QList<TextWord> a = ::splitWords(reference);
    const QList<TextWord> b = ::splitWords(dictation);
    QCOMPARE(costOf(alignWords(a, b), a, b), leastCost(a, b));

    // Two unrelated texts too long for the whole table: the band stops
    // growing, and the alignment is still whole and no worse than pairing
    // the words in order.
    const QList<TextWord> x = ::splitWords(randomText(rng, 12000, 16));
    const QList<TextWord> y = ::splitWords(randomText(rng, 11000, 16));
    const int cost = costOf(alignWords(x, y), x, y);
    QVERIFY(cost >= leastCost(x, y));
    QVERIFY(cost <= 4 * 11000 + 3 * 1000);
}

void TestWordScore::linesGetTheirOwnRows()
{
    const WordScore score("I like cats.\n\nThey like milk.\nThe end.\n",
                          "i like cat they like the milk\nthe end extra");
    const QList<LineScore> &lines = score.lines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0].line, 0);
    QCOMPARE(lines[0].reference, QString("I like cats."));
    QCOMPARE(lines[0].dictation, QString("i like cat"));
    QCOMPARE(lines[0].counts.correct, 2);
    QCOMPARE(lines[0].counts.substituted, 1);
    // The empty line has no row; an extra word counts for the line of the
    // reference word before it.
    QCOMPARE(lines[1].line, 2);
    QCOMPARE(lines[1].dictation, QString("they like the milk"));
    QCOMPARE(lines[1].counts.correct, 3);
    QCOMPARE(lines[1].counts.inserted, 1);
    QCOMPARE(lines[1].counts.wordErrorRate(), 1.0 / 3);
    QCOMPARE(lines[2].line, 3);
    QCOMPARE(lines[2].counts.correct, 2);
    QCOMPARE(lines[2].counts.inserted, 1);
    WordCounts sum;
    for (const LineScore &line : lines)
        sum += line.counts;
    QCOMPARE(sum, score.total());
    QCOMPARE(score.total().referenceWords, 8);
    QCOMPARE(score.total().wordErrorRate(), 3.0 / 8);

    // Extra words before the first reference word count for its line.
    const WordScore early("\nfirst line\nsecond", "well first line second");
    QCOMPARE(early.lines().size(), 2);
    QCOMPARE(early.lines()[0].line, 1);
    QCOMPARE(early.lines()[0].counts.inserted, 1);
}

// The first four sentences of an eight-sentence lesson. A learner who
// stops early must see his words in the sentences he wrote, and a score of
// what he dictated, not one that counts the lesson he has not reached.
void TestWordScore::partialDictation_data()
{
    QTest::addColumn<QString>("fourth"); // the last sentence dictated
    // Counts of the fourth sentence: correct, substituted, deleted, inserted.
    QTest::addColumn<QList<int>>("counts");
    // Alike in spelling, so it stays with "concert".
    QTest::newRow("slip at the end") << "He went home after the consert." << QList<int>{5, 1, 0, 0};
    // Like nothing in the lesson: the sentence's words stay in its sentence.
    QTest::newRow("wrong word at the end") << "He went home after the party." << QList<int>{5, 1, 0, 0};
    // Pairing "the" with the fifth sentence's would cost less than an
    // extra "the" and a missing one in the fourth.
    QTest::newRow("words swapped at the end") << "He go home after concert the." << QList<int>{4, 1, 1, 1};
}

void TestWordScore::partialDictation()
{
    QFETCH(QString, fourth);
    QFETCH(QList<int>, counts);
    const QStringList lesson{
        "Tom got up early on Saturday.",       "He wanted to buy a ticket for the show.",
        "The shop opened at nine.",            "He went home after the concert.",
        "His sister was waiting at the door.", "She asked him about the music.",
        "He said the band played very well.",  "They spent the evening listening to songs.",
    };
    const QString dictation = "Tom got up early on Saturday. He wanted to buy a ticket for the show. "
                              "The shop opened at nine. "
        + fourth;
    const WordScore score(lesson.join('\n'), dictation);

    // Every dictated word counts for the sentence it was written for.
    const QList<LineScore> &lines = score.lines();
    QCOMPARE(lines.size(), 8);
    QString written = fourth;
    QCOMPARE(lines[3].dictation, written.remove('.'));
    const WordCounts &fourthCounts = lines[3].counts;
    QCOMPARE((QList<int>{fourthCounts.correct, fourthCounts.substituted, fourthCounts.deleted,
                         fourthCounts.inserted}),
             counts);
    for (int line = 4; line < 8; ++line) {
        QCOMPARE(lines[line].dictation, QString());
        QCOMPARE(lines[line].counts.deleted, lines[line].counts.referenceWords);
    }

    // Scored up to the fourth sentence, the whole lesson's figures beside.
    QVERIFY(score.stopsEarly());
    QCOMPARE(score.reachedLine(), 3);
    QCOMPARE(score.reachedSentence(), 4);
    QCOMPARE(score.sentenceCount(), 8);
    WordCounts reached = fourthCounts;
    reached.referenceWords += 20;
    reached.correct += 20;
    QCOMPARE(score.reachedTotal(), reached);
    QCOMPARE(score.total().referenceWords, 26 + 7 + 6 + 7 + 7);
    QCOMPARE(score.total().deleted, fourthCounts.deleted + 7 + 6 + 7 + 7);

    // A dictation of the whole lesson is scored whole, also when its last
    // sentence is mostly wrong or stops halfway.
    for (const QString &eighth : QStringList{"They spent the evening listening to songs.",
                                              "they spend evening listen song", "They spent"}) {
        const WordScore whole(lesson.join('\n'), lesson.mid(0, 7).join(' ') + ' ' + eighth);
        QVERIFY(!whole.stopsEarly());
        QCOMPARE(whole.reachedTotal(), whole.total());
        QCOMPARE(whole.reachedSentence(), 8);
        QVERIFY(!whole.lines()[7].dictation.isEmpty());
    }
}

void TestWordScore::spellingSlips_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("dictation");
    QTest::addColumn<int>("slips");
    QTest::addColumn<int>("wrong");
    QTest::newRow("swapped letters") << "I receive letters" << "I recieve letters" << 1 << 0;
    QTest::newRow("swapped letters again") << "because" << "becuase" << 1 << 0;
    QTest::newRow("two letters left out") << "colour" << "colr" << 1 << 0;
    QTest::newRow("known word of its own") << "their house" << "there house" << 0 << 1;
    QTest::newRow("unknown and far away") << "elephant" << "elefunt" << 0 << 1;
    QTest::newRow("unknown and nothing alike") << "cat" << "qzx" << 0 << 1;
    QTest::newRow("capitals do not count") << "London" << "Londno" << 1 << 0;
    QTest::newRow("one of each") << "We receive their letters" << "We recieve there letters" << 1 << 1;
}

void TestWordScore::spellingSlips()
{
    QFETCH(QString, reference);
    QFETCH(QString, dictation);
    QFETCH(int, slips);
    QFETCH(int, wrong);
    const CSpellEngine engine(QStringLiteral("./spell/dict/en_US"), QString());
    QVERIFY(engine.isKnown("house"));
    const WordScore score(reference, dictation, [&engine](const QString &word) { return engine.isKnown(word); });
    QCOMPARE(score.total().spellingSlips, slips);
    QCOMPARE(score.total().wrongWords(), wrong);
    QCOMPARE(score.total().substituted, slips + wrong);
}

QTEST_GUILESS_MAIN(TestWordScore)
#include "tst_wordscore.moc"
