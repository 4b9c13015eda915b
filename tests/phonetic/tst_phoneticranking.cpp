#include "phonetic/phoneticranking.h"

#include <QTest>

class tst_PhoneticRanking : public QObject
{
    Q_OBJECT

private slots:
    void spelling_data();
    void spelling();
    void sound_data();
    void sound();
};

void tst_PhoneticRanking::spelling_data()
{
    QTest::addColumn<QByteArray>("caption");
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("distance");
    QTest::newRow("same") << QByteArray("bakery") << QByteArray("bakery") << 0;
    QTest::newRow("one letter left out") << QByteArray("bakery") << QByteArray("bakry") << 1;
    QTest::newRow("longer word") << QByteArray("blackberry") << QByteArray("bakry") << 5;
    QTest::newRow("case does not count") << QByteArray("Bakery") << QByteArray("bAKRY") << 1;
    QTest::newRow("substitution") << QByteArray("think") << QByteArray("thank") << 1;
    QTest::newRow("empty typed") << QByteArray("cat") << QByteArray() << 3;
    QTest::newRow("both empty") << QByteArray() << QByteArray() << 0;
    QTest::newRow("longer than the inline buffer") << QByteArray(100, 'a') << QByteArray(90, 'a') << 10;
}

void tst_PhoneticRanking::spelling()
{
    QFETCH(QByteArray, caption);
    QFETCH(QByteArray, typed);
    QFETCH(int, distance);
    QCOMPARE(PhoneticRanking::spellingDistance(caption, typed), distance);
    QCOMPARE(PhoneticRanking::spellingDistance(typed, caption), distance);
}

void tst_PhoneticRanking::sound_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("distance");
    QTest::newRow("stress marks left out") << QByteArray("&#712;k&#230;t") << QByteArray("k&#230;t") << 0;
    QTest::newRow("secondary stress too") << QByteArray("&#716;aut&#712;said") << QByteArray("autsaid") << 0;
    QTest::newRow("a reference is one sound") << QByteArray("k&#230;t&#601;") << QByteArray("k&#230;t") << 1;
    QTest::newRow("one sound for another") << QByteArray("k&#652;t") << QByteArray("k&#230;t") << 1;
    QTest::newRow("long vowel") << QByteArray("&#593;&#720;") << QByteArray("&#593;") << 1;
    QTest::newRow("typed stress ignored") << QByteArray("b&#712;eik&#601;ri") << QByteArray("&#712;beik&#601;ri") << 0;
    QTest::newRow("broken reference stays characters") << QByteArray("&#60") << QByteArray("&#60") << 0;
    QTest::newRow("broken against whole") << QByteArray("&#601") << QByteArray("&#601;") << 5;
}

void tst_PhoneticRanking::sound()
{
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, typed);
    QFETCH(int, distance);
    QCOMPARE(PhoneticRanking::soundDistance(stored, typed), distance);
}

QTEST_APPLESS_MAIN(tst_PhoneticRanking)
#include "tst_phoneticranking.moc"
