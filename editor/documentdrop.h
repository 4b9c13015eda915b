#pragma once

#include <QObject>

// Catches files dropped on a widget before the widget's own drop handling
// (a text area would insert the file's URL as text) and reports them.
// Install it on the widget that receives drag events, for a text area its
// viewport.
class DocumentDrop final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DocumentDrop)

public:
    explicit DocumentDrop(QObject *parent = nullptr);

Q_SIGNALS:
    void documentDropped(const QString &path);
    void mediaDropped(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
