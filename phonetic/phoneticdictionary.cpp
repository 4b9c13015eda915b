#include "phonetic/phoneticdictionary.h"

#include "phonetic/phoneticranking.h"
#include "phonetic/phoneticsymbols.h"

#include <QDebug>
#include <QSet>

#include <sqlite3.h>

namespace {

constexpr char databaseFile[] = "./dict/words.db";
constexpr char password[] = "meadow_lantern_quiet_stones";
constexpr int passwordBytes = sizeof(password) - 1; // no terminating zero
constexpr char cacheSize[] = "PRAGMA cache_size = -32768"; // KiB

// The user's text reaches the statements only as bound values, so no input
// can change a statement. Spelling input escapes its own LIKE wildcards.
//
// The hits come closest to what was typed first, and among equally close
// ones the most frequent (w_rank): the word the learner meant heads the list
// even when a hundred others also match. Closeness is the edit distance.
// Every hit holds what was typed in its order, so its distance is the
// number of sounds (letters) it has beyond it: the word database keeps that
// count per pronunciation (s_sounds, in a table kept in that order) and per
// word (w_letters, with an index in that order), which a search scans until
// its hundredth word. A word's British and American pronunciations are rows
// of their own, so a word found by both comes twice, the closer one first;
// the search keeps the first. (Equal s_sounds and s_rank mean the same word,
// since every word has its own rank.) A database without the counts is
// ranked by computing the distances (?2 holds the typed text) and sorting.
constexpr char phoneticByIndex[] =
    "SELECT s_word, s_caption FROM dict_sound WHERE s_phonetic LIKE ?1 ORDER BY s_sounds, s_rank";
constexpr char captionByIndex[] =
    "SELECT w_id, w_caption FROM dict_word INDEXED BY dict_word_by_letters"
    " WHERE w_caption LIKE ?1 ESCAPE '\\' ORDER BY w_letters, w_rank, w_id";
constexpr char phoneticBySorting[] =
    "SELECT w_id, w_caption FROM dict_word WHERE w_phonetic LIKE ?1"
    " ORDER BY sound_distance(w_phonetic, ?2), w_id";
constexpr char captionBySorting[] =
    "SELECT w_id, w_caption FROM dict_word WHERE w_caption LIKE ?1 ESCAPE '\\'"
    " ORDER BY spelling_distance(w_caption, ?2), w_id";
constexpr int limit = 100; // hits of a limited search
constexpr char entryById[] =
    "SELECT w_caption, w_phonetic, w_phonetic_us, w_explain FROM dict_word WHERE w_id=?1";
// A database of British pronunciations alone.
constexpr char britishEntryById[] =
    "SELECT w_caption, w_phonetic, NULL, w_explain FROM dict_word WHERE w_id=?1";

QString columnText(sqlite3_stmt *statement, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)));
}

QByteArrayView argumentText(sqlite3_value *value)
{
    return QByteArrayView(reinterpret_cast<const char *>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
}

// The distance between argument 0, a row's value, and argument 1, the typed
// text, which stays the same for every row of a search and so is turned
// into units once per statement.
template<PhoneticRanking::Units (*toUnits)(QByteArrayView)>
void distance(sqlite3_context *context, int, sqlite3_value **arguments)
{
    using PhoneticRanking::Units;
    auto *typed = static_cast<const Units *>(sqlite3_get_auxdata(context, 1));
    if (!typed) {
        sqlite3_set_auxdata(context, 1, new Units(toUnits(argumentText(arguments[1]))),
                            [](void *units) { delete static_cast<Units *>(units); });
        typed = static_cast<const Units *>(sqlite3_get_auxdata(context, 1));
    }
    const Units candidate = toUnits(argumentText(arguments[0]));
    sqlite3_result_int(context, typed ? PhoneticRanking::editDistance(candidate, *typed)
                                      : PhoneticRanking::editDistance(candidate, toUnits(argumentText(arguments[1]))));
}

bool addFunction(sqlite3 *db, const char *name, void (*function)(sqlite3_context *, int, sqlite3_value **))
{
    return sqlite3_create_function_v2(db, name, 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, function,
                                      nullptr, nullptr, nullptr)
           == SQLITE_OK;
}

} // namespace

PhoneticDictionary::PhoneticDictionary()
{
    PhoneticSymbols::fillSymbolTable();
    if (!initDB())
        qDebug("initDB(): Error");
}

PhoneticDictionary::~PhoneticDictionary()
{
    if (db)
        sqlite3_close(db);
}

bool PhoneticDictionary::initDB()
{
    if (db) { // opened before: start again rather than leak the connection
        sqlite3_close(db);
        db = nullptr;
        isOpen = false;
    }
    if (sqlite3_open(databaseFile, &db) == SQLITE_OK) {
        isOpen = true;
        if (sqlite3_key(db, password, passwordBytes) == SQLITE_OK) {
            // The searches scan the whole search index; with room for it in
            // the page cache its pages are decrypted once, not on every key
            // the user types.
            sqlite3_exec(db, cacheSize, nullptr, nullptr, nullptr);
            prepareRanking();
            return true;
        }
    }
    if (sqlite3_close(db) == SQLITE_OK) {
        isOpen = false;
        db = nullptr;
    }
    return isOpen;
}

void PhoneticDictionary::prepareRanking()
{
    addFunction(db, "spelling_distance", distance<PhoneticRanking::spellingUnits>);
    addFunction(db, "sound_distance", distance<PhoneticRanking::soundUnits>);
    const auto prepares = [this](const char *sql) {
        sqlite3_stmt *probe = nullptr;
        const bool ok = sqlite3_prepare_v2(db, sql, -1, &probe, nullptr) == SQLITE_OK;
        sqlite3_finalize(probe);
        return ok;
    };
    phoneticStatement = prepares(phoneticByIndex) ? phoneticByIndex : phoneticBySorting;
    captionStatement = prepares(captionByIndex) ? captionByIndex : captionBySorting;
    entryStatement = prepares(entryById) ? entryById : britishEntryById;
}

template<typename Bind, typename OnRow>
void PhoneticDictionary::run(const char *sql, Bind bind, OnRow onRow)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return;
    }
    if (bind(statement) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW && onRow(statement)) {
        }
    }
    sqlite3_finalize(statement);
}

void PhoneticDictionary::runSearch(const QByteArray &statement, bool unlimited, const QByteArray &pattern,
                                   const QByteArray &typed)
{
    QSet<QString> listed;
    run(statement.constData(),
        [&](sqlite3_stmt *s) {
            const int bound = sqlite3_bind_text(s, 1, pattern.constData(), int(pattern.size()), SQLITE_TRANSIENT);
            if (bound != SQLITE_OK || sqlite3_bind_parameter_count(s) < 2)
                return bound;
            return sqlite3_bind_text(s, 2, typed.constData(), int(typed.size()), SQLITE_TRANSIENT);
        },
        [&](sqlite3_stmt *s) {
            const QString id = columnText(s, 0);
            if (!listed.contains(id)) {
                listed.insert(id);
                ids.append(id);
                captions.append(columnText(s, 1));
            }
            return unlimited || ids.size() < limit;
        });
}

void PhoneticDictionary::searchPhonetic(const QString &text, bool unlimited)
{
    ids.clear();
    captions.clear();
    if (!isOpen || !PhoneticSymbols::canTokenize(text))
        return;
    const QByteArray pattern = PhoneticSymbols::phoneticPattern(text);
    // The typed symbols in stored notation, as the distance compares them.
    runSearch(phoneticStatement, unlimited, pattern, QByteArray(pattern).replace('%', QByteArray()));
}

void PhoneticDictionary::searchCaption(const QByteArray &text, bool unlimited)
{
    ids.clear();
    captions.clear();
    if (!isOpen || text.isEmpty())
        return;
    runSearch(captionStatement, unlimited, PhoneticSymbols::captionPattern(text, '\\'), text);
}

QStringList PhoneticDictionary::lookupEntry(const QByteArray &caption)
{
    QString id;
    for (qsizetype i = 0; i < captions.size(); ++i) {
        if (captions.at(i).toLocal8Bit() == caption) {
            id = ids.at(i);
            break;
        }
    }
    entry.clear();
    if (!isOpen || id.isEmpty())
        return entry;

    bool numeric = false;
    const qint64 number = id.toLongLong(&numeric);
    const QByteArray idText = id.toUtf8();
    run(entryStatement.constData(),
        [&](sqlite3_stmt *s) {
            return numeric ? sqlite3_bind_int64(s, 1, number)
                           : sqlite3_bind_text(s, 1, idText.constData(), int(idText.size()), SQLITE_TRANSIENT);
        },
        [&](sqlite3_stmt *s) {
            const auto ipa = [&](int column) {
                return sqlite3_column_type(s, column) == SQLITE_NULL
                           ? QString()
                           : QLatin1Char('[') + PhoneticSymbols::entitiesToSymbols(columnText(s, column))
                                 + QLatin1Char(']');
            };
            entry.append(columnText(s, 0));
            entry.append(ipa(1));
            entry.append(ipa(2));
            entry.append(columnText(s, 3).replace(QLatin1String("<br/>"), QLatin1String("\n")));
            return false;
        });
    return entry;
}
