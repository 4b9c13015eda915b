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

#include <QString>

#include <sqlite3.h>

#include <cstdio>

namespace {

constexpr char password[] = "meadow_lantern_quiet_stones";
constexpr int shownAtMost = 200;

// Every pronunciation of every word, British first, with the search row
// that stands for it (NULLs when the search table lacks it), that row's
// count of sounds, and whether it carries the word's caption and rank.
constexpr char pronunciations[] =
    "SELECT p.w_caption, p.w_letters, p.phonetic, s.s_phonetic, s.s_sounds,"
    " s.s_rank = p.w_rank AND s.s_caption = p.w_caption"
    " FROM (SELECT w_id, w_caption, w_letters, w_rank, w_phonetic AS phonetic, 0 AS voice FROM dict_word"
    "       UNION ALL"
    "       SELECT w_id, w_caption, w_letters, w_rank, w_phonetic_us, 1 FROM dict_word) AS p"
    " LEFT JOIN dict_sound AS s ON s.s_word = p.w_id AND s.s_phonetic = p.phonetic"
    " ORDER BY p.w_id, p.voice";

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

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DATABASE\n", argv[0]);
        return 2;
    }
    sqlite3 *db = nullptr;
    sqlite3_stmt *rows = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK
        || sqlite3_key(db, password, int(sizeof(password) - 1)) != SQLITE_OK
        || sqlite3_prepare_v2(db, pronunciations, -1, &rows, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: cannot read %s: %s\n", argv[0], argv[1], sqlite3_errmsg(db));
        sqlite3_finalize(rows);
        sqlite3_close(db);
        return 2;
    }

    long checked = 0;
    long missed = 0;
    long miscounted = 0;
    int step;
    while ((step = sqlite3_step(rows)) == SQLITE_ROW) {
        ++checked;
        const char *caption = text(rows, 0);
        const char *stored = text(rows, 2);
        const bool searchable = sqlite3_column_type(rows, 3) != SQLITE_NULL;
        if (sqlite3_column_int(rows, 1) != PhoneticRanking::spellingUnits(caption).size()
            || (searchable
                && (sqlite3_column_int(rows, 4) != PhoneticRanking::soundUnits(stored).size()
                    || sqlite3_column_int(rows, 5) != 1))) {
            if (++miscounted <= shownAtMost)
                std::fprintf(stderr, "wrong counts of sounds or letters, or wrong rank: %s\n", caption);
        }
        // The search's own test, on the row the search reads: the pattern
        // of what is typed, under LIKE.
        const QString typed = typedForm(QString::fromUtf8(stored));
        const bool found = searchable && PhoneticSymbols::canTokenize(typed)
                           && sqlite3_strlike(PhoneticSymbols::phoneticPattern(typed).constData(), text(rows, 3), 0) == 0;
        if (found)
            continue;
        if (++missed <= shownAtMost)
            std::fprintf(stderr, "not found by its sound: %s [%s] typed as %s%s\n", caption,
                         qPrintable(PhoneticSymbols::entitiesToSymbols(QString::fromUtf8(stored))),
                         qPrintable(typed), searchable ? "" : " (not in the search table)");
    }
    sqlite3_finalize(rows);
    sqlite3_close(db);
    if (step != SQLITE_DONE) {
        std::fprintf(stderr, "%s: reading %s stopped early\n", argv[0], argv[1]);
        return 2;
    }
    if (missed > 0)
        std::fprintf(stderr, "%ld of %ld pronunciations cannot be found by their sound\n", missed, checked);
    if (miscounted > 0)
        std::fprintf(stderr, "%ld of %ld pronunciations have wrong counts of sounds or letters\n", miscounted,
                     checked);
    if (missed > 0 || miscounted > 0)
        return 1;
    std::printf("words.db: all %ld entries are found by their British and by their American sound\n",
                checked / 2);
    return 0;
}
