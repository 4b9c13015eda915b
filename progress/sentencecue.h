#pragma once

#include <QString>
#include <QStringList>

// Which cue of the playing file a sentence of the progress record is.
namespace sentencecue {

// cueTexts: the text of each cue in order, empty for a cue found in the
// sound. A sentence is the cue with the same words (case, punctuation and
// spacing aside), else the text cue sharing most of its words, when they
// are at least half of the longer one's; among equals, the one nearest
// line. Cues without any text are the reference's lines in order, so line
// picks one. -1 when none fits.
int find(const QStringList &cueTexts, int line, const QString &text);

} // namespace sentencecue
