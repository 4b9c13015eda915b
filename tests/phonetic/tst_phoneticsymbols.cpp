#include "phonetic/phoneticsymbols.h"

#include <QTest>

using namespace PhoneticSymbols;
using namespace Qt::StringLiterals;

class tst_PhoneticSymbols : public QObject
{
    Q_OBJECT

private slots:
    void symbolTable_data();
    void symbolTable();
    void tableOrderAndRefill();
    void phoneticPattern_data();
    void phoneticPattern();
    void captionPattern_data();
    void captionPattern();
    void entitiesToSymbols_data();
    void entitiesToSymbols();
    void ipaKeys();
};

void tst_PhoneticSymbols::symbolTable_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("apostrophe is primary stress") << u"'"_s << QByteArray("&#712;");
    QTest::newRow("colon is the length mark") << u":"_s << QByteArray("&#720;");
    QTest::newRow("plain a is script a") << u"a"_s << QByteArray("&#593;");
    QTest::newRow("plain g is script g") << u"g"_s << QByteArray("&#609;");
    QTest::newRow("script g") << u"\u0261"_s << QByteArray("&#609;");
    QTest::newRow("d+ezh") << u"d\u0292"_s << QByteArray("d&#658;");
    QTest::newRow("open o + i") << u"\u0254i"_s << QByteArray("&#596;i");
    QTest::newRow("open e + schwa") << u"\u025B\u0259"_s << QByteArray("&#603;&#601;");
    QTest::newRow("small capital i") << u"\u026A"_s << QByteArray("&#618;");
    QTest::newRow("theta") << u"\u03B8"_s << QByteArray("&#952;");
    QTest::newRow("o") << u"o"_s << QByteArray("o");
}

void tst_PhoneticSymbols::symbolTable()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, stored);
    const auto &table = PhoneticSymbols::symbolTable();
    const auto it = table.find(typed);
    QVERIFY(it != table.end());
    QCOMPARE(it->second, stored);
}

void tst_PhoneticSymbols::tableOrderAndRefill()
{
    fillSymbolTable();
    fillSymbolTable();
    const auto &table = PhoneticSymbols::symbolTable();
    QCOMPARE(table.size(), size_t(58));
    QCOMPARE(table.begin()->first, u"'"_s);
    QCOMPARE(table.rbegin()->first, u"\u03B8"_s);

    // Unsigned code units, a prefix before what it begins: "t" < "tr" < "ts"
    // < "tʃ" < "u", and "ɑ" (U+0251) < "ɑː" < "ɔ" (U+0254).
    QStringList keys;
    for (const auto &[typed, stored] : table)
        keys << typed;
    QVERIFY(keys.indexOf(u"t"_s) + 1 == keys.indexOf(u"tr"_s));
    QVERIFY(keys.indexOf(u"ts"_s) + 1 == keys.indexOf(u"t\u0283"_s));
    QVERIFY(keys.indexOf(u"t\u0283"_s) + 1 == keys.indexOf(u"u"_s));
    QVERIFY(keys.indexOf(u"\u0251\u02D0"_s) + 1 == keys.indexOf(u"\u0254"_s));
    QVERIFY(keys.indexOf(u"z"_s) + 1 == keys.indexOf(u"\u00E6"_s));

    for (const QString &absent : {u"\u025B"_s, u"A"_s, u" "_s, u"c"_s, u"x"_s})
        QVERIFY2(table.find(absent) == table.end(), qPrintable(absent));
}

void tst_PhoneticSymbols::phoneticPattern_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("splits");
    QTest::addColumn<QByteArray>("pattern");
    QTest::newRow("kæt") << u"k\u00E6t"_s << true << QByteArray("%k%&#230;%t%");
    QTest::newRow("dialog sample") << u"igz\u0251:mpl"_s << true
                                   << QByteArray("%i%&#609;%z%&#593;%&#720;%m%p%l%");
    QTest::newRow("tʃ is one symbol") << u"t\u0283"_s << true << QByteArray("%t&#643;%");
    QTest::newRow("ʃt is two") << u"\u0283t"_s << true << QByteArray("%&#643;%t%");
    QTest::newRow("tstʃ: ts, then tʃ") << u"tst\u0283"_s << true << QByteArray("%ts%t&#643;%");
    QTest::newRow("ai before au") << u"baiaut"_s << true << QByteArray("%b%ai%au%t%");
    QTest::newRow("ɔi before əu") << u"t\u0254i\u0259ut\u0259"_s << true
                                  << QByteArray("%t%&#596;i%&#601;u%t%&#601;%");
    QTest::newRow("iːt") << u"i\u02D0t"_s << true << QByteArray("%i&#720;%t%");
    QTest::newRow("apostrophe stress") << u"'\u00E6p"_s << true << QByteArray("%&#712;%&#230;%p%");
    QTest::newRow("IPA stress") << u"\u02C8\u00E6p"_s << true << QByteArray("%&#712;%&#230;%p%");
    QTest::newRow("ɑː is one symbol") << u"\u0251\u02D0"_s << true << QByteArray("%&#593;&#720;%");
    QTest::newRow("ɑ: is two") << u"\u0251:"_s << true << QByteArray("%&#593;%&#720;%");
    QTest::newRow("a") << u"a"_s << true << QByteArray("%&#593;%");
    QTest::newRow("g") << u"g"_s << true << QByteArray("%&#609;%");
    QTest::newRow("ai") << u"ai"_s << true << QByteArray("%ai%");
    QTest::newRow("au") << u"au"_s << true << QByteArray("%au%");
    QTest::newRow("ei") << u"ei"_s << true << QByteArray("%ei%");
    QTest::newRow("ɛə") << u"\u025B\u0259"_s << true << QByteArray("%&#603;&#601;%");
    QTest::newRow("ɛ alone") << u"\u025B"_s << false << QByteArray();
    QTest::newRow("ɛ before a consonant") << u"b\u025Bd"_s << false << QByteArray();
    QTest::newRow("empty") << QString() << false << QByteArray();
    QTest::newRow("capital first") << u"K\u00E6t"_s << false << QByteArray();
    QTest::newRow("capital inside") << u"kAt"_s << false << QByteArray();
    QTest::newRow("capital last") << u"k\u00E6T"_s << false << QByteArray();
    QTest::newRow("blank inside") << u"k \u00E6t"_s << false << QByteArray();
    QTest::newRow("blank last") << u"k\u00E6t "_s << false << QByteArray();
    QTest::newRow("digit") << u"k2t"_s << false << QByteArray();
    QTest::newRow("letter outside the table") << u"kxt"_s << false << QByteArray();
    QTest::newRow("percent") << u"k%t"_s << false << QByteArray();
    QTest::newRow("quote") << u"k\"t"_s << false << QByteArray();
    QTest::newRow("cat as a spelling") << u"cat"_s << false << QByteArray();
}

void tst_PhoneticSymbols::phoneticPattern()
{
    QFETCH(QString, typed);
    QFETCH(bool, splits);
    QFETCH(QByteArray, pattern);
    QCOMPARE(canTokenize(typed), splits);
    if (splits)
        QCOMPARE(PhoneticSymbols::phoneticPattern(typed), pattern);
}

void tst_PhoneticSymbols::captionPattern_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<char>("escape");
    QTest::addColumn<QByteArray>("pattern");
    QTest::newRow("cat") << QByteArray("cat") << char(0) << QByteArray("%c%a%t%");
    QTest::newRow("empty") << QByteArray() << char(0) << QByteArray("%");
    QTest::newRow("Latin-1 byte") << QByteArray("caf\xE9") << char(0) << QByteArray("%c%a%f%\xE9%");
    QTest::newRow("quote kept") << QByteArray("a\"b") << char(0) << QByteArray("%a%\"%b%");
    QTest::newRow("percent escaped") << QByteArray("5%") << '\\' << QByteArray("%5%\\%%");
    QTest::newRow("underscore escaped") << QByteArray("a_b") << '\\' << QByteArray("%a%\\_%b%");
    QTest::newRow("escape escaped") << QByteArray("\\") << '\\' << QByteArray("%\\\\%");
    QTest::newRow("letters untouched") << QByteArray("cat") << '\\' << QByteArray("%c%a%t%");
}

void tst_PhoneticSymbols::captionPattern()
{
    QFETCH(QByteArray, text);
    QFETCH(char, escape);
    QFETCH(QByteArray, pattern);
    QCOMPARE(PhoneticSymbols::captionPattern(text, escape), pattern);
}

void tst_PhoneticSymbols::entitiesToSymbols_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("example round trip") << u"&#618;&#609;&#712;z&#593;&#720;mpl"_s
                                        << u"\u026A\u0261\u02C8z\u0251\u02D0mpl"_s;
    QTest::newRow("no references") << u"kat"_s << u"kat"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("all sixteen")
        << u"&#230;&#240;&#331;&#593;&#596;&#601;&#603;&#609;&#618;&#643;&#652;&#658;&#712;&#716;&#720;&#952;"_s
        << u"\u00E6\u00F0\u014B\u0251\u0254\u0259\u025B\u0261\u026A\u0283\u028C\u0292\u02C8\u02CC\u02D0\u03B8"_s;
    QTest::newRow("other references stay") << u"&#97;&#601;&#x259;"_s << u"&#97;\u0259&#x259;"_s;
    QTest::newRow("case-sensitive, unterminated") << u"&#601&#601;"_s << u"&#601\u0259"_s;
}

void tst_PhoneticSymbols::entitiesToSymbols()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QCOMPARE(PhoneticSymbols::entitiesToSymbols(stored), shown);
}

void tst_PhoneticSymbols::ipaKeys()
{
    const auto &keys = PhoneticSymbols::ipaKeys();
    QCOMPARE(keys.size(), 12);
    for (const IpaKey &key : keys) {
        // Each key is named after its symbol's code point, and typing it
        // alone must be searchable except for ɛ, which only ends in ə.
        QCOMPARE(QByteArray(key.name), "k" + QByteArray::number(key.symbol.unicode()));
        QCOMPARE(canTokenize(QString(key.symbol)), key.symbol.unicode() != 0x025B);
        if (key.symbol.unicode() != 0x025B)
            QCOMPARE(PhoneticSymbols::phoneticPattern(QString(key.symbol)),
                     "%&#" + QByteArray::number(key.symbol.unicode()) + ";%");
    }
}

QTEST_APPLESS_MAIN(tst_PhoneticSymbols)
#include "tst_phoneticsymbols.moc"
