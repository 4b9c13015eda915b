#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <stdexcept>

// The kind of a piece of a diff list. The values are part of the contract:
// callers store and compare them as numbers.
enum Operation { DELETE = 0, INSERT = 1, EQUAL = 2 };

// One piece of a diff list: text kept, removed from text1 or added by text2.
// The text is compared and sliced as UTF-16 code units.
struct Diff
{
    Operation operation = EQUAL;
    QString text;

    Diff() = default;
    Diff(Operation operation, const QString &text) : operation(operation), text(text) {}

    bool operator==(const Diff &other) const = default;
    QString toString() const; // "Diff(DELETE,\"...\")", for test failure output
};

// Thrown for inputs the engine refuses; what() is the plain message text.
class DiffError final : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The diff part of diff-match-patch: character differences of two texts
// with Myers' bisection, sped up by prefix/suffix stripping, half-match and
// line mode, and cut off by a deadline; plus the cleanups that make the
// result follow words and lines. Plain value type, no QObject.
class diff_match_patch final
{
public:
    // Library settings with the library's defaults. Only Diff_Timeout is used
    // by the diff functions; the rest belong to matching and patching, which
    // this program does not use, and are kept so the settings read as a whole.
    float Diff_Timeout = 1.0f;        // seconds per diff_main call; <= 0: no limit
    short Diff_EditCost = 4;
    float Match_Threshold = 0.5f;
    int Match_Distance = 1000;
    float Patch_DeleteThreshold = 0.5f;
    short Patch_Margin = 4;
    short Match_MaxBits = 32;

    // Deadlines are values of this clock: milliseconds since process start.
    static qint64 clock();

    // Throws DiffError("Null inputs. (diff_main)") for a null text.
    QList<Diff> diff_main(const QString &text1, const QString &text2) const;
    QList<Diff> diff_main(const QString &text1, const QString &text2, bool checklines) const;
    QList<Diff> diff_main(const QString &text1, const QString &text2, bool checklines,
                          qint64 deadline) const;

    // Rewrite a list in place; see the .cpp for what each one does.
    void diff_cleanupSemantic(QList<Diff> &diffs) const;
    void diff_cleanupSemanticLossless(QList<Diff> &diffs) const;
    // Throws DiffError("Previous diff should have been an equality.") for a
    // list whose edit groups are not separated by equalities.
    void diff_cleanupMerge(QList<Diff> &diffs) const;

    // The building blocks, public so that they can be tested on their own.
    static int diff_commonPrefix(const QString &text1, const QString &text2);
    static int diff_commonSuffix(const QString &text1, const QString &text2);
    // Length of the longest suffix of text1 that is a prefix of text2.
    static int diff_commonOverlap(const QString &text1, const QString &text2);
    // Empty, or {text1 before, text1 after, text2 before, text2 after, common
    // middle} when a common middle of at least half the longer text exists.
    QStringList diff_halfMatch(const QString &text1, const QString &text2) const;
    QList<Diff> diff_bisect(const QString &text1, const QString &text2, qint64 deadline) const;
    // Encodes each distinct line as one UTF-16 unit; lineArray[0] is a
    // reserved empty entry. Returns false, leaving the outputs unspecified,
    // when the texts hold more distinct lines than a unit can number.
    static bool diff_linesToChars(const QString &text1, const QString &text2, QString &chars1,
                                  QString &chars2, QStringList &lineArray);
    static void diff_charsToLines(QList<Diff> &diffs, const QStringList &lineArray);
    // 0 (inside a word) to 4 (at a blank line); 10 at either edge.
    static int diff_cleanupSemanticScore(const QString &one, const QString &two);

    // The texts a list was made from: EQUAL+DELETE, and EQUAL+INSERT.
    static QString diff_text1(const QList<Diff> &diffs);
    static QString diff_text2(const QList<Diff> &diffs);

private:
    QList<Diff> diff_compute(const QString &text1, const QString &text2, bool checklines,
                             qint64 deadline) const;
    QList<Diff> diff_lineMode(const QString &text1, const QString &text2, qint64 deadline) const;
    QList<Diff> diff_bisectSplit(const QString &text1, const QString &text2, int x, int y,
                                 qint64 deadline) const;
    static QStringList diff_halfMatchI(const QString &longtext, const QString &shorttext, int i);
    static void mergeGroups(QList<Diff> &diffs);
    static bool slideSingleEdits(QList<Diff> &diffs);
    static bool eliminateEqualities(QList<Diff> &diffs);
    static void eliminateOverlaps(QList<Diff> &diffs);
};
