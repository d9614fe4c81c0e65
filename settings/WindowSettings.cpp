#include "settings/WindowSettings.h"

#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <QSettings>
#include <QStringList>

#include <algorithm>

namespace {

const char s_szMainGeometry[] = "Window/MainGeometry";
const char s_szMainMaximized[] = "Window/MainMaximized";
const char s_szColumnWidths[] = "Overview/ColumnWidths";
const char s_szColumnOrder[] = "Overview/ColumnOrder";
const char s_szHiddenColumns[] = "Overview/HiddenColumns";
const char s_szSortColumn[] = "Overview/SortColumn";
const char s_szSortDescending[] = "Overview/SortDescending";

// A column narrower than this cannot be seen or grabbed again; one wider is a mistyped number.
constexpr int kMinColumnWidth = 8;
constexpr int kMaxColumnWidth = 4000;

// Lists are kept as numbers separated by spaces: plain text a person can read and mend.
QString joined(const QVector<int>& vec)
{
    QStringList list;
    for (int i : vec)
        list << QString::number(i);
    return list.join(QLatin1Char(' '));
}

// Empty unless every entry is a number within [iLow, iHigh].
QVector<int> numbers(const QVariant& value, int iLow, int iHigh)
{
    QVector<int> vec;
    for (const QString& strPart : value.toString().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool bOk = false;
        const int i = strPart.toInt(&bOk);
        if (!bOk || i < iLow || i > iHigh)
            return {};
        vec << i;
    }
    return vec;
}

bool isPermutation(QVector<int> vec, int iCount)
{
    if (vec.size() != iCount)
        return false;
    std::sort(vec.begin(), vec.end());
    for (int i = 0; i < iCount; ++i)
        if (vec.at(i) != i)
            return false;
    return true;
}

} // namespace

WindowSettings loadWindowSettings(int iColumnCount)
{
    WindowSettings loaded;
    const std::unique_ptr<QSettings> pSettings = openSettingsStore();
    const bool bRead = readSettingsGuarded([&] {
        const QSettings& s = *pSettings;
        const QVector<int> vecRect = numbers(s.value(QLatin1String(s_szMainGeometry)), -100000, 100000);
        if (vecRect.size() == 4 && vecRect.at(2) > 0 && vecRect.at(3) > 0)
            loaded.rectMain = QRect(vecRect.at(0), vecRect.at(1), vecRect.at(2), vecRect.at(3));
        loaded.bMainMaximized = s.value(QLatin1String(s_szMainMaximized)).toString() == QLatin1String("true");

        // 0 stands for a hidden column's width, which comes back sized to its content.
        loaded.vecColumnWidths = numbers(s.value(QLatin1String(s_szColumnWidths)), 0, kMaxColumnWidth);
        for (int& iWidth : loaded.vecColumnWidths)
            iWidth = iWidth < kMinColumnWidth ? 0 : iWidth;
        if (loaded.vecColumnWidths.size() != iColumnCount)
            loaded.vecColumnWidths.clear();
        loaded.vecColumnOrder = numbers(s.value(QLatin1String(s_szColumnOrder)), 0, iColumnCount - 1);
        if (!isPermutation(loaded.vecColumnOrder, iColumnCount))
            loaded.vecColumnOrder.clear();
        QVector<int> vecHidden = numbers(s.value(QLatin1String(s_szHiddenColumns)), 0, iColumnCount - 1);
        std::sort(vecHidden.begin(), vecHidden.end());
        vecHidden.erase(std::unique(vecHidden.begin(), vecHidden.end()), vecHidden.end());
        // At least one column stays in view.
        if (vecHidden.size() < iColumnCount)
            loaded.vecHiddenColumns = vecHidden;

        bool bOk = false;
        const int iSort = s.value(QLatin1String(s_szSortColumn)).toInt(&bOk);
        if (bOk && iSort >= 0 && iSort < iColumnCount) {
            loaded.iSortColumn = iSort;
            loaded.bSortDescending =
                s.value(QLatin1String(s_szSortDescending)).toString() == QLatin1String("true");
        }
    });
    return bRead ? loaded : WindowSettings();
}

void saveWindowSettings(const WindowSettings& settings)
{
    writeSettingsGuarded(openSettingsStore, [&](QSettings& s) {
        const QRect& r = settings.rectMain;
        if (r.isValid())
            s.setValue(QLatin1String(s_szMainGeometry), joined({r.x(), r.y(), r.width(), r.height()}));
        s.setValue(QLatin1String(s_szMainMaximized), settings.bMainMaximized);
        s.setValue(QLatin1String(s_szColumnWidths), joined(settings.vecColumnWidths));
        s.setValue(QLatin1String(s_szColumnOrder), joined(settings.vecColumnOrder));
        s.setValue(QLatin1String(s_szHiddenColumns), joined(settings.vecHiddenColumns));
        s.setValue(QLatin1String(s_szSortColumn), settings.iSortColumn);
        s.setValue(QLatin1String(s_szSortDescending), settings.bSortDescending);
    });
}
