#include "phonetic/phoneticdictionary.h"

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
constexpr char phoneticLimited[] =
    "SELECT w_id, w_caption FROM dict_word WHERE w_phonetic LIKE ?1 LIMIT 100";
constexpr char phoneticUnlimited[] =
    "SELECT w_id, w_caption FROM dict_word WHERE w_phonetic LIKE ?1";
constexpr char captionLimited[] =
    "SELECT w_id, w_caption FROM dict_word WHERE w_caption LIKE ?1 ESCAPE '\\' LIMIT 100";
constexpr char captionUnlimited[] =
    "SELECT w_id, w_caption FROM dict_word WHERE w_caption LIKE ?1 ESCAPE '\\'";
constexpr char entryById[] =
    "SELECT w_caption, w_phonetic, w_explain FROM dict_word WHERE w_id=?1";

QString columnText(sqlite3_stmt *statement, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)));
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
            return true;
        }
    }
    if (sqlite3_close(db) == SQLITE_OK) {
        isOpen = false;
        db = nullptr;
    }
    return isOpen;
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

void PhoneticDictionary::runSearch(const char *sql, const QByteArray &pattern)
{
    run(sql,
        [&](sqlite3_stmt *s) {
            return sqlite3_bind_text(s, 1, pattern.constData(), int(pattern.size()), SQLITE_TRANSIENT);
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
    runSearch(unlimited ? phoneticUnlimited : phoneticLimited, PhoneticSymbols::phoneticPattern(text));
}

void PhoneticDictionary::searchCaption(const QByteArray &text, bool unlimited)
{
    ids.clear();
    captions.clear();
    if (!isOpen || text.isEmpty())
        return;
    runSearch(unlimited ? captionUnlimited : captionLimited, PhoneticSymbols::captionPattern(text, '\\'));
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
