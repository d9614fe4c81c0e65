#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "ui/system/DivideGroupWidget.h"
#include "ui/system/GroupConfigWidget.h"
#include "ui/system/GroupNames.h"

#include <QComboBox>
#include <QInputDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <memory>

namespace {

quint32 ipv4(int a, int b, int c, int d)
{
    return quint32(a) << 24 | quint32(b) << 16 | quint32(c) << 8 | quint32(d);
}

QStringList column(const QTableWidget* pTable, int iColumn)
{
    QStringList texts;
    for (int iRow = 0; iRow < pTable->rowCount(); ++iRow)
        texts << pTable->item(iRow, iColumn)->text();
    return texts;
}

// Answers the next modal input dialog with the given text, or cancels it when the text is empty.
void answerInputDialog(const QString& strText)
{
    QTimer::singleShot(0, [strText] {
        auto* pDialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        QVERIFY(pDialog);
        QCOMPARE(pDialog->windowTitle(), QStringLiteral("Input a group name"));
        QCOMPARE(pDialog->labelText(), QStringLiteral("GroupName"));
        if (strText.isEmpty()) {
            pDialog->reject();
        } else {
            pDialog->setTextValue(strText);
            pDialog->accept();
        }
    });
}

} // namespace

class TestGroupConfig : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<CPdu*>(); }

    void init()
    {
        groupNames().clear();
        m_pRackmind = std::make_unique<CRackmind>(nullptr);
        g_pRackmind = m_pRackmind.get();
        for (int i = 1; i <= 3; ++i)
            m_pRackmind->addPdu(ipv4(10, 200, 1, i));
        m_pPage = std::make_unique<CGroupConfigWidget>();
        m_pDivide = m_pPage->findChild<CDivideGroupWidget*>(QStringLiteral("DivideGroupWidget"));
        m_pLeft = m_pPage->findChild<QTableWidget*>(QStringLiteral("TableWaitDivide"));
        m_pRight = m_pPage->findChild<QTableWidget*>(QStringLiteral("TableDivided"));
        m_pCombo = m_pPage->findChild<QComboBox*>(QStringLiteral("ComboGroupName"));
        QVERIFY(m_pDivide && m_pLeft && m_pRight && m_pCombo);
        m_pPage->resize(900, 500);
        m_pPage->show();
    }

    void cleanup()
    {
        m_pPage.reset();
        g_pRackmind = nullptr;
        m_pRackmind.reset();
    }

    void newDeviceAppearsOnNextShowOnly()
    {
        QCOMPARE(column(m_pLeft, 0), (QStringList{"10.200.1.1", "10.200.1.2", "10.200.1.3"}));
        m_pRackmind->addPdu(ipv4(10, 200, 1, 9));
        QCOMPARE(m_pLeft->rowCount(), 3);
        m_pPage->hide();
        m_pPage->show();
        QCOMPARE(column(m_pLeft, 0).last(), QStringLiteral("10.200.1.9"));
    }

    void putWithEmptyComboRecordsNothing()
    {
        QCOMPARE(m_pCombo->count(), 0);
        QSignalSpy spy(m_pDivide, &CDivideGroupWidget::signalDeviceGroupChanged);
        m_pLeft->setCurrentCell(1, 0);
        click("BtnPutToGroup");
        QCOMPARE(spy.count(), 0);
        QCOMPARE(m_pRackmind->listPdu.at(1)->strGroup, QStringLiteral("Default"));
        QCOMPARE(column(m_pLeft, 0), (QStringList{"10.200.1.1", "10.200.1.2", "10.200.1.3"}));
    }

    void moveButtonsWithoutSelectionDoNothing()
    {
        QSignalSpy spy(m_pDivide, &CDivideGroupWidget::signalDeviceGroupChanged);
        m_pLeft->setCurrentCell(-1, -1);
        click("BtnPutToGroup");
        click("BtnTakeFromGroup");
        QCOMPARE(spy.count(), 0);
        QCOMPARE(m_pLeft->rowCount(), 3);
    }

    void addGroupAndMoveBothWays()
    {
        answerInputDialog(QStringLiteral("Rack A"));
        click("BtnAddGroup");
        answerInputDialog(QStringLiteral("Rack A"));
        click("BtnAddGroup");
        // A duplicate name is offered twice, and the second becomes current.
        QCOMPARE(m_pCombo->count(), 2);
        QCOMPARE(m_pCombo->currentIndex(), 1);
        answerInputDialog(QString());
        click("BtnAddGroup");
        QCOMPARE(m_pCombo->count(), 2);

        m_pLeft->setCurrentCell(0, 0);
        click("BtnPutToGroup");
        QCOMPARE(m_pRackmind->listPdu.at(0)->strGroup, QStringLiteral("Rack A"));
        m_pLeft->setCurrentCell(0, 0);
        click("BtnPutToGroup");

        // Taking a device out puts it at the end of the left table, not back at its old place.
        m_pRight->setCurrentCell(0, 0);
        click("BtnTakeFromGroup");
        QCOMPARE(m_pRackmind->listPdu.at(0)->strGroup, QStringLiteral("Default"));
        QCOMPARE(column(m_pLeft, 0), (QStringList{"10.200.1.3", "10.200.1.1"}));
        QCOMPARE(column(m_pRight, 0), QStringList{"10.200.1.2"});
    }

    void groupStaysOfferedAfterShowAndComparesExactly()
    {
        answerInputDialog(QStringLiteral("rack"));
        click("BtnAddGroup");
        m_pPage->hide();
        m_pPage->show();
        QCOMPARE(m_pCombo->count(), 1);
        QCOMPARE(m_pCombo->currentText(), QStringLiteral("rack"));

        m_pRackmind->listPdu.at(0)->strGroup = QStringLiteral("Rack");
        m_pRackmind->listPdu.at(1)->strGroup = QStringLiteral("rack");
        m_pRackmind->listPdu.at(2)->strGroup = QStringLiteral("default");
        m_pPage->hide();
        m_pPage->show();
        // "default" is a group of its own: only the exact "Default" counts as ungrouped.
        QCOMPARE(m_pLeft->rowCount(), 0);
        QCOMPARE(m_pCombo->currentText(), QStringLiteral("rack"));
        QCOMPARE(column(m_pRight, 0), QStringList{"10.200.1.2"});
        m_pCombo->setCurrentIndex(m_pCombo->findText(QStringLiteral("Rack")));
        QCOMPARE(column(m_pRight, 0), QStringList{"10.200.1.1"});
    }

private:
    void click(const char* szButton)
    {
        auto* pButton = m_pPage->findChild<QPushButton*>(QLatin1String(szButton));
        QVERIFY(pButton);
        pButton->click();
    }

    std::unique_ptr<CRackmind> m_pRackmind;
    std::unique_ptr<CGroupConfigWidget> m_pPage;
    CDivideGroupWidget* m_pDivide = nullptr;
    QTableWidget* m_pLeft = nullptr;
    QTableWidget* m_pRight = nullptr;
    QComboBox* m_pCombo = nullptr;
};

QTEST_MAIN(TestGroupConfig)
#include "tst_groupconfig.moc"
