#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the modal dialogs a slot under test opens, as a user would, from
// the event loop that the dialog itself runs. The handler sees every modal
// widget once it is visible and returns true when it has dealt with it (it
// must close it); it keeps being called until the driver is destroyed.
class ModalDriver
{
public:
    explicit ModalDriver(std::function<bool(QWidget *)> handler)
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this, handler = std::move(handler)] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal && modal->isVisible() && handler(modal))
                ++m_handled;
        });
        m_timer.start();
    }

    int handled() const { return m_handled; }

    // Opens path in a file dialog as a learner would: typed into the name
    // field. Once the dialog has the focus, selectFile() leaves that field
    // alone, and the dialog would then take the file selected in its list,
    // which may still be the one it opened on.
    static void openFile(QFileDialog *dialog, const QString &path)
    {
        dialog->selectFile(path);
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept, which is protected
    }

private:
    QTimer m_timer;
    int m_handled = 0;
};
