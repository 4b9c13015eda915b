// Checks a freshly built word database the way the lookup reads it: every
// entry must be found by its own pronunciation as a learner types it, its
// sounds without stress marks, and must hold the counts of sounds and
// letters that the lookup ranks by, as the lookup counts them. Prints the
// entries that fail and exits with 1 then, so the build stops instead of
// shipping words nobody can find.
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

QString typedForm(const QString &stored)
{
    QString typed = PhoneticSymbols::entitiesToSymbols(stored);
    typed.remove(QChar(0x02C8)).remove(QChar(0x02CC));
    return typed;
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
        || sqlite3_prepare_v2(db, "SELECT w_caption, w_phonetic, w_sounds, w_letters FROM dict_word ORDER BY w_id", -1, &rows,
                              nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: cannot read %s: %s\n", argv[0], argv[1], sqlite3_errmsg(db));
        sqlite3_finalize(rows);
        sqlite3_close(db);
        return 2;
    }

    long entries = 0;
    long missed = 0;
    long miscounted = 0;
    int step;
    while ((step = sqlite3_step(rows)) == SQLITE_ROW) {
        ++entries;
        const char *caption = reinterpret_cast<const char *>(sqlite3_column_text(rows, 0));
        const char *stored = reinterpret_cast<const char *>(sqlite3_column_text(rows, 1));
        const QString typed = typedForm(QString::fromUtf8(stored));
        if (sqlite3_column_int(rows, 2) != PhoneticRanking::soundUnits(stored).size()
            || sqlite3_column_int(rows, 3) != PhoneticRanking::spellingUnits(caption).size()) {
            if (++miscounted <= shownAtMost)
                std::fprintf(stderr, "wrong counts of sounds or letters: %s\n", caption);
        }
        // The search's own test: the pattern of what is typed, under LIKE.
        const bool found = PhoneticSymbols::canTokenize(typed)
                           && sqlite3_strlike(PhoneticSymbols::phoneticPattern(typed).constData(), stored, 0) == 0;
        if (found)
            continue;
        if (++missed <= shownAtMost)
            std::fprintf(stderr, "not found by its sound: %s [%s] typed as %s\n", caption,
                         qPrintable(PhoneticSymbols::entitiesToSymbols(QString::fromUtf8(stored))),
                         qPrintable(typed));
    }
    sqlite3_finalize(rows);
    sqlite3_close(db);
    if (step != SQLITE_DONE) {
        std::fprintf(stderr, "%s: reading %s stopped early\n", argv[0], argv[1]);
        return 2;
    }
    if (missed > 0)
        std::fprintf(stderr, "%ld of %ld entries cannot be found by their sound\n", missed, entries);
    if (miscounted > 0)
        std::fprintf(stderr, "%ld of %ld entries have wrong counts of sounds or letters\n", miscounted, entries);
    if (missed > 0 || miscounted > 0)
        return 1;
    std::printf("words.db: all %ld entries are found by their sound\n", entries);
    return 0;
}
