#pragma once

#include <QString>

// The file of words the user added to the dictionary, shared by the
// editor's text area and every whole-document spell check. It starts as
// "./spell/users/userDict.txt" in the working directory; the program moves
// it to the user's own data folder at start-up.
namespace userwordlist {

QString path();
// Takes effect for spell engines made afterwards.
void setPath(const QString &file);

} // namespace userwordlist
