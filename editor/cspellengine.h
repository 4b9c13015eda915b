#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class Hunspell;
class QTextCodec;

// One Hunspell checker with its dictionary encoding and the user's own word
// list. Words cross into Hunspell as byte strings in the dictionary's
// encoding, which is read from the affix file's SET line.
// GUI thread only.
class CSpellEngine final
{
public:
    // dictionaryPath is the base path: ".aff" and ".dic" are appended to it.
    // userDictionary may be empty, meaning the engine has no user word list.
    CSpellEngine(const QString &dictionaryPath, const QString &userDictionary);
    ~CSpellEngine();

    CSpellEngine(const CSpellEngine &) = delete;
    CSpellEngine &operator=(const CSpellEngine &) = delete;

    bool isKnown(const QString &word) const;
    // Whether the dictionary can judge the word at all: true when it holds
    // a letter, no digit, and every letter is of the Latin script. A word in
    // Han, Kana, Hangul, Cyrillic or any other script is no misspelling of
    // an English dictionary, which would otherwise reject every one of them.
    static bool isCheckable(QStringView word);
    // Hunspell's suggestions in Hunspell's order; empty when it has none.
    QStringList suggestionsFor(const QString &word) const;
    // Known to this instance from now on; nothing is written to disk.
    void acceptWord(const QString &word);
    // acceptWord(), then appended as a line to the user word list, so that
    // every engine built later knows the word too.
    void addToUserDictionary(const QString &word);

    // The encoding name taken from the affix file ("ISO8859-1" when it names
    // none, or names one the toolkit cannot convert).
    QString encoding() const { return m_encoding; }
    QString userDictionary() const { return m_userDictionary; }

private:
    void findEncoding(const QString &affixPath);
    void findCodec();
    void loadUserDictionary();
    std::string encode(const QString &word) const;
    QString decode(const std::string &bytes) const;

    std::unique_ptr<Hunspell> m_hunspell;
    QString m_userDictionary;
    QString m_encoding = QStringLiteral("ISO8859-1");
    QTextCodec *m_codec = nullptr; // owned by the toolkit
};
