#include "editor/userwordlist.h"

namespace userwordlist {

namespace {

QString &current()
{
    static QString file = QStringLiteral("./spell/users/userDict.txt");
    return file;
}

} // namespace

QString path()
{
    return current();
}

void setPath(const QString &file)
{
    current() = file;
}

} // namespace userwordlist
