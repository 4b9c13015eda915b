#include "editor/documentdrop.h"

#include "editor/filekind.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QStringList>

DocumentDrop::DocumentDrop(QObject *parent)
    : QObject(parent)
{
}

bool DocumentDrop::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (filekind::localFiles(drag->mimeData()->urls()).isEmpty())
            break; // dragged text is the text area's
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList files = filekind::localFiles(drop->mimeData()->urls());
        if (files.isEmpty())
            break;
        drop->acceptProposedAction();
        // One document at a time; the first file decides.
        const QString &file = files.first();
        if (filekind::of(file) == filekind::Kind::Document)
            Q_EMIT documentDropped(file);
        else
            Q_EMIT mediaDropped(file);
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
