#include "phonetic/phoneticdictionary.h"

#include "phonetic/phoneticranking.h"
#include "phonetic/phoneticsymbols.h"

#include <QDebug>

#include <sqlite3.h>

namespace {

constexpr char databaseFile[] = "./dict/words.db";
constexpr char password[] = "meadow_lantern_quiet_stones";
constexpr int passwordBytes = sizeof(password) - 1; // no terminating zero
constexpr char cacheSize[] = "PRAGMA cache_size = -32768"; // KiB

// The user's text reaches the statements only as bound values, so no input
// can change a statement. Spelling input escapes its own LIKE wildcards.
// The hits come closest to what was typed first (?2 holds the typed text),
// and among equally close ones the most frequent: the word the learner
// meant heads the list even when a hundred others also match.
constexpr char phoneticSearch[] =
    "SELECT w_id, w_caption FROM dict_word WHERE w_phonetic LIKE ?1"
    " ORDER BY sound_distance(w_phonetic, ?2), %1";
constexpr char captionSearch[] =
    "SELECT w_id, w_caption FROM dict_word WHERE w_caption LIKE ?1 ESCAPE '\\'"
    " ORDER BY spelling_distance(w_caption, ?2), %1";
constexpr char limit[] = " LIMIT 100";
// w_rank orders the words by frequency; a database without it keeps its own
// order among equally close hits.
constexpr char byFrequency[] = "w_rank, w_id";
constexpr char byId[] = "w_id";
constexpr char entryById[] =
    "SELECT w_caption, w_phonetic, w_explain FROM dict_word WHERE w_id=?1";

QString columnText(sqlite3_stmt *statement, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)));
}

QByteArrayView argumentText(sqlite3_value *value)
{
    return QByteArrayView(reinterpret_cast<const char *>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
}

void spellingDistance(sqlite3_context *context, int, sqlite3_value **arguments)
{
    sqlite3_result_int(context, PhoneticRanking::spellingDistance(argumentText(arguments[0]),
                                                                  argumentText(arguments[1])));
}

void soundDistance(sqlite3_context *context, int, sqlite3_value **arguments)
{
    sqlite3_result_int(context, PhoneticRanking::soundDistance(argumentText(arguments[0]),
                                                               argumentText(arguments[1])));
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
    addFunction(db, "spelling_distance", spellingDistance);
    addFunction(db, "sound_distance", soundDistance);
    sqlite3_stmt *probe = nullptr;
    const bool ranked = sqlite3_prepare_v2(db, "SELECT w_rank FROM dict_word LIMIT 0", -1, &probe, nullptr) == SQLITE_OK;
    sqlite3_finalize(probe);
    const char *order = ranked ? byFrequency : byId;
    phoneticStatement = QByteArray(phoneticSearch).replace("%1", order);
    captionStatement = QByteArray(captionSearch).replace("%1", order);
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
        while (sqlite3_step(statement) == SQLITE_ROW)
            onRow(statement);
    }
    sqlite3_finalize(statement);
}

void PhoneticDictionary::runSearch(const QByteArray &statement, bool unlimited, const QByteArray &pattern,
                                   const QByteArray &typed)
{
    const QByteArray sql = unlimited ? statement : statement + limit;
    run(sql.constData(),
        [&](sqlite3_stmt *s) {
            const int bound = sqlite3_bind_text(s, 1, pattern.constData(), int(pattern.size()), SQLITE_TRANSIENT);
            return bound != SQLITE_OK ? bound
                                      : sqlite3_bind_text(s, 2, typed.constData(), int(typed.size()), SQLITE_TRANSIENT);
        },
        [&](sqlite3_stmt *s) {
            ids.append(columnText(s, 0));
            captions.append(columnText(s, 1));
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
    run(entryById,
        [&](sqlite3_stmt *s) {
            return numeric ? sqlite3_bind_int64(s, 1, number)
                           : sqlite3_bind_text(s, 1, idText.constData(), int(idText.size()), SQLITE_TRANSIENT);
        },
        [&](sqlite3_stmt *s) {
            entry.append(columnText(s, 0));
            entry.append(QLatin1Char('[') + PhoneticSymbols::entitiesToSymbols(columnText(s, 1)) + QLatin1Char(']'));
            entry.append(columnText(s, 2).replace(QLatin1String("<br/>"), QLatin1String("\n")));
        });
    return entry;
}
