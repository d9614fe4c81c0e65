#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <functional>

// The child of pParent named pszName; a missing child ends the test run at once, as the widget tree
// is then not the one the test was written for.
template <typename T> T* namedChild(const QObject* pParent, const char* pszName)
{
    T* pChild = pParent->findChild<T*>(QLatin1String(pszName));
    if (!pChild)
        qFatal("no child %s", pszName);
    return pChild;
}

// Answers modal windows while a test's code runs them: every message box is recorded ("title|text")
// and closed with OK; any other modal window is handed to the callback once.
class ModalAnswerer : public QObject
{
public:
    explicit ModalAnswerer(std::function<void(QWidget*)> fnOther = {}) : m_fnOther(std::move(fnOther))
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::answer);
        m_timer.start(10);
    }

    QStringList boxes;

private:
    void answer()
    {
        QWidget* pModal = QApplication::activeModalWidget();
        if (!pModal)
            return;
        if (auto* pBox = qobject_cast<QMessageBox*>(pModal)) {
            boxes << pBox->windowTitle() + QLatin1Char('|') + pBox->text();
            pBox->button(QMessageBox::Ok)->click();
        } else if (pModal != m_pLastOther && m_fnOther) {
            m_pLastOther = pModal;
            m_fnOther(pModal);
        }
    }

    std::function<void(QWidget*)> m_fnOther;
    QPointer<QWidget> m_pLastOther;
    QTimer m_timer;
};
