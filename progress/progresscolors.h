#pragma once

#include <QColor>

// The player's colours, as its cue strip draws with them: light text on
// near black, the amber of a revealed sentence as the one accent.
namespace progresscolors {

inline const QColor background(28, 28, 30);
inline const QColor panel(38, 38, 42);
inline const QColor grid(64, 64, 70);
inline const QColor text(236, 236, 236);
inline const QColor dim(150, 150, 156);
inline const QColor accent(230, 170, 60);

} // namespace progresscolors
