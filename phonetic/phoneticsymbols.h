#pragma once

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>

#include <map>

// The vocabulary between what the user types in the lookup and what the word
// database stores. Typed pronunciations are UTF-16 text of keyboard letters
// and IPA symbols; stored ones are ASCII, with every IPA symbol written as a
// decimal character reference ("&#601;" for ə). Depends on Qt Core only.
namespace PhoneticSymbols {

// Orders keys code unit by code unit as unsigned 16-bit values, a string
// before any longer string it begins.
struct CodeUnitLess
{
    bool operator()(const QString &a, const QString &b) const;
};

// Typed symbol (one or two code units) -> stored notation.
using SymbolTable = std::map<QString, QByteArray, CodeUnitLess>;

// The one table of the program. Filling it again puts back the same 58
// entries, so it can be called by every dictionary that is constructed.
// GUI thread only.
void fillSymbolTable();
const SymbolTable &symbolTable();

// True when the whole text splits into symbols of the table, read from the
// front, the longest symbol that fits first; never for an empty text.
bool canTokenize(const QString &text);

// LIKE pattern matching every stored pronunciation that holds the text's
// symbols in order with anything between them ("%k%&#230;%t%" for kæt).
// Only meaningful when canTokenize(text) holds.
QByteArray phoneticPattern(const QString &text);

// LIKE pattern for an approximate spelling: every byte followed by "%".
// With an escape character, the text's own "%", "_" and escape characters
// are escaped so that they match only themselves (for LIKE ... ESCAPE).
QByteArray captionPattern(const QByteArray &text, char escape = 0);

// Stored notation -> IPA for display; references outside the sixteen the
// database uses are left as they are.
QString entitiesToSymbols(const QString &text);

// The IPA symbols that the lookup dialog offers as on-screen keys; each key
// is named after its code point ("k230" types æ).
struct IpaKey
{
    const char *name;
    QChar symbol;
};
const QList<IpaKey> &ipaKeys();

} // namespace PhoneticSymbols
