<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW">
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
</context>
<context>
    <name>CDeviceControlWidget</name>
    <message>
        <source>Outlet</source>
        <translation>插座</translation>
    </message>
</context>
<context>
    <name>CDeviceOverviewWidget</name>
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
    <name>COutletNameConfigWidget</name>
    <message>
        <source>Outlet%1</source>
        <translation>插座%1</translation>
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
        <source>Console started</source>
        <translation>控制台啟動</translation>
    </message>
    <message>
        <source>Console stopped</source>
        <translation>控制台停止</translation>
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
        <source>no time left before the program ended</source>
        <translation>程式結束前時間不足</translation>
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
</TS>
