#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct sqlite3;

// The one reader of the encrypted word database "./dict/words.db" (relative
// to the working directory). Keeps the hits of the latest search and the
// latest entry for the lookup dialog. Every failure shows only as empty
// lists. GUI thread only; each dialog owns its own instance and connection.
class PhoneticDictionary final
{
public:
    PhoneticDictionary();
    ~PhoneticDictionary();
    Q_DISABLE_COPY_MOVE(PhoneticDictionary)

    // Opens and keys the database; returns whether the connection is usable.
    bool initDB();

    // text: typed pronunciation. Limited searches stop at 100 hits.
    void searchPhonetic(const QString &text, bool unlimited);
    // text: typed spelling as Latin-1; matched letter by letter with gaps.
    void searchCaption(const QByteArray &text, bool unlimited);
    // caption: a caption of the latest search, in the local 8-bit encoding.
    // Returns the caption, "[" + IPA + "]" and the explanation with its line
    // breaks as line feeds; empty when the caption is not among the hits.
    QStringList lookupEntry(const QByteArray &caption);

    // Hits of the latest search, in the order the database gave them.
    const QStringList &resultIds() const { return ids; }
    const QStringList &resultCaptions() const { return captions; }
    const QStringList &lastEntry() const { return entry; }

private:
    // Runs one statement with its single parameter bound and hands each row
    // to onRow. A statement that does not prepare yields no rows.
    template<typename Bind, typename OnRow>
    void run(const char *sql, Bind bind, OnRow onRow);
    void runSearch(const char *sql, const QByteArray &pattern);

    sqlite3 *db = nullptr;
    bool isOpen = false;
    QStringList ids;
    QStringList captions;
    QStringList entry;
};
