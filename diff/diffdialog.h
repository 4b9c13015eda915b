#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class QTextEdit;

namespace Ui {
class DiffDialog;
}

// Compares two plain texts, A (usually the dictation) and B (the reference),
// typed, pasted or imported into two panes. Compare shows what only A has in
// blue in pane A, what only B has in red in pane B, and below the edit that
// turns B into A. Non-modal; the caller shows it and its parent owns it.
class DiffDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DiffDialog)

public:
    explicit DiffDialog(QWidget *parent = nullptr);
    ~DiffDialog() override;

private slots:
    void on_importSource_clicked();
    void on_diffResult_clicked();
    void on_outputTarget_clicked();
    void on_sourceFile_textChanged();
    void on_targetFile_textChanged();

private:
    void importText(QString &rememberedPath, QTextEdit *pane, QString &text);

    std::unique_ptr<Ui::DiffDialog> form;
    QString textA; // plain text of pane A as last changed or imported
    QString textB; // the same for pane B
};
