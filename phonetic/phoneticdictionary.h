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

    // text: typed pronunciation, British or American. Limited searches keep
    // the 100 best hits. Hits are ranked by how close the sounds of the
    // closer of their pronunciations, stress marks aside, come to the typed
    // symbols, then by frequency; each word is listed once.
    void searchPhonetic(const QString &text, bool unlimited);
    // text: typed spelling as Latin-1; matched letter by letter with gaps,
    // ranked by edit distance to the text, then by frequency.
    void searchCaption(const QByteArray &text, bool unlimited);
    // caption: a caption of the latest search, in the local 8-bit encoding.
    // Returns the caption, the British and the American pronunciation each
    // as "[" + IPA + "]" (the American one empty for a database without
    // it), and the explanation with its line breaks as line feeds; empty
    // when the caption is not among the hits.
    QStringList lookupEntry(const QByteArray &caption);

    // Hits of the latest search, best first.
    const QStringList &resultIds() const { return ids; }
    const QStringList &resultCaptions() const { return captions; }
    const QStringList &lastEntry() const { return entry; }

private:
    // Runs one statement with its parameters bound and hands each row to
    // onRow, which returns whether to go on. A statement that does not
    // prepare yields no rows.
    template<typename Bind, typename OnRow>
    void run(const char *sql, Bind bind, OnRow onRow);
    // statement without its limit; typed is what the ranking compares with.
    void runSearch(const QByteArray &statement, bool unlimited, const QByteArray &pattern,
                   const QByteArray &typed);
    // Gives the connection the ranking functions and picks the statements.
    void prepareRanking();

    sqlite3 *db = nullptr;
    bool isOpen = false;
    QStringList ids;
    QStringList captions;
    QStringList entry;
    QByteArray phoneticStatement;
    QByteArray captionStatement;
    QByteArray entryStatement;
};
