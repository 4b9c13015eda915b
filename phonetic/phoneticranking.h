#pragma once

#include <QByteArrayView>
#include <QVarLengthArray>

// How close a hit of the lookup comes to what the learner typed, for the
// order of the result list: the smaller, the closer. Depends on Qt Core only.
namespace PhoneticRanking {

// Edit distance (insertions, deletions, substitutions of one byte each)
// between a caption (UTF-8) and a typed spelling, ASCII letters compared
// without regard to case.
int spellingDistance(QByteArrayView caption, QByteArrayView typed);

// Edit distance between two pronunciations in stored notation, counted in
// sounds: every character reference is one sound like a letter, and stress
// marks are left out, since the learner types none.
int soundDistance(QByteArrayView stored, QByteArrayView typed);

// The same in two steps, for comparing many candidates with one typed text:
// the units compared (folded letters, or sounds), then their edit distance.
using Units = QVarLengthArray<char16_t, 64>;
Units spellingUnits(QByteArrayView text);
Units soundUnits(QByteArrayView stored);
int editDistance(const Units &a, const Units &b);

} // namespace PhoneticRanking
