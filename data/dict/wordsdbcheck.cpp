// Checks a freshly built word database the way the lookup reads it: every
// entry must be found by each of its own pronunciations, British and
// American, as a learner types them, their sounds without stress marks; and
// must hold the counts of sounds and letters that the lookup ranks by, as
// the lookup counts them. Prints the entries that fail and exits with 1
// then, so the build stops instead of shipping words nobody can find.
//
// Usage: words_db_check DATABASE

#include "phonetic/phoneticranking.h"
#include "phonetic/phoneticsymbols.h"

#include <QHash>
#include <QString>

#include <sqlite3.h>

#include <cstdio>

namespace {

constexpr char password[] = "meadow_lantern_quiet_stones";
constexpr int shownAtMost = 200;

// Every row the pronunciation search reads, with the word it stands for:
// whether it carries that word's caption and rank, and whether its
// pronunciation is one of the word's own.
constexpr char searchRows[] =
    "SELECT s_caption, s_phonetic, s_sounds, s_word,"
    " w_caption = s_caption AND w_rank = s_rank AND s_phonetic IN (w_phonetic, w_phonetic_us)"
    " FROM dict_sound LEFT JOIN dict_word ON w_id = s_word";
// Every word, with the number of search rows it needs: one for each of its
// distinct pronunciations.
constexpr char words[] =
    "SELECT w_id, w_caption, w_letters, CASE WHEN w_phonetic = w_phonetic_us THEN 1 ELSE 2 END FROM dict_word";

QString typedForm(const QString &stored)
{
    QString typed = PhoneticSymbols::entitiesToSymbols(stored);
    typed.remove(QChar(0x02C8)).remove(QChar(0x02CC));
    return typed;
}

const char *text(sqlite3_stmt *row, int column)
{
    const unsigned char *value = sqlite3_column_text(row, column);
    return value ? reinterpret_cast<const char *>(value) : "";
}

struct Failures
{
    long missed = 0;     // pronunciations the search cannot find their word by
    long miscounted = 0; // rows whose counts, caption or rank are not the lookup's

    void report(long *count, const char *what, const char *caption)
    {
        if (++*count <= shownAtMost)
            std::fprintf(stderr, "%s: %s\n", what, caption);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DATABASE\n", argv[0]);
        return 2;
    }
    sqlite3 *db = nullptr;
    sqlite3_stmt *sounds = nullptr;
    sqlite3_stmt *entries = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK
        || sqlite3_key(db, password, int(sizeof(password) - 1)) != SQLITE_OK
        || sqlite3_prepare_v2(db, searchRows, -1, &sounds, nullptr) != SQLITE_OK
        || sqlite3_prepare_v2(db, words, -1, &entries, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: cannot read %s: %s\n", argv[0], argv[1], sqlite3_errmsg(db));
        sqlite3_finalize(sounds);
        sqlite3_finalize(entries);
        sqlite3_close(db);
        return 2;
    }

    Failures failed;
    QHash<qint64, int> rowsOfWord;
    long pronunciations = 0;
    int step;
    while ((step = sqlite3_step(sounds)) == SQLITE_ROW) {
        ++pronunciations;
        const char *caption = text(sounds, 0);
        const char *stored = text(sounds, 1);
        if (sqlite3_column_int(sounds, 2) != PhoneticRanking::soundUnits(stored).size()
            || sqlite3_column_int(sounds, 4) != 1)
            failed.report(&failed.miscounted, "wrong count of sounds, caption, rank or pronunciation", caption);
        // The search's own test: the pattern of what is typed, under LIKE.
        const QString typed = typedForm(QString::fromUtf8(stored));
        if (!PhoneticSymbols::canTokenize(typed)
            || sqlite3_strlike(PhoneticSymbols::phoneticPattern(typed).constData(), stored, 0) != 0) {
            failed.report(&failed.missed, "not found by its sound", caption);
        }
        ++rowsOfWord[sqlite3_column_int64(sounds, 3)];
    }
    long checked = 0;
    if (step == SQLITE_DONE) {
        while ((step = sqlite3_step(entries)) == SQLITE_ROW) {
            ++checked;
            const char *caption = text(entries, 1);
            if (sqlite3_column_int(entries, 2) != PhoneticRanking::spellingUnits(caption).size())
                failed.report(&failed.miscounted, "wrong count of letters", caption);
            // Each row found belongs to the word and each is a pronunciation
            // of its own, so a row short means a pronunciation not searched.
            if (rowsOfWord.value(sqlite3_column_int64(entries, 0)) != sqlite3_column_int(entries, 3))
                failed.report(&failed.missed, "British or American pronunciation not searched", caption);
        }
    }
    sqlite3_finalize(sounds);
    sqlite3_finalize(entries);
    sqlite3_close(db);
    if (step != SQLITE_DONE) {
        std::fprintf(stderr, "%s: reading %s stopped early\n", argv[0], argv[1]);
        return 2;
    }
    if (failed.missed > 0)
        std::fprintf(stderr, "%ld of %ld entries or pronunciations cannot be found by their sound\n", failed.missed,
                     checked + pronunciations);
    if (failed.miscounted > 0)
        std::fprintf(stderr, "%ld of %ld entries or pronunciations have wrong counts of sounds or letters\n",
                     failed.miscounted, checked + pronunciations);
    if (failed.missed > 0 || failed.miscounted > 0)
        return 1;
    std::printf("words.db: all %ld entries are found by their British and by their American sound"
                " (%ld pronunciations)\n", checked, pronunciations);
    return 0;
}
