#pragma once

#include "device/PduInfo.h"
#include "ui/alarms/AlarmMarks.h"

#include <QHash>
#include <QIcon>
#include <QPointer>
#include <QWidget>

struct WindowSettings;
class CAlarmPanel;
class CMainStatusWidget;
class COutletControl;
class CPdu;
class QLabel;
class QHeaderView;
class QMenu;
class QSplitter;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

// The overview page: every discovered device as a row under its group, refreshed from the device
// objects twice a second, with the status panel on the right. The current row is the application's
// current device.
class CDeviceOverviewWidget : public QWidget
{
    Q_OBJECT
public:
    enum Column
    {
        ColumnGroup,
        ColumnOnline,
        ColumnName,
        ColumnPosition,
        ColumnIPAddress,
        ColumnOutletStatus,
        ColumnProductType,
        ColumnFirmwareVer,
        ColumnVoltage,
        ColumnCurrent,
        ColumnTemperature,
        ColumnHumidity,
        ColumnCount
    };

    explicit CDeviceOverviewWidget(QWidget* parent = nullptr);

    void retranslate();
    // The device tree; the configuration page follows its current row.
    QTreeWidget* treeWidget() const { return m_pTreeWidgetMain; }
    CMainStatusWidget* mainStatusWidget() const { return m_pMainStatusWidget; }
    // The device's row, or null when it has none.
    QTreeWidgetItem* rowOf(const CPdu* pPdu) const { return m_hashRowOfPdu.value(pPdu); }
    CAlarmPanel* alarmPanel() const { return m_pAlarmPanel; }
    // The room's outlet control, for the rows' menus and the switch panel.
    void setOutletControl(COutletControl* pControl);

    // The width that shows every column in view beside the status panel.
    int neededWidth() const;
    // Gives the tree the room its columns take, the status panel the rest.
    void fitTreeToColumns();
    // The operator's column widths, order, hidden columns and sort, as remembered and for remembering.
    void restoreColumns(const WindowSettings& settings);
    void storeColumns(WindowSettings& settings) const;
    // The header's menu: a checkable entry per column, the last one shown cannot be hidden.
    void fillColumnMenu(QMenu* pMenu);

signals:
    // The context menu of a device row is being built: add entries to it before it opens.
    void signalRowMenu(QMenu* pMenu, CPdu* pPdu);
    // Whether the configuration page may be opened: a device row is current.
    void signalConfigTabEnabled(bool bEnabled);

public slots:
    void slotNewDevice(CPdu* pPdu);
    void slotDeviceGroupChanged(CPdu* pdu);
    void slotChangeIP(uint oriIP, uint curIP);
    // Makes the device's row the current one and brings it into view.
    void slotSelectPdu(CPdu* pPdu);

private slots:
    void slotUpdateList();
    void slotCurrentPduChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);

private:
    // What the refresh remembers of a row between ticks (rows live as long as the tree).
    struct RowState
    {
        // The row's own device (also kept on the item for the other screens); null once deleted.
        QPointer<CPdu> pPdu;
        bool bTied = false;     // the row was made for a device
        int iOutletsShown = -1; // the outlet states the painter was last asked to show
        // The fields the row's cells were last written from: a refresh formats only what changed.
        bool bShown = false;
        PduInfo shown;
        // The alarms the row was last marked with (none at first), whether their device was online
        // then, and whether the tip is in the current language.
        bool bAlarmShown = false;
        AlarmMark alarm;
        bool bAlarmOnline = true;
    };
    void updateRow(QTreeWidgetItem* pItem, CPdu* pPdu, RowState& state, bool bOnline,
                   const QString& strOnline);
    void showAlarm(QTreeWidgetItem* pItem, RowState& state, const AlarmMark& mark, bool bOnline);
    // Sets the online cell; true when it changed.
    bool showOnline(QTreeWidgetItem* pItem, bool bOnline, const QString& strOnline);
    // Every row's address cell from its own device, once the devices have taken their new addresses.
    void slotRefreshAddresses();
    QList<QTreeWidgetItem*> deviceRows() const;
    void placeMarker(QTreeWidgetItem* pItem);
    void removeMarker(QTreeWidgetItem* pItem);
    QHeaderView* header() const;
    // Every column as wide as its header and a typical value in the fonts in use; one font for the
    // whole header.
    // The width the style gives a cell holding strText after icon.
    int cellWidth(const QString& strText, const QIcon& icon) const;
    void sizeColumnsToContent();
    // Puts the rows in the order of the sort column, when one is chosen and a row is out of place.
    void sortRows();

    QTreeWidget* m_pTreeWidgetMain = nullptr;
    QTreeWidgetItem* m_pHeaderItem = nullptr;
    QTreeWidgetItem* m_pDefaultItem = nullptr;
    CMainStatusWidget* m_pMainStatusWidget = nullptr;
    QSplitter* m_pSplitter = nullptr;
    CAlarmPanel* m_pAlarmPanel = nullptr;
    QPointer<QLabel> m_pLabelCurrentPdu;
    QPointer<COutletControl> m_pOutletControl;
    QTimer* m_pTimer = nullptr;
    QIcon m_iconOnline;
    QIcon m_iconOffline;
    QIcon m_iconAlarm{QStringLiteral(":/OverviewWidget/OverviewWidget/Alarm.png")};
    QIcon m_iconAlarmAcknowledged{QStringLiteral(":/OverviewWidget/OverviewWidget/AlarmAcknowledged.png")};
    QHash<const QTreeWidgetItem*, RowState> m_hashRows;
    // Each device's row, for what names a device (alarms, group changes).
    QHash<const CPdu*, QTreeWidgetItem*> m_hashRowOfPdu;
    bool m_bAddressesPending = false;
    // The header texts the columns were last sized for: a language change sizes them again.
    QString m_strSizedFor;
    QTimer* m_pSortTimer = nullptr;
};
