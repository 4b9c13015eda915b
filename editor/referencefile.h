#pragma once

#include <QString>

// Reading the reference text a dictation is compared with.
namespace referencefile {

// The text of a reference file by its suffix: the cues of a subtitle file
// (.srt, .vtt, .ass, .ssa) one per line, read as the sentence practice
// reads them (Subtitles: same encodings, same markup removed), a cue's
// lines joined by blanks; the text of an HTML file (without a comparison
// saved at its end, so a dictation can serve too); or plain text in the
// encoding Subtitles finds for it. False, with a message in *error, when
// the file cannot be read.
bool read(const QString &fileName, QString *text, QString *error);

// The file dialog filter of the files read() understands.
QString fileFilter();

} // namespace referencefile
