#include "phonetic/phoneticsymbols.h"

#include <QStringView>

#include <algorithm>
#include <optional>

namespace PhoneticSymbols {

namespace {

struct Entry
{
    const char16_t *typed;
    const char *stored;
};

// In the table's key order, for the reader; the map sorts them anyway.
constexpr Entry entries[] = {
    {u"'", "&#712;"},  {u":", "&#720;"},  {u"a", "&#593;"},       {u"ai", "ai"},
    {u"au", "au"},     {u"b", "b"},       {u"d", "d"},            {u"dr", "dr"},
    {u"dz", "dz"},     {u"d\u0292", "d&#658;"},                   {u"e", "e"},
    {u"ei", "ei"},     {u"f", "f"},       {u"g", "&#609;"},       {u"h", "h"},
    {u"i", "i"},       {u"i\u0259", "i&#601;"},                   {u"i\u02D0", "i&#720;"},
    {u"j", "j"},       {u"k", "k"},       {u"l", "l"},            {u"m", "m"},
    {u"n", "n"},       {u"o", "o"},       {u"p", "p"},            {u"r", "r"},
    {u"s", "s"},       {u"t", "t"},       {u"tr", "tr"},          {u"ts", "ts"},
    {u"t\u0283", "t&#643;"},              {u"u", "u"},            {u"u\u0259", "u&#601;"},
    {u"u\u02D0", "u&#720;"},              {u"v", "v"},            {u"w", "w"},
    {u"z", "z"},       {u"\u00E6", "&#230;"},                     {u"\u00F0", "&#240;"},
    {u"\u014B", "&#331;"},                {u"\u0251", "&#593;"},
    {u"\u0251\u02D0", "&#593;&#720;"},    {u"\u0254", "&#596;"},
    {u"\u0254i", "&#596;i"},              {u"\u0254\u02D0", "&#596;&#720;"},
    {u"\u0259", "&#601;"},                {u"\u0259u", "&#601;u"},
    {u"\u0259\u02D0", "&#601;&#720;"},    {u"\u025B\u0259", "&#603;&#601;"},
    {u"\u0261", "&#609;"},                {u"\u026A", "&#618;"},
    {u"\u0283", "&#643;"},                {u"\u028C", "&#652;"},
    {u"\u0292", "&#658;"},                {u"\u02C8", "&#712;"},
    {u"\u02CC", "&#716;"},                {u"\u02D0", "&#720;"},
    {u"\u03B8", "&#952;"},
};

SymbolTable &table()
{
    static SymbolTable symbols;
    return symbols;
}

// The segmentation shared by canTokenize and phoneticPattern: the longest
// symbol of the table at the front of the rest, again and again. Returns
// the stored notation of each symbol in input order, or nothing when the
// text does not split completely.
//
// A two-symbol key therefore always wins where it stands: "baiaut" is b, ai,
// au, t. (Trying each entry once per pass, from the highest key down, read
// its "au" as ɑ and u, because the pass had gone by "au" when it took "ai",
// and so lost words stored with exactly the sounds the learner typed.)
std::optional<QList<QByteArray>> segment(const QString &text)
{
    fillSymbolTable();
    if (text.isEmpty())
        return std::nullopt;
    QList<QByteArray> symbols;
    QStringView rest(text);
    while (!rest.isEmpty()) {
        auto found = table().cend();
        for (qsizetype length = std::min<qsizetype>(2, rest.size()); length > 0 && found == table().cend(); --length)
            found = table().find(rest.left(length).toString());
        if (found == table().cend())
            return std::nullopt;
        rest = rest.mid(found->first.size());
        symbols.append(found->second);
    }
    return symbols;
}

} // namespace

bool CodeUnitLess::operator()(const QString &a, const QString &b) const
{
    return std::lexicographical_compare(a.utf16(), a.utf16() + a.size(),
                                        b.utf16(), b.utf16() + b.size());
}

void fillSymbolTable()
{
    for (const Entry &e : entries)
        table()[QString::fromUtf16(e.typed)] = QByteArray(e.stored);
}

const SymbolTable &symbolTable()
{
    fillSymbolTable();
    return table();
}

bool canTokenize(const QString &text)
{
    return segment(text).has_value();
}

QByteArray phoneticPattern(const QString &text)
{
    QByteArray pattern("%");
    for (const QByteArray &stored : segment(text).value_or(QList<QByteArray>())) {
        pattern += stored;
        pattern += '%';
    }
    return pattern;
}

QByteArray captionPattern(const QByteArray &text, char escape)
{
    QByteArray pattern("%");
    for (char c : text) {
        if (escape && (c == '%' || c == '_' || c == escape))
            pattern += escape;
        pattern += c;
        pattern += '%';
    }
    return pattern;
}

QString entitiesToSymbols(const QString &text)
{
    if (!text.contains(QLatin1String("&#")))
        return text;
    static const int codePoints[] = {230, 240, 331, 593, 596, 601, 603, 609,
                                     618, 643, 652, 658, 712, 716, 720, 952};
    QString symbols = text;
    for (int code : codePoints)
        symbols.replace(QStringLiteral("&#%1;").arg(code), QString(QChar(code)));
    return symbols;
}

const QList<IpaKey> &ipaKeys()
{
    static const QList<IpaKey> keys = {
        {"k230", QChar(0x00E6)}, {"k240", QChar(0x00F0)}, {"k331", QChar(0x014B)},
        {"k593", QChar(0x0251)}, {"k596", QChar(0x0254)}, {"k601", QChar(0x0259)},
        {"k603", QChar(0x025B)}, {"k609", QChar(0x0261)}, {"k643", QChar(0x0283)},
        {"k652", QChar(0x028C)}, {"k658", QChar(0x0292)}, {"k952", QChar(0x03B8)},
    };
    return keys;
}

} // namespace PhoneticSymbols
