<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW">
<context>
    <name>CAlarmConfigWidget</name>
    <message>
        <source>Polls before an alarm counts</source>
        <translation>告警確認前的輪詢次數</translation>
    </message>
    <message>
        <source>Clear margin (% of the limit)</source>
        <translation>解除回差（限值的百分比）</translation>
    </message>
    <message>
        <source>Mail when an alarm clears</source>
        <translation>告警解除時傳送郵件</translation>
    </message>
    <message>
        <source>Combine alarms into one mail</source>
        <translation>將多條告警合併為一封郵件</translation>
    </message>
    <message>
        <source>Combining window (seconds)</source>
        <translation>合併時間視窗（秒）</translation>
    </message>
    <message>
        <source>Show a notification for a new alarm</source>
        <translation>新告警時顯示通知</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Mail standing alarms again after a restart</source>
        <translation>重新啟動後再次郵件通知仍在持續的告警</translation>
    </message>
</context>
<context>
    <name>CAlarmPanel</name>
    <message>
        <source>Voltage warning</source>
        <translation>電壓告警</translation>
    </message>
    <message>
        <source>Voltage overload</source>
        <translation>電壓過載</translation>
    </message>
    <message>
        <source>Current warning</source>
        <translation>電流告警</translation>
    </message>
    <message>
        <source>Current overload</source>
        <translation>電流過載</translation>
    </message>
    <message>
        <source>Temperature out of range</source>
        <translation>溫度越限</translation>
    </message>
    <message>
        <source>Humidity warning</source>
        <translation>濕度告警</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名稱</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>IPAddress</source>
        <translation>IP位址</translation>
    </message>
    <message>
        <source>Condition</source>
        <translation>告警條件</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>目前值</translation>
    </message>
    <message>
        <source>Limit</source>
        <translation>限值</translation>
    </message>
    <message>
        <source>Since</source>
        <translation>開始時間</translation>
    </message>
    <message>
        <source>Acknowledged</source>
        <translation>已確認</translation>
    </message>
    <message>
        <source>Acknowledge</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>Acknowledge all</source>
        <translation>全部確認</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>%1 at %2</source>
        <translation>%1 於 %2</translation>
    </message>
    <message>
        <source>Active alarms: %1, unacknowledged: %2</source>
        <translation>目前告警：%1，未確認：%2</translation>
    </message>
    <message>
        <source>Group load over budget</source>
        <translation>群組負載超出預算</translation>
    </message>
    <message>
        <source>Group load at the breaker rating</source>
        <translation>群組負載達到斷路器額定值</translation>
    </message>
    <message>
        <source>Group %1</source>
        <translation>群組 %1</translation>
    </message>
</context>
<context>
    <name>CConfigSubPage</name>
    <message>
        <source>The text is too long: the unit keeps at most %1 bytes here, and each character outside ASCII takes 2 to 4 of them.</source>
        <translation>文字過長：裝置在此最多儲存 %1 個位元組，每個非 ASCII 字元佔 2 至 4 個位元組。</translation>
    </message>
</context>
<context>
    <name>CDelayConfigWidget</name>
    <message>
        <source>OpenDelay</source>
        <translation>開啟延時</translation>
    </message>
    <message>
        <source>CloseDelay</source>
        <translation>關閉延時</translation>
    </message>
    <message>
        <source>Outlet%1</source>
        <translation>插座%1</translation>
    </message>
</context>
<context>
    <name>CDeviceConfigWidget</name>
    <message>
        <source>Please input a correct ip address.</source>
        <translation>請輸入正確的IP位址。</translation>
    </message>
    <message>
        <source>Please input a correct sub network mask.</source>
        <translation>請輸入正確的子網路遮罩。</translation>
    </message>
    <message>
        <source>Please input a correct gateway address.</source>
        <translation>請輸入正確的閘道位址。</translation>
    </message>
    <message>
        <source>Please input a correct mac address.</source>
        <translation>請輸入正確的MAC位址。</translation>
    </message>
    <message>
        <source>Please input pdu name.</source>
        <translation>請輸入PDU名稱。</translation>
    </message>
    <message>
        <source>Please input pdu location.</source>
        <translation>請輸入PDU位置。</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Network</source>
        <translation>網路</translation>
    </message>
    <message>
        <source>Threshold</source>
        <translation>閾值</translation>
    </message>
    <message>
        <source>Delay</source>
        <translation>延時</translation>
    </message>
    <message>
        <source>OutletName</source>
        <translation>插座名稱</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Apply to group…</source>
        <translation>套用到分組…</translation>
    </message>
    <message>
        <source>Another PDU answers from this ip address.</source>
        <translation>已有另一台PDU使用此IP位址回應。</translation>
    </message>
</context>
<context>
    <name>CDeviceControlWidget</name>
    <message>
        <source>Outlet</source>
        <translation>插座</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>retrying</source>
        <translation>重試中</translation>
    </message>
    <message>
        <source>busy</source>
        <translation>進行中</translation>
    </message>
    <message>
        <source>waiting for off</source>
        <translation>等待斷電</translation>
    </message>
    <message>
        <source>did not switch off</source>
        <translation>未能斷電</translation>
    </message>
</context>
<context>
    <name>CDeviceOverviewWidget</name>
    <message>
        <source>Alarm, not acknowledged:</source>
        <translation>告警，未確認：</translation>
    </message>
    <message>
        <source>Alarm, acknowledged:</source>
        <translation>告警，已確認：</translation>
    </message>
    <message>
        <source>Offline: the readings are the last received.</source>
        <translation>離線：讀數為最後收到的數值。</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>預設</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>分組</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>在線</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名稱</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>IPAddress</source>
        <translation>IP位址</translation>
    </message>
    <message>
        <source>OutletStatus</source>
        <translation>插座狀態</translation>
    </message>
    <message>
        <source>ProductType</source>
        <translation>產品型號</translation>
    </message>
    <message>
        <source>FirmwareVer</source>
        <translation>韌體版本</translation>
    </message>
    <message>
        <source>Voltage(V)</source>
        <translation>電壓(V)</translation>
    </message>
    <message>
        <source>Current(A)</source>
        <translation>電流(A)</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>溫度</translation>
    </message>
    <message>
        <source>Humidity(RH%)</source>
        <translation>濕度(RH%)</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>離線</translation>
    </message>
</context>
<context>
    <name>CDivideGroupWidget</name>
    <message>
        <source>WaitDivide</source>
        <translation>未分組設備</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名稱</translation>
    </message>
    <message>
        <source>&gt;&gt;</source>
        <translation>&gt;&gt;</translation>
    </message>
    <message>
        <source>&lt;&lt;</source>
        <translation>&lt;&lt;</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>分組</translation>
    </message>
    <message>
        <source>+</source>
        <translation>+</translation>
    </message>
    <message>
        <source>Input a group name</source>
        <translation>輸入分組名稱</translation>
    </message>
    <message>
        <source>GroupName</source>
        <translation>分組名稱</translation>
    </message>
</context>
<context>
    <name>CEventsWindow</name>
    <message>
        <source>Events</source>
        <translation>事件</translation>
    </message>
    <message>
        <source>Every kind</source>
        <translation>所有類型</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>搜尋</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>匯出 CSV</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>時間</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>事件</translation>
    </message>
    <message>
        <source>PDU</source>
        <translation>PDU</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC位址</translation>
    </message>
    <message>
        <source>What</source>
        <translation>對象</translation>
    </message>
    <message>
        <source>Old value</source>
        <translation>原值</translation>
    </message>
    <message>
        <source>New value</source>
        <translation>新值</translation>
    </message>
    <message>
        <source>Limit</source>
        <translation>限值</translation>
    </message>
    <message>
        <source>Detail</source>
        <translation>詳情</translation>
    </message>
    <message>
        <source>Every PDU</source>
        <translation>所有 PDU</translation>
    </message>
</context>
<context>
    <name>CGroupApplyDialog</name>
    <message>
        <source>Apply to group</source>
        <translation>套用到分組</translation>
    </message>
    <message>
        <source>Thresholds</source>
        <translation>閾值</translation>
    </message>
    <message>
        <source>Delays</source>
        <translation>延時</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>套用</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名稱</translation>
    </message>
    <message>
        <source>IPAddress</source>
        <translation>IP位址</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>結果</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>分組</translation>
    </message>
    <message>
        <source>Waiting for the devices to confirm...</source>
        <translation>正在等待設備確認...</translation>
    </message>
    <message>
        <source>Written, waiting</source>
        <translation>已寫入，等待確認</translation>
    </message>
    <message>
        <source>Confirmed</source>
        <translation>已確認</translation>
    </message>
    <message>
        <source>Not confirmed</source>
        <translation>未確認</translation>
    </message>
    <message>
        <source>Offline, not written</source>
        <translation>離線，未寫入</translation>
    </message>
    <message>
        <source>%1 of %2 confirmed.</source>
        <translation>%2 台中 %1 台已確認。</translation>
    </message>
    <message>
        <source>Offline: %1</source>
        <translation>離線：%1</translation>
    </message>
    <message>
        <source>Not confirmed: %1</source>
        <translation>未確認：%1</translation>
    </message>
</context>
<context>
    <name>CGroupBudgetWidget</name>
    <message>
        <source>Breaker (A)</source>
        <translation>斷路器 (A)</translation>
    </message>
    <message>
        <source>Derating (%)</source>
        <translation>降額 (%)</translation>
    </message>
    <message>
        <source>Apply budget</source>
        <translation>套用預算</translation>
    </message>
    <message>
        <source>Clear budget</source>
        <translation>清除預算</translation>
    </message>
    <message>
        <source>The Default group has no budget.</source>
        <translation>Default 群組沒有預算。</translation>
    </message>
    <message>
        <source>Budget: %1 A (%2 % of a %3 A breaker)</source>
        <translation>預算：%1 A（%3 A 斷路器的 %2 %）</translation>
    </message>
    <message>
        <source>No budget: the group's load raises no alarm.</source>
        <translation>無預算：此群組的負載不會引發警報。</translation>
    </message>
</context>
<context>
    <name>CGroupConfigWidget</name>
    <message>
        <source>DevideGroup</source>
        <translation>設備分組</translation>
    </message>
</context>
<context>
    <name>CHistoryEntries</name>
    <message>
        <source>Events</source>
        <translation>事件</translation>
    </message>
    <message>
        <source>History</source>
        <translation>歷史</translation>
    </message>
</context>
<context>
    <name>CHistoryStore</name>
    <message>
        <source>a folder stands where the history file belongs: %1</source>
        <translation>歷史檔案的位置上是一個資料夾：%1</translation>
    </message>
    <message>
        <source>the history file %1 cannot be opened</source>
        <translation>無法開啟歷史檔案 %1</translation>
    </message>
    <message>
        <source>the history file %1 cannot be read</source>
        <translation>無法讀取歷史檔案 %1</translation>
    </message>
    <message>
        <source>the history file %1 was written by a newer version of Rackmind; it is left as it is</source>
        <translation>歷史檔案 %1 由更新版本的 Rackmind 寫入，保持原樣不動</translation>
    </message>
    <message>
        <source>the history file %1 cannot be written</source>
        <translation>無法寫入歷史檔案 %1</translation>
    </message>
</context>
<context>
    <name>CHistoryWindow</name>
    <message>
        <source>History of %1</source>
        <translation>%1 的歷史</translation>
    </message>
    <message>
        <source>Span</source>
        <translation>時間範圍</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>顯示</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>匯出 CSV</translation>
    </message>
    <message>
        <source>Voltage (V)</source>
        <translation>電壓 (V)</translation>
    </message>
    <message>
        <source>Current (A)</source>
        <translation>電流 (A)</translation>
    </message>
    <message>
        <source>Humidity (%RH)</source>
        <translation>濕度 (%RH)</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>時間</translation>
    </message>
    <message>
        <source>PDU</source>
        <translation>PDU</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC位址</translation>
    </message>
    <message>
        <source>Voltage min</source>
        <translation>電壓最小值</translation>
    </message>
    <message>
        <source>Voltage avg</source>
        <translation>電壓平均值</translation>
    </message>
    <message>
        <source>Voltage max</source>
        <translation>電壓最大值</translation>
    </message>
    <message>
        <source>Current min</source>
        <translation>電流最小值</translation>
    </message>
    <message>
        <source>Current avg</source>
        <translation>電流平均值</translation>
    </message>
    <message>
        <source>Current max</source>
        <translation>電流最大值</translation>
    </message>
    <message>
        <source>Temperature min</source>
        <translation>溫度最小值</translation>
    </message>
    <message>
        <source>Temperature avg</source>
        <translation>溫度平均值</translation>
    </message>
    <message>
        <source>Temperature max</source>
        <translation>溫度最大值</translation>
    </message>
    <message>
        <source>Humidity min</source>
        <translation>濕度最小值</translation>
    </message>
    <message>
        <source>Humidity avg</source>
        <translation>濕度平均值</translation>
    </message>
    <message>
        <source>Humidity max</source>
        <translation>濕度最大值</translation>
    </message>
    <message>
        <source>Outlets</source>
        <translation>插座</translation>
    </message>
    <message>
        <source>Online polls</source>
        <translation>在線輪詢次數</translation>
    </message>
    <message>
        <source>Polls</source>
        <translation>輪詢次數</translation>
    </message>
    <message>
        <source>Temperature (°C)</source>
        <translation>溫度 (°C)</translation>
    </message>
    <message>
        <source>Apparent power (VA); where energy was not kept yet, average volts times average amperes</source>
        <translation>視在功率 (VA)；未記錄電能的時段為平均電壓乘以平均電流</translation>
    </message>
    <message>
        <source>Apparent power (VA)</source>
        <translation>視在功率 (VA)</translation>
    </message>
</context>
<context>
    <name>CLoginDialog</name>
    <message>
        <source>Account</source>
        <translation>帳號</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>密碼</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登入</translation>
    </message>
    <message>
        <source>KeepPassword</source>
        <translation>記住密碼</translation>
    </message>
    <message>
        <source>AutoLogin</source>
        <translation>自動登入</translation>
    </message>
    <message>
        <source>Please input account and password</source>
        <translation>請輸入帳號和密碼</translation>
    </message>
    <message>
        <source>Account or password is mistake</source>
        <translation>帳號或密碼錯誤</translation>
    </message>
    <message>
        <source>Scanning pdu in local network...</source>
        <translation>正在掃描本地網路中的PDU...</translation>
    </message>
    <message>
        <source>Fail to open udp port</source>
        <translation>無法開啟UDP連接埠</translation>
    </message>
    <message>
        <source>This console can poll from a free port beside it: PDUs that answer the port a query came from are shown and switched as usual; PDUs that answer only port %1 are not seen until it is closed.

Poll from a free port?</source>
        <translation>本控制台可以在其旁邊使用一個空閒埠輪詢：按查詢來源埠應答的 PDU 照常顯示和開關；只應答埠 %1 的 PDU 在其關閉之前無法看到。

是否使用空閒埠輪詢？</translation>
    </message>
    <message>
        <source>Device port in use</source>
        <translation>設備埠已被佔用</translation>
    </message>
</context>
<context>
    <name>CMainDialog</name>
    <message>
        <source>ChangeLanguage</source>
        <translation>切換語言</translation>
    </message>
    <message>
        <source>ModifyAccount</source>
        <translation>修改帳戶</translation>
    </message>
    <message>
        <source>DeviceOverview</source>
        <translation>設備總覽</translation>
    </message>
    <message>
        <source>DeviceConfig</source>
        <translation>設備配置</translation>
    </message>
    <message>
        <source>GroupConfig</source>
        <translation>分組配置</translation>
    </message>
    <message>
        <source>SystemConfig</source>
        <translation>系統配置</translation>
    </message>
</context>
<context>
    <name>CMainStatusWidget</name>
    <message>
        <source>Summarise</source>
        <translation>概況</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>總數</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>在線</translation>
    </message>
    <message>
        <source>Abnormal</source>
        <translation>異常</translation>
    </message>
    <message>
        <source>DeviceControl</source>
        <translation>設備控制</translation>
    </message>
</context>
<context>
    <name>CMetricsConfigWidget</name>
    <message>
        <source>Serve metrics for Prometheus</source>
        <translation>為 Prometheus 提供監控指標</translation>
    </message>
    <message>
        <source>Listen address</source>
        <translation>監聽位址</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>連接埠</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Metrics are off.</source>
        <translation>監控指標已關閉。</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Please input a correct listen address.</source>
        <translation>請輸入正確的監聽位址。</translation>
    </message>
    <message>
        <source>TLS and password file</source>
        <translation>TLS 與密碼檔案</translation>
    </message>
    <message>
        <source>none: plain HTTP, no password</source>
        <translation>不填：一般 HTTP，無密碼</translation>
    </message>
    <message>
        <source>Serving %1</source>
        <translation>正在提供 %1</translation>
    </message>
    <message>
        <source>Cannot serve on %1: %2. The console runs on without metrics.</source>
        <translation>無法在 %1 上提供服務：%2。主控台將繼續執行，但不提供監控指標。</translation>
    </message>
</context>
<context>
    <name>CModifyAccountDialog</name>
    <message>
        <source>OriAccount</source>
        <translation>原帳號</translation>
    </message>
    <message>
        <source>OriPassword</source>
        <translation>原密碼</translation>
    </message>
    <message>
        <source>CurAccount</source>
        <translation>新帳號</translation>
    </message>
    <message>
        <source>CurPassword</source>
        <translation>新密碼</translation>
    </message>
    <message>
        <source>CurPasswordAck</source>
        <translation>確認新密碼</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Please input original account.</source>
        <translation>請輸入原帳號。</translation>
    </message>
    <message>
        <source>Please input original password.</source>
        <translation>請輸入原密碼。</translation>
    </message>
    <message>
        <source>Please input new account.</source>
        <translation>請輸入新帳號。</translation>
    </message>
    <message>
        <source>Please input new password.</source>
        <translation>請輸入新密碼。</translation>
    </message>
    <message>
        <source>Please input new password acknowledge.</source>
        <translation>請再次輸入新密碼以確認。</translation>
    </message>
    <message>
        <source>Password ack is not equal to password.</source>
        <translation>兩次輸入的新密碼不一致。</translation>
    </message>
    <message>
        <source>Original account or password is incorrect.</source>
        <translation>原帳號或密碼不正確。</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>info</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Modify success.</source>
        <translation>修改成功。</translation>
    </message>
</context>
<context>
    <name>CMonthlyReport</name>
    <message>
        <source>Monthly report %1</source>
        <translation>月度報表 %1</translation>
    </message>
    <message>
        <source>No readings in this month.</source>
        <translation>本月無讀數。</translation>
    </message>
    <message>
        <source>Page %1 of %2</source>
        <translation>第 %1 頁，共 %2 頁</translation>
    </message>
    <message>
        <source>cannot draw the document</source>
        <translation>無法繪製文件</translation>
    </message>
    <message>
        <source>a month is YYYY-MM, as 2026-11</source>
        <translation>月份格式為 YYYY-MM，例如 2026-11</translation>
    </message>
    <message>
        <source>no group "%1" in the history</source>
        <translation>歷史記錄中沒有群組「%1」</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>群組</translation>
    </message>
    <message>
        <source>PDU</source>
        <translation>PDU</translation>
    </message>
    <message>
        <source>Energy (kVAh)</source>
        <translation>電能 (kVAh)</translation>
    </message>
    <message>
        <source>Peak (A)</source>
        <translation>峰值 (A)</translation>
    </message>
    <message>
        <source>95th pct. (A)</source>
        <translation>95 百分位 (A)</translation>
    </message>
    <message>
        <source>Hours over budget</source>
        <translation>超預算小時數</translation>
    </message>
    <message>
        <source>Hours read</source>
        <translation>有讀數小時數</translation>
    </message>
    <message>
        <source>Apparent power and energy (VA, kVAh): these PDUs measure volts and amperes, not watts. Peak and 95th percentile are of hourly figures; a group's load is the sum of its PDUs' hourly averages. A PDU's hours over budget are its group's, while it was in the group. * part of the month was recorded before energy was kept: the figure is incomplete.</source>
        <translation>視在功率與視在電能（VA、kVAh）：這些 PDU 量測的是伏特與安培，而非瓦特。峰值與 95 百分位按小時數值計算；群組負載為群組內各 PDU 小時平均電流之和。PDU 的超預算小時數是其所屬群組在其屬於該群組期間的超預算小時數。* 本月部分資料記錄於開始保存電能之前：該數值不完整。</translation>
    </message>
</context>
<context>
    <name>CNetworkConfigWidget</name>
    <message>
        <source>IP</source>
        <translation>IP位址</translation>
    </message>
    <message>
        <source>SubNetMask</source>
        <translation>子網路遮罩</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>閘道</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC位址</translation>
    </message>
    <message>
        <source>UDP Port</source>
        <translation>UDP連接埠</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名稱</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>位置</translation>
    </message>
</context>
<context>
    <name>COutletActions</name>
    <message>
        <source>Outlet</source>
        <translation>插座</translation>
    </message>
    <message>
        <source>info</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>%1 of %2 is protected: it cannot be switched off or power cycled from this console until it is unprotected.</source>
        <translation>%2 的 %1 受保護：取消保護之前，無法在本控制台將其斷開或斷電重啟。</translation>
    </message>
    <message>
        <source>Power cycle %1 of %2?</source>
        <translation>斷電重啟 %2 的 %1？</translation>
    </message>
    <message>
        <source>Switch %1 of %2 off?</source>
        <translation>斷開 %2 的 %1？</translation>
    </message>
    <message>
        <source>question</source>
        <translation>詢問</translation>
    </message>
    <message>
        <source>%1 is being power cycled.</source>
        <translation>%1 正在斷電重啟。</translation>
    </message>
    <message>
        <source>Power cycle outlet</source>
        <translation>斷電重啟插座</translation>
    </message>
    <message>
        <source>Protected</source>
        <translation>受保護</translation>
    </message>
    <message>
        <source>Protected outlets</source>
        <translation>受保護的插座</translation>
    </message>
    <message>
        <source> s</source>
        <translation> 秒</translation>
    </message>
    <message>
        <source>Back on after</source>
        <translation>重新接通前等待</translation>
    </message>
    <message>
        <source>%1 of %2 cannot be switched off yet: the device has not told its MAC address, so whether it is protected is not known.</source>
        <translation>%2 的 %1 暫時不能關閉：設備尚未報告其 MAC 位址，無法確定它是否受保護。</translation>
    </message>
    <message>
        <source>Cancel power cycle (switch back on)</source>
        <translation>取消斷電重啟（重新通電）</translation>
    </message>
    <message>
        <source>%1 was not power cycled: the console cannot record the cycle in %2, and would leave the outlet off if it ended before the cycle did.</source>
        <translation>%1 未執行斷電重啟：控制台無法在 %2 中記錄此次重啟，若控制台在重啟完成前結束，插座將保持斷電。</translation>
    </message>
    <message>
        <source>%1 of %2 was not switched: another PDU answers from the same address, and the command could reach that one instead. Give one of them an address of its own first.</source>
        <translation>%2 的%1未切換：另一台 PDU 從同一位址回應，命令可能會送達那一台。請先為其中一台設定獨立的位址。</translation>
    </message>
</context>
<context>
    <name>COutletControl</name>
    <message>
        <source>The device has not told its MAC address yet.</source>
        <translation>設備尚未報告其 MAC 位址。</translation>
    </message>
    <message>
        <source>The protection list cannot be written: %1</source>
        <translation>無法寫入保護清單：%1</translation>
    </message>
</context>
<context>
    <name>COutletNameConfigWidget</name>
    <message>
        <source>Outlet%1</source>
        <translation>插座%1</translation>
    </message>
    <message>
        <source>Protected</source>
        <translation>受保護</translation>
    </message>
</context>
<context>
    <name>COutletSetControl</name>
    <message>
        <source>on</source>
        <translation>通電</translation>
    </message>
    <message>
        <source>off</source>
        <translation>斷電</translation>
    </message>
    <message>
        <source>set %1 %2</source>
        <translation>插座組 %1 %2</translation>
    </message>
    <message>
        <source>outlet %1</source>
        <translation>插座 %1</translation>
    </message>
    <message>
        <source>unfinished, waiting for its PDUs</source>
        <translation>未完成，等待其 PDU 回應</translation>
    </message>
    <message>
        <source>switching on: %1 of %2 on</source>
        <translation>正在通電：%2 個中 %1 個已通電</translation>
    </message>
    <message>
        <source>switching off: %1 of %2 off</source>
        <translation>正在斷電：%2 個中 %1 個已斷電</translation>
    </message>
    <message>
        <source>cycling: %1 of %2 seen off</source>
        <translation>斷電重啟中：%2 個中 %1 個已見斷電</translation>
    </message>
    <message>
        <source>cycling: on in %1 s</source>
        <translation>斷電重啟中：%1 秒後通電</translation>
    </message>
    <message>
        <source>bringing the power back</source>
        <translation>正在恢復供電</translation>
    </message>
    <message>
        <source>cycling: on sent</source>
        <translation>斷電重啟中：已發送通電</translation>
    </message>
    <message>
        <source>The PDU %1 of outlet %2 is not in the room: nothing was switched.</source>
        <translation>插座 %2 所在的 PDU %1 不在機房中：未切換任何插座。</translation>
    </message>
    <message>
        <source>Two PDUs report the MAC %1: nothing was switched.</source>
        <translation>兩台 PDU 回報了同一 MAC %1：未切換任何插座。</translation>
    </message>
    <message>
        <source>The PDU %1 is offline: nothing was switched.</source>
        <translation>PDU %1 離線：未切換任何插座。</translation>
    </message>
    <message>
        <source>Another PDU answers from the address of %1: nothing was switched.</source>
        <translation>另一台 PDU 也從 %1 的位址回應：未切換任何插座。</translation>
    </message>
    <message>
        <source>Outlet %1 of %2 is being switched or cycled: nothing was switched.</source>
        <translation>%2 的插座 %1 正在切換或斷電重啟：未切換任何插座。</translation>
    </message>
    <message>
        <source>%1 has no outlets.</source>
        <translation>%1 沒有插座。</translation>
    </message>
    <message>
        <source>The protection list %1 cannot be read, so what is protected cannot be told: nothing was switched off.</source>
        <translation>無法讀取保護清單 %1，無法判斷哪些插座受保護：未斷開任何插座。</translation>
    </message>
    <message>
        <source>outlet %1 of %2</source>
        <translation>%2 的插座 %1</translation>
    </message>
    <message>
        <source>Protected in %1: %2.</source>
        <translation>%1 中受保護的插座：%2。</translation>
    </message>
    <message>
        <source>The cycle journal %1 cannot be written: nothing was switched.</source>
        <translation>無法寫入斷電重啟日誌 %1：未切換任何插座。</translation>
    </message>
    <message>
        <source>The outlet sets cannot be read (%1): nothing was switched.</source>
        <translation>無法讀取插座組（%1）：未切換任何插座。</translation>
    </message>
    <message>
        <source>There is no outlet set %1.</source>
        <translation>沒有名為 %1 的插座組。</translation>
    </message>
    <message>
        <source>The sequence %1 is running.</source>
        <translation>序列 %1 正在執行。</translation>
    </message>
    <message>
        <source>There is no sequence %1.</source>
        <translation>沒有名為 %1 的序列。</translation>
    </message>
    <message>
        <source>the set %1 is gone</source>
        <translation>插座組 %1 已不存在</translation>
    </message>
    <message>
        <source>Step %1 (%2) failed: %3</source>
        <translation>第 %1 步（%2）失敗：%3</translation>
    </message>
    <message>
        <source>not every outlet showed the state</source>
        <translation>並非所有插座都顯示了該狀態</translation>
    </message>
    <message>
        <source>sequence %1</source>
        <translation>序列 %1</translation>
    </message>
    <message>
        <source>The outlets it switched off could not be switched back on: %1</source>
        <translation>它斷開的插座無法重新通電：%1</translation>
    </message>
    <message>
        <source>The program ended during step %1 (%2); the sequence was not continued.</source>
        <translation>程式在第 %1 步（%2）期間結束；序列未繼續執行。</translation>
    </message>
</context>
<context>
    <name>COutletSetDialog</name>
    <message>
        <source>New outlet set</source>
        <translation>新增插座組</translation>
    </message>
    <message>
        <source>Outlet set %1</source>
        <translation>插座組 %1</translation>
    </message>
    <message>
        <source>PDU and outlet</source>
        <translation>PDU 和插座</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC位址</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名稱</translation>
    </message>
    <message>
        <source>PDU not in the room</source>
        <translation>不在機房中的 PDU</translation>
    </message>
    <message>
        <source>Outlet</source>
        <translation>插座</translation>
    </message>
    <message>
        <source>A name is made of letters, digits and - _ . + @ : (no spaces, not starting with -), at most %1 characters.</source>
        <translation>名稱由字母、數字和 - _ . + @ : 組成（不含空格，不以 - 開頭），最多 %1 個字元。</translation>
    </message>
    <message>
        <source>Pick at least one outlet.</source>
        <translation>請至少選擇一個插座。</translation>
    </message>
    <message>
        <source>The set was not stored.</source>
        <translation>插座組未儲存。</translation>
    </message>
    <message>
        <source>info</source>
        <translation>提示</translation>
    </message>
</context>
<context>
    <name>COutletSets</name>
    <message>
        <source>sequence %1 needs 1 to %2 steps</source>
        <translation>序列 %1 需要 1 到 %2 個步驟</translation>
    </message>
    <message>
        <source>sequence %1, step %2: </source>
        <translation>序列 %1，第 %2 步：</translation>
    </message>
    <message>
        <source>the wait must be 0 to %1 s</source>
        <translation>等待時間須為 0 到 %1 秒</translation>
    </message>
    <message>
        <source>sequence %1 uses set %2 in step %3, and there is no such set</source>
        <translation>序列 %1 的第 %3 步使用插座組 %2，而該插座組不存在</translation>
    </message>
    <message>
        <source>%1 is no outlet</source>
        <translation>%1 不是插座</translation>
    </message>
    <message>
        <source>set %1 needs 1 to %2 outlets</source>
        <translation>插座組 %1 需要 1 到 %2 個插座</translation>
    </message>
    <message>
        <source>set %1: %2 is no outlet</source>
        <translation>插座組 %1：%2 不是插座</translation>
    </message>
    <message>
        <source>set %1 holds %2 twice</source>
        <translation>插座組 %1 兩次包含 %2</translation>
    </message>
    <message>
        <source>%1 is no name for a set</source>
        <translation>%1 不能用作插座組名稱</translation>
    </message>
    <message>
        <source>%1 is no name for a sequence</source>
        <translation>%1 不能用作序列名稱</translation>
    </message>
    <message>
        <source>it is no list of outlet sets</source>
        <translation>它不是插座組列表</translation>
    </message>
    <message>
        <source>there is no set %1</source>
        <translation>沒有插座組 %1</translation>
    </message>
</context>
<context>
    <name>COutletSetsWidget</name>
    <message>
        <source>question</source>
        <translation>詢問</translation>
    </message>
    <message>
        <source>%1

Switch them off anyway? The override is recorded in the event log.</source>
        <translation>%1

仍要斷開它們嗎？此次強制操作將記錄在事件日誌中。</translation>
    </message>
    <message>
        <source>info</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Outlet sets</source>
        <translation>插座組</translation>
    </message>
    <message>
        <source>Sequences</source>
        <translation>序列</translation>
    </message>
    <message>
        <source>Set and outlets</source>
        <translation>插座組及插座</translation>
    </message>
    <message>
        <source>State</source>
        <translation>狀態</translation>
    </message>
    <message>
        <source>Sequence and steps</source>
        <translation>序列及步驟</translation>
    </message>
    <message>
        <source>New set</source>
        <translation>新增插座組</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>編輯</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>刪除</translation>
    </message>
    <message>
        <source>On</source>
        <translation>通電</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>斷電</translation>
    </message>
    <message>
        <source>Power cycle</source>
        <translation>斷電重啟</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>New sequence</source>
        <translation>新增序列</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>執行</translation>
    </message>
    <message>
        <source>The outlet sets cannot be read: %1</source>
        <translation>無法讀取插座組：%1</translation>
    </message>
    <message>
        <source>%1 (not in the room)</source>
        <translation>%1（不在機房中）</translation>
    </message>
    <message>
        <source>A set named %1 exists already.</source>
        <translation>名為 %1 的插座組已存在。</translation>
    </message>
    <message>
        <source>A sequence named %1 exists already.</source>
        <translation>名為 %1 的序列已存在。</translation>
    </message>
    <message>
        <source>Remove the sequence %1?</source>
        <translation>刪除序列 %1？</translation>
    </message>
    <message>
        <source>Remove the outlet set %1?</source>
        <translation>刪除插座組 %1？</translation>
    </message>
    <message>
        <source>Power cycle the outlet set %1?</source>
        <translation>斷電重啟插座組 %1？</translation>
    </message>
    <message>
        <source>Switch the outlet set %1 off?</source>
        <translation>斷開插座組 %1？</translation>
    </message>
    <message>
        <source>Run the sequence %1?</source>
        <translation>執行序列 %1？</translation>
    </message>
</context>
<context>
    <name>COutletSettingsWidget</name>
    <message>
        <source>Ask before switching an outlet off</source>
        <translation>斷開插座前詢問</translation>
    </message>
</context>
<context>
    <name>COutletTimeline</name>
    <message>
        <source>unknown</source>
        <translation>未知</translation>
    </message>
</context>
<context>
    <name>CPowerEntries</name>
    <message>
        <source>Power and capacity</source>
        <translation>功率與容量</translation>
    </message>
</context>
<context>
    <name>CPowerWindow</name>
    <message>
        <source>Power and capacity</source>
        <translation>功率與容量</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>匯出</translation>
    </message>
    <message>
        <source>Group / PDU</source>
        <translation>分組 / PDU</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>位址</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>負載</translation>
    </message>
    <message>
        <source>Load against the group's budget; the tick marks the budget, the full width the breaker rating</source>
        <translation>負載相對於分組預算；刻度線為預算，整個寬度為斷路器額定值</translation>
    </message>
    <message>
        <source>Apparent power, volts times amperes</source>
        <translation>視在功率，電壓乘以電流</translation>
    </message>
    <message>
        <source>The breaker rating derated for continuous load</source>
        <translation>按持續負載降額後的斷路器額定值</translation>
    </message>
    <message>
        <source>Budget minus the load now</source>
        <translation>預算減去目前負載</translation>
    </message>
    <message>
        <source>Highest current in the last 24 hours; for a group, the highest sum of its PDUs' minute averages</source>
        <translation>最近 24 小時的最大電流；分組為其各 PDU 每分鐘平均值之和的最大值</translation>
    </message>
    <message>
        <source>95th percentile of the minute averages</source>
        <translation>每分鐘平均值的第 95 百分位數</translation>
    </message>
    <message>
        <source>Highest current in the last 30 days; for a group, the highest sum of its PDUs' hour averages</source>
        <translation>最近 30 天的最大電流；分組為其各 PDU 每小時平均值之和的最大值</translation>
    </message>
    <message>
        <source>95th percentile of the hour averages</source>
        <translation>每小時平均值的第 95 百分位數</translation>
    </message>
    <message>
        <source>Apparent energy since midnight</source>
        <translation>自零點起的視在電能</translation>
    </message>
    <message>
        <source>Apparent energy since the first of the month</source>
        <translation>自本月 1 日起的視在電能</translation>
    </message>
    <message>
        <source>Apparent energy of the whole last month</source>
        <translation>上月全月的視在電能</translation>
    </message>
    <message>
        <source>Part of this span was recorded before energy was kept</source>
        <translation>此時段有部分記錄早於開始記錄電能</translation>
    </message>
    <message>
        <source>Reading peaks and energy from the history...</source>
        <translation>正在從歷史記錄讀取峰值和電能……</translation>
    </message>
    <message>
        <source>The history could not be read: %1</source>
        <translation>無法讀取歷史記錄：%1</translation>
    </message>
    <message>
        <source>Peaks and energy as of %1; the load follows the devices each second.</source>
        <translation>峰值和電能截至 %1；負載每秒隨設備更新。</translation>
    </message>
    <message>
        <source>Now
(A)</source>
        <translation>目前
(A)</translation>
    </message>
    <message>
        <source>Now
(VA)</source>
        <translation>目前
(VA)</translation>
    </message>
    <message>
        <source>Budget
(A)</source>
        <translation>預算
(A)</translation>
    </message>
    <message>
        <source>Headroom
(A)</source>
        <translation>餘量
(A)</translation>
    </message>
    <message>
        <source>Today
(kVAh)</source>
        <translation>今日
(kVAh)</translation>
    </message>
    <message>
        <source>This month
(kVAh)</source>
        <translation>本月
(kVAh)</translation>
    </message>
    <message>
        <source>Last month
(kVAh)</source>
        <translation>上月
(kVAh)</translation>
    </message>
    <message>
        <source>Peak
24 h (A)</source>
        <translation>峰值
24 小時 (A)</translation>
    </message>
    <message>
        <source>95th pct
24 h (A)</source>
        <translation>P95
24 小時 (A)</translation>
    </message>
    <message>
        <source>Peak
30 d (A)</source>
        <translation>峰值
30 天 (A)</translation>
    </message>
    <message>
        <source>95th pct
30 d (A)</source>
        <translation>P95
30 天 (A)</translation>
    </message>
</context>
<context>
    <name>CReportExportDialog</name>
    <message>
        <source>Export monthly report</source>
        <translation>匯出月度報表</translation>
    </message>
    <message>
        <source>All groups</source>
        <translation>所有群組</translation>
    </message>
    <message>
        <source>CSV</source>
        <translation>CSV</translation>
    </message>
    <message>
        <source>PDF</source>
        <translation>PDF</translation>
    </message>
    <message>
        <source>Choose...</source>
        <translation>選擇...</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>匯出</translation>
    </message>
    <message>
        <source>Month</source>
        <translation>月份</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>群組</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>格式</translation>
    </message>
    <message>
        <source>File</source>
        <translation>檔案</translation>
    </message>
    <message>
        <source>Figures are apparent power and energy (VA, kVAh).</source>
        <translation>數值為視在功率與視在電能（VA、kVAh）。</translation>
    </message>
    <message>
        <source>PDF documents (*.pdf)</source>
        <translation>PDF 文件 (*.pdf)</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 檔案 (*.csv)</translation>
    </message>
    <message>
        <source>Choose a file to write.</source>
        <translation>請選擇要寫入的檔案。</translation>
    </message>
    <message>
        <source>The file could not be written: %1</source>
        <translation>無法寫入檔案：%1</translation>
    </message>
</context>
<context>
    <name>CSequenceDialog</name>
    <message>
        <source>New sequence</source>
        <translation>新增序列</translation>
    </message>
    <message>
        <source>Sequence %1</source>
        <translation>序列 %1</translation>
    </message>
    <message>
        <source>set %1</source>
        <translation>插座組 %1</translation>
    </message>
    <message>
        <source>%1 (not in the room)</source>
        <translation>%1（不在機房中）</translation>
    </message>
    <message>
        <source>Set or outlet</source>
        <translation>插座組或插座</translation>
    </message>
    <message>
        <source>Switch</source>
        <translation>切換</translation>
    </message>
    <message>
        <source>Then wait</source>
        <translation>之後等待</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名稱</translation>
    </message>
    <message>
        <source>Add step</source>
        <translation>新增步驟</translation>
    </message>
    <message>
        <source>Remove step</source>
        <translation>刪除步驟</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>上移</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>下移</translation>
    </message>
    <message>
        <source>on</source>
        <translation>通電</translation>
    </message>
    <message>
        <source>off</source>
        <translation>斷電</translation>
    </message>
    <message>
        <source>Add at least one step.</source>
        <translation>請至少新增一個步驟。</translation>
    </message>
    <message>
        <source>The sequence was not stored.</source>
        <translation>序列未儲存。</translation>
    </message>
    <message>
        <source>info</source>
        <translation>提示</translation>
    </message>
</context>
<context>
    <name>CSequenceProgressWidget</name>
    <message>
        <source>Step</source>
        <translation>步驟</translation>
    </message>
    <message>
        <source>State</source>
        <translation>狀態</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暫停</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>繼續</translation>
    </message>
    <message>
        <source>Cancel sequence</source>
        <translation>取消序列</translation>
    </message>
    <message>
        <source>%1. %2, then %3 s</source>
        <translation>%1. %2，之後等待 %3 秒</translation>
    </message>
    <message>
        <source>%1. %2</source>
        <translation>%1. %2</translation>
    </message>
    <message>
        <source>Sequence %1 completed: %2 steps.</source>
        <translation>序列 %1 已完成：共 %2 步。</translation>
    </message>
    <message>
        <source>Sequence %1 stopped: step %2 of %3 failed.</source>
        <translation>序列 %1 已停止：第 %2 步（共 %3 步）失敗。</translation>
    </message>
    <message>
        <source>Sequence %1 cancelled at step %2 of %3.</source>
        <translation>序列 %1 在第 %2 步（共 %3 步）被取消。</translation>
    </message>
    <message>
        <source>Sequence %1 was interrupted at step %2 of %3 and did not go on.</source>
        <translation>序列 %1 在第 %2 步（共 %3 步）被中斷，未繼續執行。</translation>
    </message>
    <message>
        <source>Sequence %1: step %2 of %3</source>
        <translation>序列 %1：第 %2 步，共 %3 步</translation>
    </message>
    <message>
        <source>Last step: the sequence ends in %1 s.</source>
        <translation>最後一步：序列將在 %1 秒後結束。</translation>
    </message>
    <message>
        <source>Next: %1 in %2 s.</source>
        <translation>下一步：%2 秒後 %1。</translation>
    </message>
    <message>
        <source>Paused: %1 s left before the next step.</source>
        <translation>已暫停：距下一步還剩 %1 秒。</translation>
    </message>
    <message>
        <source>Last step: waiting for the PDUs to show it.</source>
        <translation>最後一步：等待 PDU 顯示該狀態。</translation>
    </message>
    <message>
        <source>Waiting for the PDUs to show it; next: %1.</source>
        <translation>等待 PDU 顯示該狀態；下一步：%1。</translation>
    </message>
    <message>
        <source>done</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>switching</source>
        <translation>切換中</translation>
    </message>
    <message>
        <source>done, waiting</source>
        <translation>完成，等待中</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>失敗</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>interrupted</source>
        <translation>已中斷</translation>
    </message>
</context>
<context>
    <name>CSmtpConfigWidget</name>
    <message>
        <source>Account</source>
        <translation>帳號</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>密碼</translation>
    </message>
    <message>
        <source>Host</source>
        <translation>伺服器</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>連接埠</translation>
    </message>
    <message>
        <source>Receiver</source>
        <translation>收件人</translation>
    </message>
    <message>
        <source>SSL</source>
        <translation>SSL</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>測試</translation>
    </message>
    <message>
        <source>critical</source>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>Connect to host fail.</source>
        <translation>連線伺服器失敗。</translation>
    </message>
    <message>
        <source>Login fail.</source>
        <translation>登入失敗。</translation>
    </message>
    <message>
        <source>Send email fail.</source>
        <translation>傳送郵件失敗。</translation>
    </message>
    <message>
        <source>information</source>
        <translation>資訊</translation>
    </message>
    <message>
        <source>Send email ok.</source>
        <translation>傳送郵件成功。</translation>
    </message>
    <message>
        <source>STARTTLS</source>
        <translation>STARTTLS</translation>
    </message>
    <message>
        <source>Sender</source>
        <translation>寄件人</translation>
    </message>
    <message>
        <source>the account</source>
        <translation>同帳號</translation>
    </message>
    <message>
        <source>Allow the password without encryption</source>
        <translation>允許不加密傳送密碼</translation>
    </message>
    <message>
        <source>Sender address invalid.</source>
        <translation>寄件人位址無效。</translation>
    </message>
    <message>
        <source>A sender address holds an "@" and no spaces or line breaks; leave it empty to send from the account.</source>
        <translation>寄件人位址須含有「@」，且不含空白或換行符；留空則以帳號傳送。</translation>
    </message>
</context>
<context>
    <name>CSnmpConfigWidget</name>
    <message>
        <source>AgentSettings</source>
        <translation>代理設定</translation>
    </message>
    <message>
        <source>TrapSettings</source>
        <translation>陷阱設定</translation>
    </message>
    <message>
        <source>User</source>
        <translation>使用者</translation>
    </message>
    <message>
        <source>PortNum</source>
        <translation>連接埠號</translation>
    </message>
    <message>
        <source>Timeout</source>
        <translation>逾時</translation>
    </message>
    <message>
        <source>RetryTimes</source>
        <translation>重試次數</translation>
    </message>
    <message>
        <source>ProtocolVer</source>
        <translation>協定版本</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Publish the room</source>
        <translation>發佈機房</translation>
    </message>
    <message>
        <source>Publish every PDU, its sensors and outlets over SNMP</source>
        <translation>透過 SNMP 發佈每台 PDU 及其感測器和插座</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>模式</translation>
    </message>
    <message>
        <source>AgentX subagent of snmpd</source>
        <translation>snmpd 的 AgentX 子代理</translation>
    </message>
    <message>
        <source>AgentX socket</source>
        <translation>AgentX 通訊端</translation>
    </message>
    <message>
        <source>Serving: %1</source>
        <translation>正在提供服務：%1</translation>
    </message>
    <message>
        <source>Not serving yet: %1</source>
        <translation>尚未提供服務：%1</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>Not serving: %1</source>
        <translation>未提供服務：%1</translation>
    </message>
    <message>
        <source>This program does not publish the room</source>
        <translation>本程式不發佈機房</translation>
    </message>
    <message>
        <source>Own agent on the agent port (no snmpd)</source>
        <translation>代理連接埠上的自有代理（無 snmpd）</translation>
    </message>
    <message>
        <source>Authentication</source>
        <translation>認證</translation>
    </message>
    <message>
        <source>Auth passphrase</source>
        <translation>認證口令</translation>
    </message>
    <message>
        <source>Privacy</source>
        <translation>加密</translation>
    </message>
    <message>
        <source>Privacy passphrase</source>
        <translation>加密口令</translation>
    </message>
    <message>
        <source>None (no authentication, no privacy)</source>
        <translation>無（不認證，不加密）</translation>
    </message>
    <message>
        <source>None (authentication only)</source>
        <translation>無（僅認證）</translation>
    </message>
    <message>
        <source>Receivers</source>
        <translation>接收端</translation>
    </message>
    <message>
        <source>Notifications go to the receivers (host or host:port, separated by spaces) as informs, each waiting the agent's time-out, retried the agent's retry count; for v3 with the user above and the agent's SNMPv3 keys.</source>
        <translation>通知以 inform 形式傳送到接收端（主機或 主機:連接埠，以空格分隔），每次等待代理的逾時時間，並依代理的重試次數重試；v3 使用上面的使用者和代理的 SNMPv3 金鑰。</translation>
    </message>
    <message>
        <source>In AgentX mode snmpd sends the notifications to its own trap destinations (trap2sink, informsink or trapsess in snmpd.conf); the receivers here are not used.</source>
        <translation>在 AgentX 模式下，snmpd 將通知傳送到它自己的陷阱目標（snmpd.conf 中的 trap2sink、informsink 或 trapsess）；此處的接收端不會被使用。</translation>
    </message>
</context>
<context>
    <name>CSystemConfigWidget</name>
    <message>
        <source>SMTP</source>
        <translation>SMTP</translation>
    </message>
    <message>
        <source>SNMP</source>
        <translation>SNMP</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>告警</translation>
    </message>
    <message>
        <source>Metrics</source>
        <translation>監控指標</translation>
    </message>
    <message>
        <source>Outlets</source>
        <translation>插座</translation>
    </message>
</context>
<context>
    <name>CSystemTrayIcon</name>
    <message>
        <source>ShowMainDialog</source>
        <translation>顯示主視窗</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>結束</translation>
    </message>
    <message>
        <source>Rackmind</source>
        <translation>Rackmind</translation>
    </message>
    <message>
        <source>Unacknowledged alarms: %1</source>
        <translation>未確認告警：%1</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>另有 %1 條</translation>
    </message>
    <message>
        <source>New alarm</source>
        <translation>新告警</translation>
    </message>
    <message>
        <source>New alarms: %1</source>
        <translation>新告警：%1</translation>
    </message>
</context>
<context>
    <name>CTargetListWidget</name>
    <message>
        <source>PDUs behind routers, an address or subnet a line:</source>
        <translation>路由器後的PDU，每行一個位址或子網路：</translation>
    </message>
    <message>
        <source>Subnet sweep</source>
        <translation>子網路掃描</translation>
    </message>
    <message>
        <source> datagrams/s</source>
        <translation> 資料包/秒</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Polling by broadcast only.</source>
        <translation>僅透過廣播輪詢。</translation>
    </message>
    <message>
        <source>Also polling by unicast: %1.</source>
        <translation>同時透過單播輪詢：%1。</translation>
    </message>
    <message>
        <source>Cannot write %1.</source>
        <translation>無法寫入%1。</translation>
    </message>
</context>
<context>
    <name>CThresholdConfigWidget</name>
    <message>
        <source>CurrentWarnValue</source>
        <translation>電流告警值</translation>
    </message>
    <message>
        <source>CurrentOverloadValue</source>
        <translation>電流過載值</translation>
    </message>
    <message>
        <source>VoltageWarnValue</source>
        <translation>電壓告警值</translation>
    </message>
    <message>
        <source>VoltageOverloadValue</source>
        <translation>電壓過載值</translation>
    </message>
    <message>
        <source>TemperatureLowerLimit</source>
        <translation>溫度下限</translation>
    </message>
    <message>
        <source>TemperatureUpperLimit</source>
        <translation>溫度上限</translation>
    </message>
    <message>
        <source>HumidityWarnValue</source>
        <translation>濕度告警值</translation>
    </message>
</context>
<context>
    <name>GroupBudget</name>
    <message>
        <source>The breaker rating must be more than 0 A.</source>
        <translation>斷路器額定值必須大於 0 A。</translation>
    </message>
    <message>
        <source>A breaker rating over %1 A is not a rack circuit's: enter the rating of the breaker that feeds the group, in amperes.</source>
        <translation>超過 %1 A 的斷路器額定值不屬於機櫃迴路：請輸入為此群組供電的斷路器額定值（安培）。</translation>
    </message>
    <message>
        <source>The derating must be more than 0 % and at most 100 %.</source>
        <translation>降額必須大於 0 % 且不超過 100 %。</translation>
    </message>
</context>
<context>
    <name>HistoryUi</name>
    <message>
        <source>1 hour</source>
        <translation>1 小時</translation>
    </message>
    <message>
        <source>24 hours</source>
        <translation>24 小時</translation>
    </message>
    <message>
        <source>7 days</source>
        <translation>7 天</translation>
    </message>
    <message>
        <source>30 days</source>
        <translation>30 天</translation>
    </message>
    <message>
        <source>1 year</source>
        <translation>1 年</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>自訂</translation>
    </message>
    <message>
        <source>All</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>Appeared</source>
        <translation>出現</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>離線</translation>
    </message>
    <message>
        <source>Back online</source>
        <translation>恢復在線</translation>
    </message>
    <message>
        <source>Alarm began</source>
        <translation>告警開始</translation>
    </message>
    <message>
        <source>Alarm ended</source>
        <translation>告警結束</translation>
    </message>
    <message>
        <source>Alarm acknowledged</source>
        <translation>告警已確認</translation>
    </message>
    <message>
        <source>Outlet switched</source>
        <translation>插座開關</translation>
    </message>
    <message>
        <source>Outlet cycled</source>
        <translation>插座重啟</translation>
    </message>
    <message>
        <source>Settings downloaded</source>
        <translation>設定已下發</translation>
    </message>
    <message>
        <source>Mail sent</source>
        <translation>郵件已傳送</translation>
    </message>
    <message>
        <source>Mail failed</source>
        <translation>郵件傳送失敗</translation>
    </message>
    <message>
        <source>Monitoring started</source>
        <translation>開始監控</translation>
    </message>
    <message>
        <source>Monitoring stopped</source>
        <translation>停止監控</translation>
    </message>
    <message>
        <source>Voltage Warn</source>
        <translation>電壓告警</translation>
    </message>
    <message>
        <source>Voltage Overload</source>
        <translation>電壓過載</translation>
    </message>
    <message>
        <source>Current Warn</source>
        <translation>電流告警</translation>
    </message>
    <message>
        <source>Current Overload</source>
        <translation>電流過載</translation>
    </message>
    <message>
        <source>Temperature Warn</source>
        <translation>溫度告警</translation>
    </message>
    <message>
        <source>Humidity Warn</source>
        <translation>濕度告警</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名稱</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP位址</translation>
    </message>
    <message>
        <source>Subnet Mask</source>
        <translation>子網路遮罩</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>閘道</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>連接埠</translation>
    </message>
    <message>
        <source>Temperature Low</source>
        <translation>溫度下限</translation>
    </message>
    <message>
        <source>Temperature High</source>
        <translation>溫度上限</translation>
    </message>
    <message>
        <source>on</source>
        <translation>開</translation>
    </message>
    <message>
        <source>off</source>
        <translation>關</translation>
    </message>
    <message>
        <source>History is unavailable: no history store is running.</source>
        <translation>歷史記錄不可用：歷史儲存未執行。</translation>
    </message>
    <message>
        <source>History is unavailable: %1. The console goes on without it and records again once the file can be written.</source>
        <translation>歷史記錄不可用：%1。控制台照常執行，檔案可寫入後將恢復記錄。</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>匯出 CSV</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 檔案 (*.csv)</translation>
    </message>
    <message>
        <source>The file could not be written: %1</source>
        <translation>無法寫入檔案：%1</translation>
    </message>
    <message>
        <source>Outlet switch refused</source>
        <translation>插座開關被拒絕</translation>
    </message>
    <message>
        <source>Outlet protected</source>
        <translation>插座已保護</translation>
    </message>
    <message>
        <source>Outlet unprotected</source>
        <translation>插座已取消保護</translation>
    </message>
    <message>
        <source>Power cycle started</source>
        <translation>斷電重啟開始</translation>
    </message>
    <message>
        <source>Power cycle completed</source>
        <translation>斷電重啟完成</translation>
    </message>
    <message>
        <source>Power cycle failed</source>
        <translation>斷電重啟失敗</translation>
    </message>
    <message>
        <source>Power cycle cancelled</source>
        <translation>斷電重啟已取消</translation>
    </message>
    <message>
        <source>Group write</source>
        <translation>分組寫入</translation>
    </message>
    <message>
        <source>Clock changed</source>
        <translation>時鐘已調整</translation>
    </message>
    <message>
        <source>History samples dropped</source>
        <translation>歷史取樣已丟棄</translation>
    </message>
    <message>
        <source>Implausible reading</source>
        <translation>讀數不可信</translation>
    </message>
    <message>
        <source>set back</source>
        <translation>回撥</translation>
    </message>
    <message>
        <source>set forward</source>
        <translation>前撥</translation>
    </message>
    <message>
        <source>voltage</source>
        <translation>電壓</translation>
    </message>
    <message>
        <source>current</source>
        <translation>電流</translation>
    </message>
    <message>
        <source>the history could not be read</source>
        <translation>無法讀取歷史記錄</translation>
    </message>
    <message>
        <source>Group alarm began</source>
        <translation>群組警報開始</translation>
    </message>
    <message>
        <source>Group alarm ended</source>
        <translation>群組警報結束</translation>
    </message>
    <message>
        <source>Group alarm acknowledged</source>
        <translation>群組警報已確認</translation>
    </message>
    <message>
        <source>Group Load Over Budget</source>
        <translation>群組負載超出預算</translation>
    </message>
    <message>
        <source>Group Load At Breaker Rating</source>
        <translation>群組負載達到斷路器額定值</translation>
    </message>
</context>
<context>
    <name>LockedFile</name>
    <message>
        <source>%1 stays locked by another program</source>
        <translation>%1 一直被另一個程式鎖定</translation>
    </message>
    <message>
        <source>%1 is larger than %2 MiB</source>
        <translation>%1 大於 %2 MiB</translation>
    </message>
</context>
<context>
    <name>PollTargets</name>
    <message>
        <source>"%1" is not an IPv4 address or subnet (as 10.1.2.3 or 10.1.2.0/24)</source>
        <translation>「%1」不是IPv4位址或子網路（例如10.1.2.3或10.1.2.0/24）</translation>
    </message>
    <message>
        <source>"%1": the prefix length is 0 to 32</source>
        <translation>「%1」：前綴長度為0至32</translation>
    </message>
    <message>
        <source>%1 is too large to sweep: at most /%2 (%3 addresses)</source>
        <translation>%1過大，無法掃描：最多/%2（%3個位址）</translation>
    </message>
    <message>
        <source>%1 is not an address a PDU can have</source>
        <translation>%1不是PDU可用的位址</translation>
    </message>
    <message>
        <source>%1 left out: at most %2 entries and %3 swept addresses in all</source>
        <translation>已忽略%1：最多%2項，掃描位址共計最多%3個</translation>
    </message>
    <message>
        <source>sweep rate "%1" is not 1 to %2 datagrams a second</source>
        <translation>掃描速率「%1」不在每秒1至%2個資料包之間</translation>
    </message>
</context>
<context>
    <name>PortHolder</name>
    <message>
        <source>process %1 "%2", user %3</source>
        <translation>行程 %1「%2」，使用者 %3</translation>
    </message>
    <message>
        <source>user %1</source>
        <translation>使用者 %1</translation>
    </message>
    <message>
        <source>The Rackmind service is polling on this machine (%1) and holds the device port %2.</source>
        <translation>Rackmind 服務正在本機輪詢（%1），佔用著設備埠 %2。</translation>
    </message>
    <message>
        <source>A Rackmind console is polling on this machine (%1) and holds the device port %2.</source>
        <translation>一個 Rackmind 控制台正在本機輪詢（%1），佔用著設備埠 %2。</translation>
    </message>
    <message>
        <source>Another program on this machine (%1) holds the device port %2.</source>
        <translation>本機上的另一個程式（%1）佔用著設備埠 %2。</translation>
    </message>
    <message>
        <source>The device port %1 cannot be opened.</source>
        <translation>無法開啟設備埠 %1。</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Critical</source>
        <translation>嚴重錯誤</translation>
    </message>
    <message>
        <source>An instance has been run already.</source>
        <translation>程式已在執行。</translation>
    </message>
    <message>
        <source>Shared memory create fail.</source>
        <translation>共用記憶體建立失敗。</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登入</translation>
    </message>
    <message>
        <source>Rackmind</source>
        <translation>Rackmind</translation>
    </message>
</context>
<context>
    <name>RackmindCtl</name>
    <message>
        <source>the service %1 gave the same page of history again</source>
        <translation>服務 %1 再次給出了同一頁歷史資料</translation>
    </message>
    <message>
        <source>every user may read or change the credentials file %1: chmod o-rw %1</source>
        <translation>所有使用者都能讀取或修改憑證檔案 %1：請執行 chmod o-rw %1</translation>
    </message>
    <message>
        <source>no user or password in --service: give them in a --credentials file</source>
        <translation>--service 中不能含使用者名稱或密碼：請寫在 --credentials 檔案中</translation>
    </message>
    <message>
        <source>the password would cross the network unencrypted: use https:// for a service on another machine</source>
        <translation>密碼將以明文經過網路：存取其他機器上的服務請使用 https://</translation>
    </message>
    <message>
        <source>it sent more than %1 MiB</source>
        <translation>它傳送了超過 %1 MiB 的資料</translation>
    </message>
    <message>
        <source>the service %1 did not answer as its API does (HTTP %2, %3)</source>
        <translation>服務 %1 的回應不是其 API 的回應（HTTP %2，%3）</translation>
    </message>
    <message>
        <source>not an object</source>
        <translation>不是物件</translation>
    </message>
    <message>
        <source>no PDU answered on port(s) %1.
  PDUs that answer only port 51230 instead of the query's source port cannot be
  reached while the console or service holds that port; stop it and try
  --source-port 51230.</source>
        <translation>連接埠 %1 上沒有 PDU 回應。
  只回應 51230 連接埠（而非查詢來源連接埠）的 PDU，在主控台或服務佔用該連接埠時
  無法存取；請停止它們後嘗試 --source-port 51230。</translation>
    </message>
    <message>
        <source>no PDU "%1" answered</source>
        <translation>PDU「%1」沒有回應</translation>
    </message>
    <message>
        <source>outlet(s) %1 of %2 are protected; nothing was switched (--force overrides)</source>
        <translation>%2 的插座 %1 受保護；未切換任何插座（--force 可強制執行）</translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <translation>%1及%2</translation>
    </message>
    <message>
        <source>cannot read the protection list (%1); every outlet switched off is taken as protected</source>
        <translation>無法讀取保護清單（%1）；所有要關閉的插座均視為受保護</translation>
    </message>
    <message>
        <source>the override cannot be put on record (%1); nothing was switched</source>
        <translation>無法記錄此次強制操作（%1）；未切換任何插座</translation>
    </message>
    <message>
        <source>protected outlet(s) %1 of %2 switched by --force; on record in %3</source>
        <translation>%2 的受保護插座 %1 已透過 --force 切換；已記錄於%3</translation>
    </message>
    <message>
        <source>%1 is root's, in a folder others can write</source>
        <translation>%1 屬於 root，但所在資料夾可被其他使用者寫入</translation>
    </message>
    <message>
        <source>its owner (uid %1) cannot write it</source>
        <translation>其擁有者（uid %1）無法寫入</translation>
    </message>
    <message>
        <source>%1 cannot be read as its owner (uid %2)</source>
        <translation>無法以其擁有者（uid %2）的身分讀取 %1</translation>
    </message>
    <message>
        <source>no history store</source>
        <translation>沒有歷史記錄庫</translation>
    </message>
    <message>
        <source>%1 is not a regular file</source>
        <translation>%1 不是一般檔案</translation>
    </message>
    <message>
        <source>the event log of %1</source>
        <translation>%1 的事件日誌</translation>
    </message>
    <message>
        <source>the system journal (journalctl -t rackmind-ctl)</source>
        <translation>系統日誌（journalctl -t rackmind-ctl）</translation>
    </message>
    <message>
        <source>no journal at %1: %2</source>
        <translation>%1 處沒有系統日誌：%2</translation>
    </message>
    <message>
        <source>%1 did not show the outlets on in time</source>
        <translation>%1 未能及時顯示插座已開啟</translation>
    </message>
    <message>
        <source>%1 did not show the outlets off in time</source>
        <translation>%1 未能及時顯示插座已關閉</translation>
    </message>
    <message>
        <source>Discover the PDUs and print one line each (address, MAC, name, position, online, V, A, °C, %RH, outlets 1-8).</source>
        <translation>探索 PDU 並每台列印一行（位址、MAC、名稱、位置、在線、V、A、°C、%RH、插座 1-8）。</translation>
    </message>
    <message>
        <source>Everything known of one PDU: readings, thresholds, delays, outlet names.</source>
        <translation>一台 PDU 的全部資訊：讀數、閾值、延時、插座名稱。</translation>
    </message>
    <message>
        <source>Switch outlets (N: 1,3-5 or all) and wait until the PDU shows them so.</source>
        <translation>切換插座（N：1,3-5 或 all），並等待 PDU 顯示新狀態。</translation>
    </message>
    <message>
        <source>Usage: rackmind-ctl COMMAND [options]

PDU is an address, a MAC address or a name.

Commands:
</source>
        <translation>用法：rackmind-ctl 命令 [選項]

PDU 為位址、MAC 位址或名稱。

命令：
</translation>
    </message>
    <message>
        <source>Try rackmind-ctl --help.</source>
        <translation>請嘗試 rackmind-ctl --help。</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>未給出命令</translation>
    </message>
    <message>
        <source>unknown command "%1"</source>
        <translation>未知命令「%1」</translation>
    </message>
    <message>
        <source>Show this help.</source>
        <translation>顯示此說明。</translation>
    </message>
    <message>
        <source>Device port to poll (repeatable); default 51230, those in ./port.prt and those of this machine's service.</source>
        <translation>要輪詢的裝置連接埠（可重複）；預設為 51230、./port.prt 中的連接埠及本機服務輪詢的連接埠。</translation>
    </message>
    <message>
        <source>Local port to send from; default a free one.</source>
        <translation>傳送所用的本機連接埠；預設為一個空閒連接埠。</translation>
    </message>
    <message>
        <source>Seconds to wait for PDUs to answer (default 2).</source>
        <translation>等待 PDU 回應的秒數（預設 2）。</translation>
    </message>
    <message>
        <source>Seconds between off and on in a cycle (default 5).</source>
        <translation>循環中關閉與開啟之間的秒數（預設 5）。</translation>
    </message>
    <message>
        <source>Seconds to wait for the PDU to show the new state (default: its outlet delay + 5).</source>
        <translation>等待 PDU 顯示新狀態的秒數（預設：其插座延時 + 5）。</translation>
    </message>
    <message>
        <source>Switch protected outlets off too.</source>
        <translation>受保護的插座也關閉。</translation>
    </message>
    <message>
        <source>Print comma-separated values.</source>
        <translation>輸出逗號分隔值（CSV）。</translation>
    </message>
    <message>
        <source>Usage: rackmind-ctl %1 %2 [options]</source>
        <translation>用法：rackmind-ctl %1 %2 [選項]</translation>
    </message>
    <message>
        <source>%1 takes: %2</source>
        <translation>%1 的參數：%2</translation>
    </message>
    <message>
        <source>--wait takes seconds</source>
        <translation>--wait 的值為秒數</translation>
    </message>
    <message>
        <source>bad port "%1"</source>
        <translation>無效連接埠「%1」</translation>
    </message>
    <message>
        <source>bad source port</source>
        <translation>無效的來源連接埠</translation>
    </message>
    <message>
        <source>outlets are 1-8, as 1,3-5 or all</source>
        <translation>插座編號為 1-8，如 1,3-5 或 all</translation>
    </message>
    <message>
        <source>outlet action is on, off or cycle</source>
        <translation>插座操作為 on、off 或 cycle</translation>
    </message>
    <message>
        <source>cannot open %1</source>
        <translation>無法開啟 %1</translation>
    </message>
    <message>
        <source>  (is the console or the service running? leave out --source-port to use a free port)</source>
        <translation>  （主控台或服務是否正在執行？去掉 --source-port 即可使用空閒連接埠）</translation>
    </message>
    <message>
        <source>no running network interface with an IPv4 address</source>
        <translation>沒有帶 IPv4 位址的執行中網路介面</translation>
    </message>
    <message>
        <source>--from and --to take ISO 8601 times, the first before the second</source>
        <translation>--from 和 --to 為 ISO 8601 時間，前者早於後者</translation>
    </message>
    <message>
        <source>no history store at %1</source>
        <translation>%1 處沒有歷史資料儲存</translation>
    </message>
    <message>
        <source>no PDU in the history matches %1</source>
        <translation>歷史資料中沒有與 %1 相符的 PDU</translation>
    </message>
    <message>
        <source>%1 names several PDUs:</source>
        <translation>%1 對應多台 PDU：</translation>
    </message>
    <message>
        <source>Print the stored history of one PDU, the last 24 hours unless --from or --to say otherwise.</source>
        <translation>列印一台 PDU 的歷史記錄，預設最近 24 小時，除非 --from 或 --to 另行指定。</translation>
    </message>
    <message>
        <source>Print JSON instead of text.</source>
        <translation>以 JSON 代替文字輸出。</translation>
    </message>
    <message>
        <source>Start time: ISO 8601 local time or seconds since 1970 (default: 24 hours before --to).</source>
        <translation>開始時間：ISO 8601 本地時間或自 1970 年起的秒數（預設：--to 之前 24 小時）。</translation>
    </message>
    <message>
        <source>End time, as --from (default: now).</source>
        <translation>結束時間，格式同 --from（預設：現在）。</translation>
    </message>
    <message>
        <source>--csv and --json exclude each other</source>
        <translation>--csv 與 --json 不能同時使用</translation>
    </message>
    <message>
        <source>"%1" matches %2 PDUs; give the address one answers from:</source>
        <translation>「%1」符合 %2 台 PDU；請給出其應答所用的位址：</translation>
    </message>
    <message>
        <source>interrupted: switching the outlets back on</source>
        <translation>已中斷：正在重新接通插座</translation>
    </message>
    <message>
        <source>outlet %1: waiting for off</source>
        <translation>插座 %1：等待斷電</translation>
    </message>
    <message>
        <source>outlet %1: off seen, on in %2 s</source>
        <translation>插座 %1：已斷電，%2 秒後通電</translation>
    </message>
    <message>
        <source>%1 did not switch off outlet(s) %2; no "on" was sent</source>
        <translation>%1 未關閉插座 %2；未發送「通電」</translation>
    </message>
    <message>
        <source>cannot read the protection list (%1); nothing was switched (--force overrides)</source>
        <translation>無法讀取保護清單（%1）；未切換任何插座（--force 可強制）</translation>
    </message>
    <message>
        <source>--delay goes with cycle only</source>
        <translation>--delay 只能與 cycle 一起使用</translation>
    </message>
    <message>
        <source>--delay takes whole seconds from 1 to 600</source>
        <translation>--delay 取 1 到 600 的整數秒</translation>
    </message>
    <message>
        <source>--timeout takes seconds above 0</source>
        <translation>--timeout 取大於 0 的秒數</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>無法寫入 %1：%2</translation>
    </message>
    <message>
        <source>Print the monthly report from the history store: energy, peak, 95th percentile and hours over budget per group and PDU.</source>
        <translation>根據歷史資料儲存輸出月度報表：按群組與 PDU 列出電能、峰值、95 百分位與超預算小時數。</translation>
    </message>
    <message>
        <source>The calendar month in local time, as 2026-11 (required).</source>
        <translation>本地時間的日曆月，例如 2026-11（必填）。</translation>
    </message>
    <message>
        <source>Only this group and its PDUs.</source>
        <translation>僅此群組及其 PDU。</translation>
    </message>
    <message>
        <source>Comma-separated values, to standard output or to the FILE that follows.</source>
        <translation>逗號分隔值，輸出到標準輸出或其後的 FILE。</translation>
    </message>
    <message>
        <source>A PDF document written to the FILE that follows.</source>
        <translation>將 PDF 文件寫入其後的 FILE。</translation>
    </message>
    <message>
        <source>The history store to read (default: as history finds it).</source>
        <translation>要讀取的歷史資料儲存（預設：與 history 指令尋找方式相同）。</translation>
    </message>
    <message>
        <source>--csv and --pdf exclude each other</source>
        <translation>--csv 與 --pdf 不能同時使用</translation>
    </message>
    <message>
        <source>report needs --month YYYY-MM</source>
        <translation>report 需要 --month YYYY-MM</translation>
    </message>
    <message>
        <source>--month takes a month as YYYY-MM, as 2026-11</source>
        <translation>--month 的值為 YYYY-MM 格式的月份，例如 2026-11</translation>
    </message>
    <message>
        <source>report takes a FILE only after --csv or --pdf</source>
        <translation>report 僅在 --csv 或 --pdf 之後接受 FILE</translation>
    </message>
    <message>
        <source>--pdf needs a FILE to write</source>
        <translation>--pdf 需要要寫入的 FILE</translation>
    </message>
    <message>
        <source>PDF output needs the package rackmind-report-pdf</source>
        <translation>輸出 PDF 需要安裝 rackmind-report-pdf 套件</translation>
    </message>
    <message>
        <source>run by rackmind-ctl report --pdf</source>
        <translation>由 rackmind-ctl report --pdf 呼叫</translation>
    </message>
    <message>
        <source>step %1 of %2 (%3)</source>
        <translation>第 %1 步（共 %2 步，%3）</translation>
    </message>
    <message>
        <source>running at %1 (pid %2)</source>
        <translation>正在執行，位於%1（pid %2）</translation>
    </message>
    <message>
        <source>stopped at %1 on %2: the run ended before it finished and was not continued</source>
        <translation>於 %2 停在%1：執行在完成前結束，且未繼續</translation>
    </message>
    <message>
        <source>Try rackmind-ctl sequence --help.</source>
        <translation>請嘗試 rackmind-ctl sequence --help。</translation>
    </message>
    <message>
        <source>then %1 s</source>
        <translation>然後等待 %1 秒</translation>
    </message>
    <message>
        <source>sequence %1 is already running (pid %2)</source>
        <translation>序列 %1 已在執行（程序 %2）</translation>
    </message>
    <message>
        <source>%1; nothing was switched</source>
        <translation>%1；未切換任何插座</translation>
    </message>
    <message>
        <source>cannot write %1; nothing was switched</source>
        <translation>無法寫入 %1；未切換任何插座</translation>
    </message>
    <message>
        <source>step %1 of %2: %3, waiting for the PDUs to show it</source>
        <translation>第 %1 步（共 %2 步）：%3，等待 PDU 顯示該狀態</translation>
    </message>
    <message>
        <source>%1 did not show it in time</source>
        <translation>%1 未及時顯示該狀態</translation>
    </message>
    <message>
        <source>step %1 of %2 shown; next %3 in %4 s</source>
        <translation>第 %1 步（共 %2 步）已顯示；%4 秒後執行下一步 %3</translation>
    </message>
    <message>
        <source>interrupted at step %1 of %2: switching back on what the sequence switched off (%3)</source>
        <translation>在第 %1 步（共 %2 步）被中斷：重新開啟該序列關閉的插座（%3 個）</translation>
    </message>
    <message>
        <source>not every outlet showed on again</source>
        <translation>並非所有插座都重新顯示為開啟</translation>
    </message>
    <message>
        <source>sequence %1 stopped at step %2 of %3 (%4): %5</source>
        <translation>序列 %1 停在第 %2 步（共 %3 步，%4）：%5</translation>
    </message>
    <message>
        <source>"%1" is no name for a sequence: up to 48 letters, digits and -_.@, not a word of the command</source>
        <translation>「%1」不能用作序列名稱：最多 48 個字母、數字及 -_.@，且不能是命令中的詞</translation>
    </message>
    <message>
        <source>"%1" is no step: give SET,on|off[,WAIT] or MAC/N,on|off[,WAIT]</source>
        <translation>「%1」不是步驟：請給出 SET,on|off[,WAIT] 或 MAC/N,on|off[,WAIT]</translation>
    </message>
    <message>
        <source>there is no sequence %1</source>
        <translation>沒有序列 %1</translation>
    </message>
    <message>
        <source>sequence takes: list | show NAME | add NAME STEP... | remove NAME | run NAME</source>
        <translation>sequence 的用法：list | show NAME | add NAME STEP... | remove NAME | run NAME</translation>
    </message>
    <message>
        <source>%1 step(s)</source>
        <translation>%1 個步驟</translation>
    </message>
    <message>
        <source>sequence %1 last run: %2</source>
        <translation>序列 %1 上次執行：%2</translation>
    </message>
    <message>
        <source>Try rackmind-ctl set --help.</source>
        <translation>請嘗試 rackmind-ctl set --help。</translation>
    </message>
    <message>
        <source>set %1: waiting for every outlet to show off</source>
        <translation>插座組 %1：等待所有插座顯示為關閉</translation>
    </message>
    <message>
        <source>set %1: all off, on in %2 s</source>
        <translation>插座組 %1：已全部關閉，%2 秒後開啟</translation>
    </message>
    <message>
        <source>set %1: watching for a late off</source>
        <translation>插座組 %1：正在留意遲到的關閉</translation>
    </message>
    <message>
        <source>set %1: %2 did not switch off; no "on" was sent to it, and every outlet of the set that went off was switched back on</source>
        <translation>插座組 %1：%2 未關閉；未向其傳送「開」，且該組中已關閉的插座均已重新開啟</translation>
    </message>
    <message>
        <source>set %1: the outlets did not show on in time</source>
        <translation>插座組 %1：插座未及時顯示為開啟</translation>
    </message>
    <message>
        <source>cannot read the outlet sets (%1); nothing was switched</source>
        <translation>無法讀取插座組（%1）；未切換任何插座</translation>
    </message>
    <message>
        <source>the outlet sets were not changed: %1</source>
        <translation>插座組未變更：%1</translation>
    </message>
    <message>
        <source>nothing was switched</source>
        <translation>未切換任何插座</translation>
    </message>
    <message>
        <source>"%1" is no name for a set: up to 48 letters, digits and -_.@, not a word of the command</source>
        <translation>「%1」不能用作插座組名稱：最多 48 個字母、數字及 -_.@，且不能是命令中的詞</translation>
    </message>
    <message>
        <source>"%1" is no outlet: give MAC/N, as 02:50:44:00:00:01/3</source>
        <translation>「%1」不是插座：請給出 MAC/N，例如 02:50:44:00:00:01/3</translation>
    </message>
    <message>
        <source>sequence %1 uses set %2</source>
        <translation>序列 %1 使用插座組 %2</translation>
    </message>
    <message>
        <source>there is no set %1</source>
        <translation>沒有插座組 %1</translation>
    </message>
    <message>
        <source>set takes: list | show NAME | add NAME OUTLET... | remove NAME | NAME on|off|cycle</source>
        <translation>set 的用法：list | show NAME | add NAME OUTLET... | remove NAME | NAME on|off|cycle</translation>
    </message>
    <message>
        <source>The machine's outlet sets (OUTLET: MAC/N): list, show, add or remove them, or switch the outlets of one on, off or through a cycle together.</source>
        <translation>本機的插座組（OUTLET：MAC/N）：列出、顯示、新增或刪除插座組，或將一個插座組的插座一起開啟、關閉或重新啟動。</translation>
    </message>
    <message>
        <source>The machine's sequences (STEP: SET,on|off[,WAIT] or MAC/N,on|off[,WAIT]): list, show, add or remove them, or run one step by step.</source>
        <translation>本機的序列（STEP：SET,on|off[,WAIT] 或 MAC/N,on|off[,WAIT]）：列出、顯示、新增或刪除序列，或逐步執行一個序列。</translation>
    </message>
    <message>
        <source>Seconds between the last off seen and on in a cycle (default 5).</source>
        <translation>重新啟動時從最後一次看到關閉到開啟之間的秒數（預設 5）。</translation>
    </message>
    <message>
        <source>Find every PDU and check protection, print the steps, switch nothing.</source>
        <translation>尋找所有 PDU 並檢查保護，列印各步驟，不切換任何插座。</translation>
    </message>
    <message>
        <source>Address or subnet to poll by unicast beside the broadcast (repeatable), as 10.1.2.3 or 10.1.2.0/24 for PDUs behind a router; default those in ./target.prt and those of this machine's service.</source>
        <translation>除廣播外另以單播輪詢的位址或子網路（可重複），例如10.1.2.3或10.1.2.0/24，用於路由器後的PDU；預設為./target.prt中的以及本機服務的。</translation>
    </message>
    <message>
        <source>set %1 last cycle: %2</source>
        <translation>插座組 %1 上次循環：%2</translation>
    </message>
    <message>
        <source>--service takes the service's address as https://HOST:PORT</source>
        <translation>--service 取服務的位址，格式為 https://HOST:PORT</translation>
    </message>
    <message>
        <source>cannot read the credentials file %1</source>
        <translation>無法讀取憑證檔案 %1</translation>
    </message>
    <message>
        <source>the credentials file holds USER:PASSWORD on its first line</source>
        <translation>憑證檔案的第一行應為 USER:PASSWORD</translation>
    </message>
    <message>
        <source>no certificate in %1</source>
        <translation>%1 中沒有憑證</translation>
    </message>
    <message>
        <source>the service %1 did not answer: %2</source>
        <translation>服務 %1 沒有回應：%2</translation>
    </message>
    <message>
        <source>timed out</source>
        <translation>逾時</translation>
    </message>
    <message>
        <source>the service %1 refused: %2 %3</source>
        <translation>服務 %1 拒絕了請求：%2 %3</translation>
    </message>
    <message>
        <source>the service %1 knows no PDU that answers</source>
        <translation>服務 %1 不知道任何有回應的 PDU</translation>
    </message>
    <message>
        <source>Ask the service at this address (https://HOST:PORT) instead of the PDUs; default $RACKMIND_SERVICE.</source>
        <translation>向此位址（https://HOST:PORT）的服務查詢，而不是直接詢問 PDU；預設為 $RACKMIND_SERVICE。</translation>
    </message>
    <message>
        <source>File holding USER:PASSWORD for the service; default $RACKMIND_CREDENTIALS.</source>
        <translation>保存服務所用 USER:PASSWORD 的檔案；預設為 $RACKMIND_CREDENTIALS。</translation>
    </message>
    <message>
        <source>CA certificate the service's certificate is checked against.</source>
        <translation>用於驗證服務憑證的 CA 憑證。</translation>
    </message>
    <message>
        <source>paused at step %1 on the service</source>
        <translation>在服務上暫停於第 %1 步</translation>
    </message>
    <message>
        <source>running at step %1 on the service</source>
        <translation>在服務上執行到第 %1 步</translation>
    </message>
    <message>
        <source>--pdf reads the history store itself: use --csv through a service, or run it on the service's machine</source>
        <translation>--pdf 需要直接讀取歷史資料儲存：透過服務時請用 --csv，或在服務所在的機器上執行</translation>
    </message>
    <message>
        <source>the certificate of the service %1 was not accepted (%2); give its CA with --ca</source>
        <translation>服務 %1 的憑證未被接受（%2）；請用 --ca 指定其 CA</translation>
    </message>
    <message>
        <source>the service %1 did not take the credentials (%2)</source>
        <translation>服務 %1 不接受所給憑證（%2）</translation>
    </message>
    <message>
        <source>the service %1 refused the user: %2</source>
        <translation>服務 %1 拒絕了該使用者：%2</translation>
    </message>
    <message>
        <source>interrupted: the service carries the operation on; %1 tells how it goes</source>
        <translation>已中斷：服務會繼續執行該操作；%1 可查看進展</translation>
    </message>
    <message>
        <source>the service's event log</source>
        <translation>服務的事件日誌</translation>
    </message>
    <message>
        <source>through a service --force takes effect for sets and sequences only: put the outlet in a set and run set NAME %1 --force (the user needs the override role)</source>
        <translation>透過服務時 --force 只對插座組和序列有效：請把該插座放入一個插座組，再執行 set NAME %1 --force（使用者需要 override 角色）</translation>
    </message>
    <message>
        <source>sequence %1 stopped at step %2 of %3: %4</source>
        <translation>序列 %1 停在第 %2 步（共 %3 步）：%4</translation>
    </message>
    <message>
        <source>sequence %1 was not seen to finish in time</source>
        <translation>未在規定時間內看到序列 %1 結束</translation>
    </message>
    <message>
        <source>the service's API does not change sets or sequences: run rackmind-ctl %1 on the service's machine, without --service</source>
        <translation>服務的 API 不修改插座組或序列：請在服務所在的機器上執行 rackmind-ctl %1，不帶 --service</translation>
    </message>
    <message>
        <source>--%1 goes with the PDUs' own network, not with --service</source>
        <translation>--%1 用於 PDU 所在的網路，不能與 --service 同用</translation>
    </message>
    <message>
        <source>
`rackmind-ctl COMMAND --help` tells a command's options; --version the version.
Exit status: 0 done, 1 failure, 2 usage, 3 PDU not found, 4 no confirmation from
the PDU, 5 refused: protected outlet, 6 no history store, 7 the service did not
answer, 8 the service refused the user.
Every command goes through a service's API with --service URL
(or $RACKMIND_SERVICE).
</source>
        <translation>
`rackmind-ctl 命令 --help` 顯示該命令的選項；--version 顯示版本。
結束狀態：0 完成，1 失敗，2 用法錯誤，3 未找到 PDU，4 PDU 未確認，
5 拒絕：受保護插座，6 無歷史資料儲存，7 服務沒有應答，8 服務拒絕了該使用者。
每個命令都可以用 --service URL（或 $RACKMIND_SERVICE）透過服務的 API 執行。
</translation>
    </message>
</context>
<context>
    <name>SafeOpen</name>
    <message>
        <source>%1 is a symbolic link</source>
        <translation>%1 是符號連結</translation>
    </message>
    <message>
        <source>%1 is not a regular file</source>
        <translation>%1 不是一般檔案</translation>
    </message>
    <message>
        <source>%1 has more than one name (a hard link)</source>
        <translation>%1 有不止一個名稱（硬連結）</translation>
    </message>
    <message>
        <source>%1 belongs to another account (uid %2)</source>
        <translation>%1 屬於另一個帳號（uid %2）</translation>
    </message>
    <message>
        <source>%1 can be written by any account</source>
        <translation>任何帳號都可寫入 %1</translation>
    </message>
    <message>
        <source>%1 can be written by the group %2</source>
        <translation>群組 %2 可寫入 %1</translation>
    </message>
    <message>
        <source>%1 is missing from a folder another account can write</source>
        <translation>其他帳號可寫入的資料夾中缺少 %1</translation>
    </message>
</context>
<context>
    <name>SmtpFailure</name>
    <message>
        <source>no mail server set</source>
        <translation>未設定郵件伺服器</translation>
    </message>
    <message>
        <source>no connection to the mail server %1: %2</source>
        <translation>無法連線郵件伺服器 %1：%2</translation>
    </message>
    <message>
        <source>no connection to the mail server %1 within %2 s</source>
        <translation>%2 秒內無法連線郵件伺服器 %1</translation>
    </message>
    <message>
        <source>the TLS handshake with %1 failed: %2</source>
        <translation>與 %1 的 TLS 交握失敗：%2</translation>
    </message>
    <message>
        <source>the mail server %1 does not offer STARTTLS; nothing was sent unencrypted</source>
        <translation>郵件伺服器 %1 不支援 STARTTLS；未以明文傳送任何內容</translation>
    </message>
    <message>
        <source>no reply from the mail server to %1 within %2 s</source>
        <translation>郵件伺服器在 %2 秒內未回應 %1</translation>
    </message>
    <message>
        <source>the mail server closed the connection while the reply to %1 was awaited</source>
        <translation>等待 %1 的回應時郵件伺服器關閉了連線</translation>
    </message>
    <message>
        <source>the mail server's reply to %1 is unusable</source>
        <translation>郵件伺服器對 %1 的回應無法使用</translation>
    </message>
    <message>
        <source>the mail server refused the connection: %1</source>
        <translation>郵件伺服器拒絕連線：%1</translation>
    </message>
    <message>
        <source>the mail server refused EHLO: %1</source>
        <translation>郵件伺服器拒絕 EHLO：%1</translation>
    </message>
    <message>
        <source>the mail server refused STARTTLS: %1</source>
        <translation>郵件伺服器拒絕 STARTTLS：%1</translation>
    </message>
    <message>
        <source>the mail server refused the login: %1</source>
        <translation>郵件伺服器拒絕登入：%1</translation>
    </message>
    <message>
        <source>the mail server offers no login method this program knows: %1</source>
        <translation>郵件伺服器未提供本程式支援的登入方式：%1</translation>
    </message>
    <message>
        <source>the password would go unencrypted: choose SSL or STARTTLS, or allow an unencrypted password</source>
        <translation>密碼將以未加密方式傳送：請選擇 SSL 或 STARTTLS，或允許未加密的密碼</translation>
    </message>
    <message>
        <source>the mail server refused the sender %1: %2</source>
        <translation>郵件伺服器拒絕寄件人 %1：%2</translation>
    </message>
    <message>
        <source>the mail server refused the receiver %1: %2</source>
        <translation>郵件伺服器拒絕收件人 %1：%2</translation>
    </message>
    <message>
        <source>the mail server did not take the mail: %1</source>
        <translation>郵件伺服器未接收郵件：%1</translation>
    </message>
    <message>
        <source>no time left before the program ended</source>
        <translation>程式結束前時間不足</translation>
    </message>
    <message>
        <source>dropped: too many mails waiting for the server</source>
        <translation>已丟棄：等待送往伺服器的郵件過多</translation>
    </message>
    <message>
        <source>a line break in the account, receiver or subject</source>
        <translation>帳號、收件人或主旨中有換行符</translation>
    </message>
    <message>
        <source>no connection to the mail server</source>
        <translation>無法連線郵件伺服器</translation>
    </message>
    <message>
        <source>the mail server refused the login</source>
        <translation>郵件伺服器拒絕登入</translation>
    </message>
    <message>
        <source>the mail server did not take the mail</source>
        <translation>郵件伺服器未接收郵件</translation>
    </message>
    <message>
        <source>a line break or control character in the sender, receiver or subject</source>
        <translation>寄件人、收件人或主旨中有換行符或控制字元</translation>
    </message>
    <message>
        <source>no sender address: set a sender or an account</source>
        <translation>沒有寄件人地址：請設定寄件人或帳號</translation>
    </message>
</context>
</TS>
