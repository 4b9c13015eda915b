#include "phonetic/phoneticdictionary.h"
#include "phonetic/phoneticsymbols.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

constexpr char key[] = "meadow_lantern_quiet_stones";

struct Row
{
    int id;
    QString caption;
    QString phonetic;
    QString explain;
};

// Writes <dir>/dict/words.db encrypted with the given key through SQLCipher.
bool makeDatabase(const QString &dir, const QByteArray &password, const QList<Row> &rows)
{
    if (!QDir(dir).mkpath(u"dict"_s))
        return false;
    sqlite3 *db = nullptr;
    const QByteArray file = QFile::encodeName(dir + u"/dict/words.db"_s);
    bool ok = sqlite3_open(file.constData(), &db) == SQLITE_OK
              && sqlite3_key(db, password.constData(), int(password.size())) == SQLITE_OK
              && sqlite3_exec(db,
                              "CREATE TABLE dict_word (w_id INTEGER PRIMARY KEY, w_caption TEXT,"
                              " w_phonetic TEXT, w_explain TEXT); BEGIN;",
                              nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt *insert = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "INSERT INTO dict_word VALUES (?, ?, ?, ?)", -1, &insert, nullptr) == SQLITE_OK;
    for (const Row &row : rows) {
        if (!ok)
            break;
        const QByteArray caption = row.caption.toUtf8(), phonetic = row.phonetic.toUtf8(),
                         explain = row.explain.toUtf8();
        sqlite3_bind_int(insert, 1, row.id);
        sqlite3_bind_text(insert, 2, caption.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, phonetic.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, explain.constData(), -1, SQLITE_TRANSIENT);
        ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

const QString example = u"i&#609;&#712;z&#593;&#720;mp&#601;l"_s;

} // namespace

class tst_PhoneticDictionary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void wrongKeyGivesNothing();
    void missingDatabaseGivesNothing();
    void limitedSearchStopsAt100();
    void phoneticSearchFindsInOrder();
    void invalidInputRunsNoSearch_data();
    void invalidInputRunsNoSearch();
    void entryOfAHit();
    void entryOfUnknownCaptionIsEmpty();
    void duplicateCaptionUsesFirstHit();
    void closestHitFirst_data();
    void closestHitFirst();
    void hostileSpelling_data();
    void hostileSpelling();

    void realDatabaseFindsExample();
    void realDatabaseStoresOnlyTableSymbols();
    void realDatabaseFindsWordsByTheirSound_data();
    void realDatabaseFindsWordsByTheirSound();
    void realDatabaseRanksTheMeantWordFirst_data();
    void realDatabaseRanksTheMeantWordFirst();

private:
    QTemporaryDir m_good;
    QTemporaryDir m_wrongKey;
    QTemporaryDir m_missing;
};

void tst_PhoneticDictionary::initTestCase()
{
    QList<Row> rows;
    rows << Row{1, u"example"_s, example, u"n. 1. a typical case<br/>n. 2. a model to follow"_s}
         << Row{2, u"twin"_s, u"tw&#618;n"_s, u"first twin"_s}
         << Row{3, u"twin"_s, u"tw&#618;n"_s, u"second twin"_s}
         << Row{4, u"50%off"_s, u"f&#618;fti&#596;f"_s, u"sale"_s}
         << Row{5, u"snake_case"_s, u"sneikkeis"_s, u"naming"_s}
         << Row{6, u"o'clock"_s, u"&#601;&#712;kl&#596;k"_s, u"of the clock"_s}
         << Row{7, u"attack"_s, u"&#601;&#712;t&#230;k"_s, u"an assault"_s}
         << Row{8, u"blackberry"_s, u"&#712;bl&#230;kb&#601;ri"_s, u"a berry"_s}
         << Row{9, u"bankruptcy"_s, u"&#712;b&#230;&#331;kr&#652;ptsi"_s, u"a failure"_s}
         << Row{10, u"bakery"_s, u"&#712;beik&#601;ri"_s, u"a shop"_s};
    // Enough words that sound like "kæt" and are spelt with "cat" to fill
    // more than one limited search.
    for (int i = 0; i < 150; ++i)
        rows << Row{100 + i, u"cat%1"_s.arg(i, 3, 10, QLatin1Char('0')), u"k&#230;t&#601;"_s, u"a cat"_s};
    QVERIFY(makeDatabase(m_good.path(), key, rows));
    QVERIFY(makeDatabase(m_wrongKey.path(), "meadow_lantern_quiet_stone", rows));
    QVERIFY(QDir(m_missing.path()).mkpath(u"dict"_s));
}

void tst_PhoneticDictionary::init()
{
    QVERIFY(QDir::setCurrent(m_good.path()));
}

void tst_PhoneticDictionary::cleanup()
{
    QDir::setCurrent(QStringLiteral(VK_RUNTIME_DIR));
}

void tst_PhoneticDictionary::wrongKeyGivesNothing()
{
    QVERIFY(QDir::setCurrent(m_wrongKey.path()));
    PhoneticDictionary dictionary;
    dictionary.searchPhonetic(u"k\u00E6t"_s, true);
    QVERIFY(dictionary.resultCaptions().isEmpty());
    dictionary.searchCaption("cat", true);
    QVERIFY(dictionary.resultCaptions().isEmpty());
    QVERIFY(dictionary.lookupEntry("cat000").isEmpty());
}

void tst_PhoneticDictionary::missingDatabaseGivesNothing()
{
    QVERIFY(QDir::setCurrent(m_missing.path()));
    PhoneticDictionary dictionary;
    dictionary.searchPhonetic(u"k\u00E6t"_s, false);
    QVERIFY(dictionary.resultCaptions().isEmpty());
    dictionary.searchCaption("cat", false);
    QVERIFY(dictionary.resultIds().isEmpty());
}

void tst_PhoneticDictionary::limitedSearchStopsAt100()
{
    PhoneticDictionary dictionary;
    dictionary.searchPhonetic(u"k\u00E6t"_s, false);
    QCOMPARE(dictionary.resultCaptions().size(), 100);
    QCOMPARE(dictionary.resultIds().size(), 100);
    dictionary.searchPhonetic(u"k\u00E6t"_s, true);
    QCOMPARE(dictionary.resultCaptions().size(), 150);

    dictionary.searchCaption("cat", false);
    QCOMPARE(dictionary.resultCaptions().size(), 100);
    dictionary.searchCaption("cat", true);
    QCOMPARE(dictionary.resultCaptions().size(), 150);
    // LIKE ignores ASCII case, as a spelling search should.
    dictionary.searchCaption("CAT", true);
    QCOMPARE(dictionary.resultCaptions().size(), 150);
}

void tst_PhoneticDictionary::phoneticSearchFindsInOrder()
{
    PhoneticDictionary dictionary;
    // Gaps are allowed between typed symbols, stress marks included.
    dictionary.searchPhonetic(u"igz\u0251:mpl"_s, false);
    QCOMPARE(dictionary.resultCaptions(), QStringList{u"example"_s});
    QCOMPARE(dictionary.resultIds(), QStringList{u"1"_s});
    dictionary.searchPhonetic(u"\u0259t\u00E6k"_s, false);
    QCOMPARE(dictionary.resultCaptions(), QStringList{u"attack"_s});
    // Symbols typed in another order do not match.
    dictionary.searchPhonetic(u"t\u00E6k\u0259"_s, false);
    QVERIFY(dictionary.resultCaptions().isEmpty());
}

void tst_PhoneticDictionary::invalidInputRunsNoSearch_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("empty") << QString();
    QTest::newRow("blank") << u"k\u00E6 t"_s;
    QTest::newRow("capital") << u"K\u00E6t"_s;
    QTest::newRow("lone \u025B") << u"\u025B"_s;
}

void tst_PhoneticDictionary::invalidInputRunsNoSearch()
{
    QFETCH(QString, typed);
    PhoneticDictionary dictionary;
    dictionary.searchPhonetic(u"k\u00E6t"_s, false);
    QVERIFY(!dictionary.resultCaptions().isEmpty());
    // Every search starts from empty lists, even one that cannot run.
    dictionary.searchPhonetic(typed, true);
    QVERIFY(dictionary.resultCaptions().isEmpty());
    QVERIFY(dictionary.resultIds().isEmpty());
    QVERIFY(dictionary.lookupEntry("cat000").isEmpty());
}

void tst_PhoneticDictionary::entryOfAHit()
{
    PhoneticDictionary dictionary;
    dictionary.searchCaption("xmpl", false);
    const QStringList entry = dictionary.lookupEntry("example");
    // A database of British pronunciations alone has no American one.
    QCOMPARE(entry, (QStringList{u"example"_s, u"[i\u0261\u02C8z\u0251\u02D0mp\u0259l]"_s, QString(),
                                 u"n. 1. a typical case\nn. 2. a model to follow"_s}));
    QCOMPARE(dictionary.lastEntry(), entry);
}

void tst_PhoneticDictionary::entryOfUnknownCaptionIsEmpty()
{
    PhoneticDictionary dictionary;
    // Before any search nothing can be looked up, not even a stored word.
    QVERIFY(dictionary.lookupEntry("example").isEmpty());
    dictionary.searchCaption("xmpl", false);
    QVERIFY(!dictionary.lookupEntry("example").isEmpty());
    QVERIFY(dictionary.lookupEntry("attack").isEmpty());
    QVERIFY(dictionary.lastEntry().isEmpty());
    QVERIFY(dictionary.lookupEntry("").isEmpty());
    // A search that found nothing leaves nothing to look up.
    dictionary.searchCaption("qqq", false);
    QVERIFY(dictionary.lookupEntry("example").isEmpty());
}

void tst_PhoneticDictionary::duplicateCaptionUsesFirstHit()
{
    PhoneticDictionary dictionary;
    dictionary.searchCaption("twin", false);
    QCOMPARE(dictionary.resultCaptions(), (QStringList{u"twin"_s, u"twin"_s}));
    QCOMPARE(dictionary.lookupEntry("twin").value(3), u"first twin"_s);
}

// A database without the counts the real one is ranked by: the distances
// are computed, with the same result.
void tst_PhoneticDictionary::closestHitFirst_data()
{
    QTest::addColumn<bool>("bySound");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("spelling") << false << u"bakry"_s << QStringList{u"bakery"_s, u"blackberry"_s, u"bankruptcy"_s};
    QTest::newRow("sounds") << true << u"bkri"_s << QStringList{u"bakery"_s, u"blackberry"_s, u"bankruptcy"_s};
}

void tst_PhoneticDictionary::closestHitFirst()
{
    QFETCH(bool, bySound);
    QFETCH(QString, typed);
    QFETCH(QStringList, found);
    PhoneticDictionary dictionary;
    for (bool unlimited : {false, true}) {
        if (bySound)
            dictionary.searchPhonetic(typed, unlimited);
        else
            dictionary.searchCaption(typed.toLatin1(), unlimited);
        QCOMPARE(dictionary.resultCaptions(), found);
    }
}

void tst_PhoneticDictionary::hostileSpelling_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("double quote") << QByteArray("\"") << QStringList();
    QTest::newRow("quote closing the literal") << QByteArray("cat\" OR 1=1 --") << QStringList();
    QTest::newRow("single quote") << QByteArray("'") << QStringList{u"o'clock"_s};
    QTest::newRow("percent is literal") << QByteArray("%") << QStringList{u"50%off"_s};
    QTest::newRow("underscore is literal") << QByteArray("_") << QStringList{u"snake_case"_s};
    QTest::newRow("backslash") << QByteArray("\\") << QStringList();
    QTest::newRow("statement") << QByteArray("\"; DROP TABLE dict_word; --") << QStringList();
    QTest::newRow("union") << QByteArray("x\" UNION SELECT 1, sqlite_version() --") << QStringList();
}

void tst_PhoneticDictionary::hostileSpelling()
{
    QFETCH(QByteArray, typed);
    QFETCH(QStringList, found);
    PhoneticDictionary dictionary;
    for (bool unlimited : {false, true}) {
        dictionary.searchCaption(typed, unlimited);
        QCOMPARE(dictionary.resultCaptions(), found);
    }
    // The table is still there and whole.
    dictionary.searchCaption("cat", true);
    QCOMPARE(dictionary.resultCaptions().size(), 150);
}

void tst_PhoneticDictionary::realDatabaseFindsExample()
{
    QVERIFY(QDir::setCurrent(QStringLiteral(VK_RUNTIME_DIR)));
    PhoneticDictionary dictionary;
    dictionary.searchPhonetic(u"igz\u0251:mpl"_s, false);
    QVERIFY(dictionary.resultCaptions().contains(u"example"_s));
    const QStringList entry = dictionary.lookupEntry("example");
    QCOMPARE(entry.size(), 4);
    QCOMPARE(entry.at(0), u"example"_s);
    QVERIFY2(entry.at(1).startsWith(u"[i\u0261\u02C8z\u0251\u02D0mp"_s), qPrintable(entry.at(1)));
    QVERIFY2(entry.at(2).startsWith(u"[i\u0261\u02C8z\u00E6mp"_s), qPrintable(entry.at(2)));
    QVERIFY(entry.at(3).startsWith(u"n. 1. "_s));
    QVERIFY(entry.at(3).contains(u"\nn. 2. "_s));
    QVERIFY(!entry.at(3).contains(u"<br/>"_s));

    // Most words sound alike in both, and many are found by both: each is
    // listed once, and a limited search still lists 100 words.
    dictionary.searchPhonetic(u"k\u00E6t"_s, false);
    QCOMPARE(dictionary.resultCaptions().size(), 100);
    QCOMPARE(QSet<QString>(dictionary.resultIds().cbegin(), dictionary.resultIds().cend()).size(), 100);
    dictionary.searchPhonetic(u"k\u00E6t"_s, true);
    QVERIFY(dictionary.resultCaptions().size() > 100);
    const QStringList &all = dictionary.resultIds();
    QCOMPARE(QSet<QString>(all.cbegin(), all.cend()).size(), all.size());
}

void tst_PhoneticDictionary::realDatabaseStoresOnlyTableSymbols()
{
    // Typed input can only reach pronunciations written with the table's
    // stored values, so every row must split into them.
    QList<QByteArray> stored;
    for (const auto &[typed, value] : PhoneticSymbols::symbolTable())
        stored << value;
    QVERIFY(QDir::setCurrent(QStringLiteral(VK_RUNTIME_DIR)));
    std::sort(stored.begin(), stored.end(),
              [](const QByteArray &a, const QByteArray &b) { return a.size() > b.size(); });

    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2("./dict/words.db", &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_key(db, key, 27), SQLITE_OK);
    sqlite3_stmt *rows = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db, "SELECT w_caption, w_phonetic FROM dict_word", -1, &rows, nullptr), SQLITE_OK);
    int count = 0;
    QStringList bad;
    while (sqlite3_step(rows) == SQLITE_ROW) {
        ++count;
        const QByteArray phonetic(reinterpret_cast<const char *>(sqlite3_column_text(rows, 1)));
        qsizetype at = 0;
        while (at < phonetic.size()) {
            auto it = std::find_if(stored.cbegin(), stored.cend(),
                                   [&](const QByteArray &s) { return QByteArrayView(phonetic).sliced(at).startsWith(s); });
            if (it == stored.cend())
                break;
            at += it->size();
        }
        if (phonetic.isEmpty() || at < phonetic.size())
            bad << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(rows, 0)));
    }
    sqlite3_finalize(rows);
    sqlite3_close(db);
    QVERIFY2(bad.isEmpty(), qPrintable(bad.mid(0, 10).join(u", "_s)));
    QVERIFY2(count >= 60000, qPrintable(QString::number(count)));
}

// Sounds as a learner types them, without stress marks, British or
// American: the database once stored some with a stress mark inside "ts",
// typed "au" after "ai" was once read as ɑ and u, and American sounds found
// nothing.
void tst_PhoneticDictionary::realDatabaseFindsWordsByTheirSound_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("word");
    QTest::newRow("t s") << u"autsaid"_s << u"outside"_s;
    QTest::newRow("t s t") << u"autst\u00E6ndi\u014B"_s << u"outstanding"_s;
    QTest::newRow("t s, two stresses") << u"w\u0254ts\u0259uev\u0259"_s << u"whatsoever"_s;
    QTest::newRow("ai before au") << u"baiaut"_s << u"buyout"_s;
    QTest::newRow("tr, ai before au") << u"traiaut"_s << u"tryout"_s;
    QTest::newRow("American \u00E6") << u"d\u00E6ns"_s << u"dance"_s;
    QTest::newRow("American \u0251:") << u"h\u0251:t"_s << u"hot"_s;
    QTest::newRow("American r") << u"k\u0251:r"_s << u"car"_s;
    QTest::newRow("American ei, t for \u027E") << u"t\u0259meit\u0259u"_s << u"tomato"_s;
}

void tst_PhoneticDictionary::realDatabaseFindsWordsByTheirSound()
{
    QFETCH(QString, typed);
    QFETCH(QString, word);
    QVERIFY(QDir::setCurrent(QStringLiteral(VK_RUNTIME_DIR)));
    PhoneticDictionary dictionary;
    for (bool unlimited : {false, true}) {
        dictionary.searchPhonetic(typed, unlimited);
        QVERIFY2(dictionary.resultCaptions().contains(word),
                 qPrintable(dictionary.resultCaptions().mid(0, 5).join(u", "_s)));
    }
}

void tst_PhoneticDictionary::realDatabaseRanksTheMeantWordFirst_data()
{
    QTest::addColumn<bool>("bySound");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("first");
    QTest::newRow("bakry") << false << u"bakry"_s << u"bakery"_s;
    QTest::newRow("thnk") << false << u"thnk"_s << u"think"_s;
    QTest::newRow("wrld") << false << u"wrld"_s << u"world"_s;
    QTest::newRow("capitals") << false << u"BAKRY"_s << u"bakery"_s;
    QTest::newRow("k\u00E6t") << true << u"k\u00E6t"_s << u"cat"_s;
    QTest::newRow("beikri") << true << u"beik\u0259ri"_s << u"bakery"_s;
    QTest::newRow("typed stress") << true << u"\u02C8beik\u0259ri"_s << u"bakery"_s;
    QTest::newRow("igz\u0251:mpl") << true << u"igz\u0251:mpl"_s << u"example"_s;
    QTest::newRow("igz\u00E6mpl, American") << true << u"igz\u00E6mpl"_s << u"example"_s;
    QTest::newRow("ik\u0251:n\u0259mi, American") << true << u"ik\u0251:n\u0259mi"_s << u"economy"_s;
}

void tst_PhoneticDictionary::realDatabaseRanksTheMeantWordFirst()
{
    QFETCH(bool, bySound);
    QFETCH(QString, typed);
    QFETCH(QString, first);
    QVERIFY(QDir::setCurrent(QStringLiteral(VK_RUNTIME_DIR)));
    PhoneticDictionary dictionary;
    for (bool unlimited : {false, true}) {
        if (bySound)
            dictionary.searchPhonetic(typed, unlimited);
        else
            dictionary.searchCaption(typed.toLatin1(), unlimited);
        QVERIFY2(dictionary.resultCaptions().value(0) == first,
                 qPrintable(dictionary.resultCaptions().mid(0, 5).join(u", "_s)));
    }
}

QTEST_APPLESS_MAIN(tst_PhoneticDictionary)
#include "tst_phoneticdictionary.moc"
