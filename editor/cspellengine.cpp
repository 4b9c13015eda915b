#include "editor/cspellengine.h"

#include <QDebug>
#include <QFile>
#include <QRegularExpression>
#include <QTextCodec>
#include <QTextStream>

#include <hunspell.hxx>

namespace {

const char defaultEncoding[] = "ISO8859-1";

// Hunspell takes file names as local 8-bit strings.
std::string localPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

CSpellEngine::CSpellEngine(const QString &dictionaryPath, const QString &userDictionary)
    : m_userDictionary(userDictionary)
{
    const QString affixPath = dictionaryPath + QStringLiteral(".aff");
    const QString wordListPath = dictionaryPath + QStringLiteral(".dic");
    m_hunspell = std::make_unique<Hunspell>(localPath(affixPath).c_str(), localPath(wordListPath).c_str());

    findEncoding(affixPath);
    findCodec();
    loadUserDictionary();
}

CSpellEngine::~CSpellEngine() = default;

// The encoding line counts only in the affix file's head, which ends at the
// first empty line; a missing file keeps the default without a word.
void CSpellEngine::findEncoding(const QString &affixPath)
{
    QFile affix(affixPath);
    if (!affix.open(QIODevice::ReadOnly))
        return;

    static const QRegularExpression setLine(QStringLiteral("^\\s*SET\\s+([A-Z0-9\\-]+)\\s*"),
                                            QRegularExpression::CaseInsensitiveOption);
    bool firstLine = true;
    while (!affix.atEnd()) {
        QByteArray bytes = affix.readLine();
        // Hunspell skips a UTF-8 byte-order mark, so the SET line behind one
        // still names the encoding.
        if (firstLine && bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        firstLine = false;
        while (bytes.endsWith('\n') || bytes.endsWith('\r'))
            bytes.chop(1);
        if (bytes.isEmpty())
            break;
        const QRegularExpressionMatch match = setLine.match(QString::fromLatin1(bytes));
        if (match.hasMatch()) {
            m_encoding = match.captured(1);
            qDebug().noquote() << "Encoding set to " + m_encoding;
            break;
        }
    }
}

// Every conversion needs a codec, so a name the toolkit does not know falls
// back to the default encoding rather than leaving the engine without one.
void CSpellEngine::findCodec()
{
    m_codec = QTextCodec::codecForName(m_encoding.toLatin1());
    if (m_codec)
        return;
    qWarning().noquote() << QStringLiteral("Encoding %1 is unknown; falling back to %2")
                                .arg(m_encoding, QLatin1String(defaultEncoding));
    m_encoding = QLatin1String(defaultEncoding);
    m_codec = QTextCodec::codecForName(defaultEncoding);
    if (!m_codec)
        m_codec = QTextCodec::codecForMib(4); // Latin-1, always built in
}

// The list ends at its first empty line, like the affix file's head.
void CSpellEngine::loadUserDictionary()
{
    if (m_userDictionary.isEmpty()) {
        qDebug("User dictionary not set.");
        return;
    }
    QFile file(m_userDictionary);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().nospace().noquote() << "User dictionary in " << m_userDictionary << " could not be opened";
        return;
    }
    QTextStream in(&file);
    in.setEncoding(QStringConverter::System);
    QString line;
    while (in.readLineInto(&line) && !line.isEmpty())
        acceptWord(line);
}

bool CSpellEngine::isKnown(const QString &word) const
{
    return m_hunspell->spell(encode(word));
}

bool CSpellEngine::isCheckable(QStringView word)
{
    bool spelling = false;
    // Code points, not UTF-16 units: Han extension B lies beyond the BMP.
    for (const char32_t c : word.toUcs4()) {
        if (QChar::isLetter(c)) {
            if (QChar::script(c) != QChar::Script_Latin)
                return false;
            spelling = true;
        } else if (QChar::isNumber(c)) {
            // Key names, models and ordinals ("F5", "MP3", "3rd") are no
            // words of the dictionary's; plain numbers need no checking.
            return false;
        }
    }
    return spelling;
}

QStringList CSpellEngine::suggestionsFor(const QString &word) const
{
    QStringList suggestions;
    for (const std::string &suggestion : m_hunspell->suggest(encode(word)))
        suggestions.append(decode(suggestion));
    return suggestions;
}

void CSpellEngine::acceptWord(const QString &word)
{
    m_hunspell->add(encode(word));
}

void CSpellEngine::addToUserDictionary(const QString &word)
{
    // An empty line would end the list for every later engine, and a line
    // break would split the word: neither may reach the file.
    if (word.isEmpty())
        return;
    acceptWord(word);
    if (m_userDictionary.isEmpty()) {
        qDebug("User dictionary not set.");
        return;
    }
    if (word.contains(QLatin1Char('\n')) || word.contains(QLatin1Char('\r'))
        || word.contains(QChar::ParagraphSeparator) || word.contains(QChar::LineSeparator)) {
        qWarning().noquote() << QStringLiteral("User dictionary: a word with a line break is not written");
        return;
    }

    QFile file(m_userDictionary);
    if (!file.open(QIODevice::ReadWrite)) {
        qWarning().nospace().noquote() << "User dictionary in " << m_userDictionary
                                       << " could not be opened for appending a new word";
        return;
    }
    // A last line without its line feed would otherwise run into the new word.
    bool endsOpen = false;
    if (file.size() > 0 && file.seek(file.size() - 1)) {
        char last = '\n';
        file.getChar(&last);
        endsOpen = last != '\n';
    }
    file.seek(file.size());
    QTextStream out(&file);
    out.setEncoding(QStringConverter::System);
    if (endsOpen)
        out << '\n';
    out << word << '\n';
}

std::string CSpellEngine::encode(const QString &word) const
{
    return m_codec->fromUnicode(word).toStdString();
}

QString CSpellEngine::decode(const std::string &bytes) const
{
    return m_codec->toUnicode(bytes.data(), int(bytes.size()));
}
