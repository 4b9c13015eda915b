#include "progress/progressstore.h"

#include "diff/wordscore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>
#include <QtEndian>

#include <algorithm>
#include <atomic>

Q_LOGGING_CATEGORY(lcProgress, "vantiro.progress", QtInfoMsg)

namespace {

constexpr qint64 hashedPart = 1024 * 1024; // bytes read at each end
constexpr int schemaVersion = 1;

QString &defaultPath()
{
    static QString path;
    return path;
}

// What a comparison scored: up to the sentence reached when the learner
// stopped early, as the comparison shows it first; else everything.
struct Scored
{
    WordCounts total;
    QList<LineScore> lines;
};

Scored scored(const WordScore &score)
{
    Scored s{score.total(), score.lines()};
    if (score.stopsEarly()) {
        s.total = score.reachedTotal();
        s.lines.removeIf([&score](const LineScore &line) { return line.line > score.reachedLine(); });
    }
    s.lines.removeIf([](const LineScore &line) { return !line.counts.hasRates(); });
    return s;
}

// Tells one comparison from another of the same lesson.
QByteArray textsHash(const WordScore &score)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(score.referenceText().toUtf8());
    hash.addData(QByteArrayView("\0", 1));
    hash.addData(score.dictationText().toUtf8());
    return hash.result();
}

} // namespace

ProgressStore::ProgressStore(const QString &databaseFile)
{
    static std::atomic<int> serial{0};
    m_connection = QStringLiteral("vantiro-progress-%1").arg(++serial);
    QDir().mkpath(QFileInfo(databaseFile).absolutePath());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(databaseFile);
    // Another instance (a second start handing over its files) may be
    // writing for a moment.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000"));
    if (!db.open()) {
        fail(QStringLiteral("open"), db.lastError().text());
        return;
    }
    // The log keeps what was committed apart from what is being written;
    // FULL syncs it at every commit, so a committed attempt survives a
    // power cut too. Writes are a few rows per comparison: the cost is nil.
    QSqlQuery mode(db);
    if (!mode.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !mode.next()
        || mode.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        fail(QStringLiteral("journal"), mode.lastError().text());
        return;
    }
    mode.finish();
    m_open = exec(QStringLiteral("PRAGMA synchronous=FULL")) && exec(QStringLiteral("PRAGMA foreign_keys=ON"))
        && createSchema();
}

ProgressStore::~ProgressStore()
{
    {
        QSqlDatabase db = database();
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

void ProgressStore::setDefaultFile(const QString &databaseFile)
{
    defaultPath() = databaseFile;
}

QString ProgressStore::defaultFile()
{
    if (!defaultPath().isEmpty())
        return defaultPath();
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/vantiro/progress.sqlite");
}

QSqlDatabase ProgressStore::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

bool ProgressStore::fail(const QString &what, const QString &why)
{
    m_error = what + QStringLiteral(": ") + why;
    qCWarning(lcProgress).noquote() << "progress database" << database().databaseName() << m_error;
    return false;
}

bool ProgressStore::exec(const QString &statement)
{
    QSqlQuery query(database());
    return query.exec(statement) || fail(statement, query.lastError().text());
}

bool ProgressStore::createSchema()
{
    QSqlQuery version(database());
    if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next())
        return fail(QStringLiteral("version"), version.lastError().text());
    const int found = version.value(0).toInt();
    // A statement still open would keep the transaction below from ending.
    version.finish();
    if (found == schemaVersion)
        return true;
    if (found > schemaVersion)
        return fail(QStringLiteral("version"), QStringLiteral("written by a newer version"));
    QSqlDatabase db = database();
    db.transaction();
    // A lesson whose file went to another's place keeps its rows with a
    // NULL path, which UNIQUE allows any number of.
    const bool made = exec(QStringLiteral("CREATE TABLE IF NOT EXISTS lessons ("
                                          "id INTEGER PRIMARY KEY, hash BLOB NOT NULL UNIQUE, path TEXT UNIQUE)"))
        && exec(QStringLiteral("CREATE TABLE IF NOT EXISTS attempts ("
                               "id INTEGER PRIMARY KEY, lesson INTEGER NOT NULL REFERENCES lessons(id),"
                               " taken INTEGER NOT NULL, wer REAL NOT NULL, accuracy REAL NOT NULL,"
                               " words INTEGER NOT NULL, sentences INTEGER NOT NULL, texts BLOB NOT NULL)"))
        && exec(QStringLiteral("CREATE INDEX IF NOT EXISTS attempts_by_lesson ON attempts(lesson, id)"))
        && exec(QStringLiteral("CREATE TABLE IF NOT EXISTS sentences ("
                               "attempt INTEGER NOT NULL REFERENCES attempts(id), line INTEGER NOT NULL,"
                               " text TEXT NOT NULL, words INTEGER NOT NULL, correct INTEGER NOT NULL,"
                               " substituted INTEGER NOT NULL, slips INTEGER NOT NULL,"
                               " deleted INTEGER NOT NULL, inserted INTEGER NOT NULL)"))
        && exec(QStringLiteral("CREATE INDEX IF NOT EXISTS sentences_by_attempt ON sentences(attempt)"))
        && exec(QStringLiteral("PRAGMA user_version=%1").arg(schemaVersion));
    if (!made) {
        db.rollback();
        return false;
    }
    return db.commit() || fail(QStringLiteral("commit"), db.lastError().text());
}

QByteArray ProgressStore::contentHash(const QString &mediaFile)
{
    QFile file(mediaFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const quint64 sizeLe = qToLittleEndian(quint64(size));
    hash.addData(QByteArrayView(reinterpret_cast<const char *>(&sizeLe), sizeof sizeLe));
    const QByteArray head = file.read(hashedPart);
    if (head.size() != std::min(size, hashedPart))
        return {};
    hash.addData(head);
    if (size > hashedPart) {
        if (!file.seek(std::max(hashedPart, size - hashedPart)))
            return {};
        const QByteArray tail = file.readAll();
        if (tail.isEmpty())
            return {};
        hash.addData(tail);
    }
    return hash.result();
}

qint64 ProgressStore::lessonId(const QString &mediaFile, bool create)
{
    const QByteArray hash = contentHash(mediaFile);
    if (hash.isEmpty()) {
        fail(QStringLiteral("hash"), mediaFile + QStringLiteral(" cannot be read"));
        return 0;
    }
    const QString path = QFileInfo(mediaFile).absoluteFilePath();
    QSqlDatabase db = database();
    QSqlQuery find(db);
    find.prepare(QStringLiteral("SELECT id, path FROM lessons WHERE hash = ?"));
    find.addBindValue(hash);
    if (!find.exec())
        return fail(QStringLiteral("find lesson"), find.lastError().text()), 0;
    qint64 id = find.next() ? find.value(0).toLongLong() : 0;
    const QString knownPath = id > 0 ? find.value(1).toString() : QString();
    find.finish();
    if (id > 0 && knownPath == path)
        return id;
    if (id == 0 && !create)
        return 0;
    // Whatever lesson was at this path before is another content now: it
    // keeps its history under its hash until its file turns up again.
    QSqlQuery vacate(db);
    vacate.prepare(QStringLiteral("UPDATE lessons SET path = NULL WHERE path = ?"));
    vacate.addBindValue(path);
    if (!vacate.exec())
        return fail(QStringLiteral("vacate path"), vacate.lastError().text()), 0;
    QSqlQuery write(db);
    if (id > 0) {
        write.prepare(QStringLiteral("UPDATE lessons SET path = ? WHERE id = ?"));
        write.addBindValue(path);
        write.addBindValue(id);
    } else {
        write.prepare(QStringLiteral("INSERT INTO lessons (hash, path) VALUES (?, ?)"));
        write.addBindValue(hash);
        write.addBindValue(path);
    }
    if (!write.exec())
        return fail(QStringLiteral("write lesson"), write.lastError().text()), 0;
    if (id == 0)
        id = write.lastInsertId().toLongLong();
    qCDebug(lcProgress).noquote() << "lesson" << id << "is at" << path;
    return id;
}

bool ProgressStore::record(const QString &mediaFile, const WordScore &score, const QDateTime &when)
{
    if (!m_open)
        return false;
    const Scored s = scored(score);
    // An empty dictation compared by mistake says nothing of the learner.
    if (score.reachedLine() < 0 || !s.total.hasRates())
        return true;
    QSqlDatabase db = database();
    if (!db.transaction())
        return fail(QStringLiteral("begin"), db.lastError().text());
    const qint64 lesson = lessonId(mediaFile, true);
    if (lesson == 0) {
        db.rollback();
        return false;
    }
    const QByteArray texts = textsHash(score);
    QSqlQuery latest(db);
    latest.prepare(QStringLiteral("SELECT texts FROM attempts WHERE lesson = ? ORDER BY id DESC LIMIT 1"));
    latest.addBindValue(lesson);
    if (!latest.exec()) {
        db.rollback();
        return fail(QStringLiteral("latest attempt"), latest.lastError().text());
    }
    const bool again = latest.next() && latest.value(0).toByteArray() == texts;
    latest.finish();
    // Compare pressed again on the same texts: the same attempt, once.
    if (again)
        return db.commit() || fail(QStringLiteral("commit"), db.lastError().text());

    QSqlQuery attempt(db);
    attempt.prepare(QStringLiteral("INSERT INTO attempts (lesson, taken, wer, accuracy, words, sentences, texts)"
                                   " VALUES (?, ?, ?, ?, ?, ?, ?)"));
    attempt.addBindValue(lesson);
    attempt.addBindValue(when.toMSecsSinceEpoch());
    attempt.addBindValue(s.total.wordErrorRate());
    attempt.addBindValue(s.total.accuracy());
    attempt.addBindValue(s.total.referenceWords);
    attempt.addBindValue(int(s.lines.size()));
    attempt.addBindValue(texts);
    if (!attempt.exec()) {
        db.rollback();
        return fail(QStringLiteral("write attempt"), attempt.lastError().text());
    }
    const qint64 attemptId = attempt.lastInsertId().toLongLong();
    QSqlQuery sentence(db);
    sentence.prepare(QStringLiteral("INSERT INTO sentences (attempt, line, text, words, correct, substituted,"
                                    " slips, deleted, inserted) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const LineScore &line : s.lines) {
        const WordCounts &c = line.counts;
        for (const QVariant &value : {QVariant(attemptId), QVariant(line.line), QVariant(line.reference),
                                      QVariant(c.referenceWords), QVariant(c.correct), QVariant(c.substituted),
                                      QVariant(c.spellingSlips), QVariant(c.deleted), QVariant(c.inserted)})
            sentence.addBindValue(value);
        if (!sentence.exec()) {
            db.rollback();
            return fail(QStringLiteral("write sentence"), sentence.lastError().text());
        }
    }
    return db.commit() || fail(QStringLiteral("commit"), db.lastError().text());
}

QList<Attempt> ProgressStore::attempts(const QString &mediaFile)
{
    QList<Attempt> list;
    const qint64 lesson = m_open ? knownLesson(mediaFile) : 0;
    if (lesson == 0)
        return list;
    QSqlQuery query(database());
    query.prepare(QStringLiteral("SELECT taken, wer, accuracy, words, sentences FROM attempts"
                                 " WHERE lesson = ? ORDER BY id"));
    query.addBindValue(lesson);
    if (!query.exec()) {
        fail(QStringLiteral("read attempts"), query.lastError().text());
        return list;
    }
    while (query.next()) {
        Attempt a;
        a.when = QDateTime::fromMSecsSinceEpoch(query.value(0).toLongLong(), Qt::UTC);
        a.wordErrorRate = query.value(1).toDouble();
        a.accuracy = query.value(2).toDouble();
        a.referenceWords = query.value(3).toInt();
        a.sentences = query.value(4).toInt();
        list.append(a);
    }
    return list;
}

QList<SentenceRecord> ProgressStore::sentences(const QString &mediaFile)
{
    QList<SentenceRecord> list;
    const qint64 lesson = m_open ? knownLesson(mediaFile) : 0;
    if (lesson == 0)
        return list;
    QSqlQuery query(database());
    query.prepare(QStringLiteral("SELECT s.line, s.text, s.substituted + s.deleted + s.inserted FROM sentences s"
                                 " JOIN attempts a ON s.attempt = a.id WHERE a.lesson = ? ORDER BY s.attempt"));
    query.addBindValue(lesson);
    if (!query.exec()) {
        fail(QStringLiteral("read sentences"), query.lastError().text());
        return list;
    }
    QHash<QString, qsizetype> byText;
    while (query.next()) {
        const QString text = query.value(1).toString();
        const int errors = query.value(2).toInt();
        auto found = byText.constFind(text);
        if (found == byText.cend()) {
            found = byText.insert(text, list.size());
            list.append(SentenceRecord{0, text});
        }
        SentenceRecord &r = list[*found];
        // Later attempts come later: the line and the last count are theirs.
        r.line = query.value(0).toInt();
        r.lastErrors = errors;
        ++r.attempts;
        r.wrongAttempts += errors > 0 ? 1 : 0;
        r.errors += errors;
    }
    std::stable_sort(list.begin(), list.end(), [](const SentenceRecord &a, const SentenceRecord &b) {
        if (a.wrongAttempts != b.wrongAttempts)
            return a.wrongAttempts > b.wrongAttempts;
        if (a.errors != b.errors)
            return a.errors > b.errors;
        return a.line < b.line;
    });
    return list;
}

qint64 ProgressStore::knownLesson(const QString &mediaFile)
{
    // Bringing a moved file's path up to date takes two writes.
    QSqlDatabase db = database();
    if (!db.transaction()) {
        fail(QStringLiteral("begin"), db.lastError().text());
        return 0;
    }
    const qint64 id = lessonId(mediaFile, false);
    if (!db.commit()) {
        fail(QStringLiteral("commit"), db.lastError().text());
        db.rollback();
    }
    return id;
}
