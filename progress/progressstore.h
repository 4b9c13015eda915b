#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

class QSqlDatabase;
class WordScore;

// One comparison of a lesson's dictation with its reference, as scored up
// to the sentence the dictation reached.
struct Attempt
{
    QDateTime when;           // UTC
    double wordErrorRate = 0; // a fraction; above 1 when extra words pile up
    double accuracy = 0;      // 1 - word error rate, so it may go below 0
    int referenceWords = 0;   // words of the reference that were scored
    int sentences = 0;        // sentences that were scored
};

// A sentence of a lesson over all its attempts. Sentences are told apart by
// their text: a reference chosen again, or cut into lines differently,
// keeps the history of every sentence it still holds.
struct SentenceRecord
{
    int line = 0;          // its reference line in the latest attempt that scored it
    QString text;
    int attempts = 0;      // comparisons that scored it
    int wrongAttempts = 0; // of those, the ones with any error in it
    int errors = 0;        // substituted, missing and extra words over all of them
    int lastErrors = 0;    // in the latest attempt that scored it
};

// The learner's scores, kept per lesson in one SQLite file. A lesson is its
// media file, known by a hash of its content, so that a file moved or
// renamed keeps its history (its path is updated) and a different file put
// in its place starts a history of its own. Each attempt is written in one
// transaction through SQLite's write-ahead log: a crash or a power cut
// during a write loses that attempt at most, never what was written before.
// Used from the GUI thread only; each instance has its own connection.
class ProgressStore final
{
public:
    // Opens (creating when needed) databaseFile and its folder.
    explicit ProgressStore(const QString &databaseFile);
    ~ProgressStore();
    ProgressStore(const ProgressStore &) = delete;
    ProgressStore &operator=(const ProgressStore &) = delete;

    // The program's own file in the user's data folder, named at start;
    // until then the same name in the standard data location.
    static void setDefaultFile(const QString &databaseFile);
    static QString defaultFile();

    bool isOpen() const { return m_open; }
    // What went wrong last, for the log; empty when nothing did.
    QString errorString() const { return m_error; }

    // SHA-1 of the file's size and of its first and last megabyte: quick on
    // an hour of video, and the same wherever the file lies. Empty when the
    // file cannot be read.
    static QByteArray contentHash(const QString &mediaFile);

    // Keeps a comparison of mediaFile's dictation. A comparison of exactly
    // the same texts as the lesson's latest one is not kept twice, nor is
    // one without dictated words. False when the file cannot be read or
    // the database refuses the write.
    bool record(const QString &mediaFile, const WordScore &score,
                const QDateTime &when = QDateTime::currentDateTimeUtc());

    // The lesson's attempts, oldest first.
    QList<Attempt> attempts(const QString &mediaFile);
    // The lesson's sentences, those got wrong most often first (then by the
    // errors made in them, then in reference order).
    QList<SentenceRecord> sentences(const QString &mediaFile);

private:
    QSqlDatabase database() const;
    bool exec(const QString &statement);
    bool createSchema();
    bool fail(const QString &what, const QString &why);
    // The lesson's row id, its path brought up to date; 0 when it has none
    // (and create is false) or on failure.
    qint64 lessonId(const QString &mediaFile, bool create);
    // The same for reading, in a transaction of its own.
    qint64 knownLesson(const QString &mediaFile);

    QString m_connection;
    bool m_open = false;
    QString m_error;
};
