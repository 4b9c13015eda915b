#pragma once

#include <QString>
#include <QStringList>

// Reading the reference text a dictation is compared with.
namespace referencefile {

// The cues of a subtitle file (.srt, or WebVTT for .vtt), read with
// FFmpeg's own demuxers, in time order: inline tags removed, a cue's lines
// joined by blanks, empty cues left out. Text that is not valid UTF-8 is
// read in the locale's encoding. False, with a message for the user in
// *error, when the file holds no cues.
bool readCues(const QString &fileName, QStringList *cues, QString *error);

// The text of a reference file by its suffix: subtitle cues one per line,
// the text of an HTML file (without a comparison saved at its end, so a
// dictation can serve too), or plain text (a byte-order mark or valid
// UTF-8, else the locale's encoding). False, with a message in *error,
// when the file cannot be read.
bool read(const QString &fileName, QString *text, QString *error);

// The file dialog filter of the files read() understands.
QString fileFilter();

} // namespace referencefile
