#pragma once

#include "diff/diff_match_patch.h"

#include <QList>
#include <QString>

// HTML views of a diff list made from (B, A), for the comparison panes.
// Each escapes "&", "<", ">" and turns line feeds into <br>.

// Pane A: what A keeps and adds, additions in blue. Kept letters that touch
// an addition are blue too, so a partly changed word shows whole.
QString renderSourceHtml(const QList<Diff> &diffs);
// Pane B: what B keeps and loses, losses in red, widened the same way.
QString renderTargetHtml(const QList<Diff> &diffs);
// The edit that turns A (the learner's text) into B (the reference), the way
// the word view reads: what only A has struck through in red, then what
// only B has underlined in blue. A fragment without html or head element.
QString renderSuggestionHtml(const QList<Diff> &diffs);
