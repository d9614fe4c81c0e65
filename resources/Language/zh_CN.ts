<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CAlarmConfigWidget</name>
    <message>
        <source>Polls before an alarm counts</source>
        <translation>告警确认前的轮询次数</translation>
    </message>
    <message>
        <source>Clear margin (% of the limit)</source>
        <translation>解除回差（限值的百分比）</translation>
    </message>
    <message>
        <source>Mail when an alarm clears</source>
        <translation>告警解除时发送邮件</translation>
    </message>
    <message>
        <source>Combine alarms into one mail</source>
        <translation>将多条告警合并为一封邮件</translation>
    </message>
    <message>
        <source>Combining window (seconds)</source>
        <translation>合并时间窗口（秒）</translation>
    </message>
    <message>
        <source>Show a notification for a new alarm</source>
        <translation>新告警时显示通知</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Mail standing alarms again after a restart</source>
        <translation>重启后再次邮件通知仍在持续的告警</translation>
    </message>
</context>
<context>
    <name>CAlarmPanel</name>
    <message>
        <source>Voltage warning</source>
        <translation>电压告警</translation>
    </message>
    <message>
        <source>Voltage overload</source>
        <translation>电压过载</translation>
    </message>
    <message>
        <source>Current warning</source>
        <translation>电流告警</translation>
    </message>
    <message>
        <source>Current overload</source>
        <translation>电流过载</translation>
    </message>
    <message>
        <source>Temperature out of range</source>
        <translation>温度越限</translation>
    </message>
    <message>
        <source>Humidity warning</source>
        <translation>湿度告警</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>IPAddress</source>
        <translation>IP地址</translation>
    </message>
    <message>
        <source>Condition</source>
        <translation>告警条件</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>当前值</translation>
    </message>
    <message>
        <source>Limit</source>
        <translation>限值</translation>
    </message>
    <message>
        <source>Since</source>
        <translation>开始时间</translation>
    </message>
    <message>
        <source>Acknowledged</source>
        <translation>已确认</translation>
    </message>
    <message>
        <source>Acknowledge</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>Acknowledge all</source>
        <translation>全部确认</translation>
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
        <translation>%1 于 %2</translation>
    </message>
    <message>
        <source>Active alarms: %1, unacknowledged: %2</source>
        <translation>当前告警：%1，未确认：%2</translation>
    </message>
    <message>
        <source>Group load over budget</source>
        <translation>组负载超出预算</translation>
    </message>
    <message>
        <source>Group load at the breaker rating</source>
        <translation>组负载达到断路器额定值</translation>
    </message>
    <message>
        <source>Group %1</source>
        <translation>组 %1</translation>
    </message>
</context>
<context>
    <name>CConfigSubPage</name>
    <message>
        <source>The text is too long: the unit keeps at most %1 bytes here, and each character outside ASCII takes 2 to 4 of them.</source>
        <translation>文本过长：设备在此最多保存 %1 个字节，每个非 ASCII 字符占 2 至 4 个字节。</translation>
    </message>
</context>
<context>
    <name>CDelayConfigWidget</name>
    <message>
        <source>OpenDelay</source>
        <translation>开启延时</translation>
    </message>
    <message>
        <source>CloseDelay</source>
        <translation>关闭延时</translation>
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
        <translation>请输入正确的IP地址。</translation>
    </message>
    <message>
        <source>Please input a correct sub network mask.</source>
        <translation>请输入正确的子网掩码。</translation>
    </message>
    <message>
        <source>Please input a correct gateway address.</source>
        <translation>请输入正确的网关地址。</translation>
    </message>
    <message>
        <source>Please input a correct mac address.</source>
        <translation>请输入正确的MAC地址。</translation>
    </message>
    <message>
        <source>Please input pdu name.</source>
        <translation>请输入PDU名称。</translation>
    </message>
    <message>
        <source>Please input pdu location.</source>
        <translation>请输入PDU位置。</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Network</source>
        <translation>网络</translation>
    </message>
    <message>
        <source>Threshold</source>
        <translation>阈值</translation>
    </message>
    <message>
        <source>Delay</source>
        <translation>延时</translation>
    </message>
    <message>
        <source>OutletName</source>
        <translation>插座名称</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Apply to group…</source>
        <translation>应用到分组…</translation>
    </message>
    <message>
        <source>Another PDU answers from this ip address.</source>
        <translation>已有另一台PDU使用此IP地址应答。</translation>
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
        <translation>重试中</translation>
    </message>
    <message>
        <source>busy</source>
        <translation>进行中</translation>
    </message>
    <message>
        <source>waiting for off</source>
        <translation>等待断电</translation>
    </message>
    <message>
        <source>did not switch off</source>
        <translation>未能断电</translation>
    </message>
</context>
<context>
    <name>CDeviceOverviewWidget</name>
    <message>
        <source>Alarm, not acknowledged:</source>
        <translation>告警，未确认：</translation>
    </message>
    <message>
        <source>Alarm, acknowledged:</source>
        <translation>告警，已确认：</translation>
    </message>
    <message>
        <source>Offline: the readings are the last received.</source>
        <translation>离线：读数为最后收到的数值。</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>默认</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>分组</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>在线</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>IPAddress</source>
        <translation>IP地址</translation>
    </message>
    <message>
        <source>OutletStatus</source>
        <translation>插座状态</translation>
    </message>
    <message>
        <source>ProductType</source>
        <translation>产品型号</translation>
    </message>
    <message>
        <source>FirmwareVer</source>
        <translation>固件版本</translation>
    </message>
    <message>
        <source>Voltage(V)</source>
        <translation>电压(V)</translation>
    </message>
    <message>
        <source>Current(A)</source>
        <translation>电流(A)</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>温度</translation>
    </message>
    <message>
        <source>Humidity(RH%)</source>
        <translation>湿度(RH%)</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>离线</translation>
    </message>
</context>
<context>
    <name>CDivideGroupWidget</name>
    <message>
        <source>WaitDivide</source>
        <translation>未分组设备</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
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
        <translation>分组</translation>
    </message>
    <message>
        <source>+</source>
        <translation>+</translation>
    </message>
    <message>
        <source>Input a group name</source>
        <translation>输入分组名称</translation>
    </message>
    <message>
        <source>GroupName</source>
        <translation>分组名称</translation>
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
        <translation>所有类型</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>导出 CSV</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
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
        <translation>MAC地址</translation>
    </message>
    <message>
        <source>What</source>
        <translation>对象</translation>
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
        <translation>详情</translation>
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
        <translation>应用到分组</translation>
    </message>
    <message>
        <source>Thresholds</source>
        <translation>阈值</translation>
    </message>
    <message>
        <source>Delays</source>
        <translation>延时</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>IPAddress</source>
        <translation>IP地址</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>分组</translation>
    </message>
    <message>
        <source>Waiting for the devices to confirm...</source>
        <translation>正在等待设备确认...</translation>
    </message>
    <message>
        <source>Written, waiting</source>
        <translation>已写入，等待确认</translation>
    </message>
    <message>
        <source>Confirmed</source>
        <translation>已确认</translation>
    </message>
    <message>
        <source>Not confirmed</source>
        <translation>未确认</translation>
    </message>
    <message>
        <source>Offline, not written</source>
        <translation>离线，未写入</translation>
    </message>
    <message>
        <source>%1 of %2 confirmed.</source>
        <translation>%2 台中 %1 台已确认。</translation>
    </message>
    <message>
        <source>Offline: %1</source>
        <translation>离线：%1</translation>
    </message>
    <message>
        <source>Not confirmed: %1</source>
        <translation>未确认：%1</translation>
    </message>
</context>
<context>
    <name>CGroupBudgetWidget</name>
    <message>
        <source>Breaker (A)</source>
        <translation>断路器 (A)</translation>
    </message>
    <message>
        <source>Derating (%)</source>
        <translation>降额 (%)</translation>
    </message>
    <message>
        <source>Apply budget</source>
        <translation>应用预算</translation>
    </message>
    <message>
        <source>Clear budget</source>
        <translation>清除预算</translation>
    </message>
    <message>
        <source>The Default group has no budget.</source>
        <translation>Default 组没有预算。</translation>
    </message>
    <message>
        <source>Budget: %1 A (%2 % of a %3 A breaker)</source>
        <translation>预算：%1 A（%3 A 断路器的 %2 %）</translation>
    </message>
    <message>
        <source>No budget: the group's load raises no alarm.</source>
        <translation>无预算：该组的负载不会引发告警。</translation>
    </message>
</context>
<context>
    <name>CGroupConfigWidget</name>
    <message>
        <source>DevideGroup</source>
        <translation>设备分组</translation>
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
        <translation>历史</translation>
    </message>
</context>
<context>
    <name>CHistoryStore</name>
    <message>
        <source>a folder stands where the history file belongs: %1</source>
        <translation>历史文件的位置上是一个文件夹：%1</translation>
    </message>
    <message>
        <source>the history file %1 cannot be opened</source>
        <translation>无法打开历史文件 %1</translation>
    </message>
    <message>
        <source>the history file %1 cannot be read</source>
        <translation>无法读取历史文件 %1</translation>
    </message>
    <message>
        <source>the history file %1 was written by a newer version of Rackmind; it is left as it is</source>
        <translation>历史文件 %1 由更新版本的 Rackmind 写入，保持原样不动</translation>
    </message>
    <message>
        <source>the history file %1 cannot be written</source>
        <translation>无法写入历史文件 %1</translation>
    </message>
</context>
<context>
    <name>CHistoryWindow</name>
    <message>
        <source>History of %1</source>
        <translation>%1 的历史</translation>
    </message>
    <message>
        <source>Span</source>
        <translation>时间范围</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>显示</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>导出 CSV</translation>
    </message>
    <message>
        <source>Voltage (V)</source>
        <translation>电压 (V)</translation>
    </message>
    <message>
        <source>Current (A)</source>
        <translation>电流 (A)</translation>
    </message>
    <message>
        <source>Humidity (%RH)</source>
        <translation>湿度 (%RH)</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>PDU</source>
        <translation>PDU</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC地址</translation>
    </message>
    <message>
        <source>Voltage min</source>
        <translation>电压最小值</translation>
    </message>
    <message>
        <source>Voltage avg</source>
        <translation>电压平均值</translation>
    </message>
    <message>
        <source>Voltage max</source>
        <translation>电压最大值</translation>
    </message>
    <message>
        <source>Current min</source>
        <translation>电流最小值</translation>
    </message>
    <message>
        <source>Current avg</source>
        <translation>电流平均值</translation>
    </message>
    <message>
        <source>Current max</source>
        <translation>电流最大值</translation>
    </message>
    <message>
        <source>Temperature min</source>
        <translation>温度最小值</translation>
    </message>
    <message>
        <source>Temperature avg</source>
        <translation>温度平均值</translation>
    </message>
    <message>
        <source>Temperature max</source>
        <translation>温度最大值</translation>
    </message>
    <message>
        <source>Humidity min</source>
        <translation>湿度最小值</translation>
    </message>
    <message>
        <source>Humidity avg</source>
        <translation>湿度平均值</translation>
    </message>
    <message>
        <source>Humidity max</source>
        <translation>湿度最大值</translation>
    </message>
    <message>
        <source>Outlets</source>
        <translation>插座</translation>
    </message>
    <message>
        <source>Online polls</source>
        <translation>在线轮询次数</translation>
    </message>
    <message>
        <source>Polls</source>
        <translation>轮询次数</translation>
    </message>
    <message>
        <source>Temperature (°C)</source>
        <translation>温度 (°C)</translation>
    </message>
    <message>
        <source>Apparent power (VA); where energy was not kept yet, average volts times average amperes</source>
        <translation>视在功率 (VA)；未记录电能的时段为平均电压乘以平均电流</translation>
    </message>
    <message>
        <source>Apparent power (VA)</source>
        <translation>视在功率 (VA)</translation>
    </message>
</context>
<context>
    <name>CLoginDialog</name>
    <message>
        <source>Account</source>
        <translation>账号</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>密码</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登录</translation>
    </message>
    <message>
        <source>KeepPassword</source>
        <translation>记住密码</translation>
    </message>
    <message>
        <source>AutoLogin</source>
        <translation>自动登录</translation>
    </message>
    <message>
        <source>Please input account and password</source>
        <translation>请输入账号和密码</translation>
    </message>
    <message>
        <source>Account or password is mistake</source>
        <translation>账号或密码错误</translation>
    </message>
    <message>
        <source>Scanning pdu in local network...</source>
        <translation>正在扫描本地网络中的PDU...</translation>
    </message>
    <message>
        <source>Fail to open udp port</source>
        <translation>无法打开UDP端口</translation>
    </message>
    <message>
        <source>This console can poll from a free port beside it: PDUs that answer the port a query came from are shown and switched as usual; PDUs that answer only port %1 are not seen until it is closed.

Poll from a free port?</source>
        <translation>本控制台可以在其旁边使用一个空闲端口轮询：按查询来源端口应答的 PDU 照常显示和开关；只应答端口 %1 的 PDU 在其关闭之前无法看到。

是否使用空闲端口轮询？</translation>
    </message>
    <message>
        <source>Device port in use</source>
        <translation>设备端口已被占用</translation>
    </message>
</context>
<context>
    <name>CMainDialog</name>
    <message>
        <source>ChangeLanguage</source>
        <translation>切换语言</translation>
    </message>
    <message>
        <source>ModifyAccount</source>
        <translation>修改账户</translation>
    </message>
    <message>
        <source>DeviceOverview</source>
        <translation>设备总览</translation>
    </message>
    <message>
        <source>DeviceConfig</source>
        <translation>设备配置</translation>
    </message>
    <message>
        <source>GroupConfig</source>
        <translation>分组配置</translation>
    </message>
    <message>
        <source>SystemConfig</source>
        <translation>系统配置</translation>
    </message>
</context>
<context>
    <name>CMainStatusWidget</name>
    <message>
        <source>Summarise</source>
        <translation>概况</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>总数</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>在线</translation>
    </message>
    <message>
        <source>Abnormal</source>
        <translation>异常</translation>
    </message>
    <message>
        <source>DeviceControl</source>
        <translation>设备控制</translation>
    </message>
</context>
<context>
    <name>CMetricsConfigWidget</name>
    <message>
        <source>Serve metrics for Prometheus</source>
        <translation>为 Prometheus 提供监控指标</translation>
    </message>
    <message>
        <source>Listen address</source>
        <translation>监听地址</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Metrics are off.</source>
        <translation>监控指标已关闭。</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Please input a correct listen address.</source>
        <translation>请输入正确的监听地址。</translation>
    </message>
    <message>
        <source>TLS and password file</source>
        <translation>TLS 与密码文件</translation>
    </message>
    <message>
        <source>none: plain HTTP, no password</source>
        <translation>不填：普通 HTTP，无密码</translation>
    </message>
    <message>
        <source>Serving %1</source>
        <translation>正在提供 %1</translation>
    </message>
    <message>
        <source>Cannot serve on %1: %2. The console runs on without metrics.</source>
        <translation>无法在 %1 上提供服务：%2。控制台将继续运行，但不提供监控指标。</translation>
    </message>
</context>
<context>
    <name>CModifyAccountDialog</name>
    <message>
        <source>OriAccount</source>
        <translation>原账号</translation>
    </message>
    <message>
        <source>OriPassword</source>
        <translation>原密码</translation>
    </message>
    <message>
        <source>CurAccount</source>
        <translation>新账号</translation>
    </message>
    <message>
        <source>CurPassword</source>
        <translation>新密码</translation>
    </message>
    <message>
        <source>CurPasswordAck</source>
        <translation>确认新密码</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Please input original account.</source>
        <translation>请输入原账号。</translation>
    </message>
    <message>
        <source>Please input original password.</source>
        <translation>请输入原密码。</translation>
    </message>
    <message>
        <source>Please input new account.</source>
        <translation>请输入新账号。</translation>
    </message>
    <message>
        <source>Please input new password.</source>
        <translation>请输入新密码。</translation>
    </message>
    <message>
        <source>Please input new password acknowledge.</source>
        <translation>请再次输入新密码以确认。</translation>
    </message>
    <message>
        <source>Password ack is not equal to password.</source>
        <translation>两次输入的新密码不一致。</translation>
    </message>
    <message>
        <source>Original account or password is incorrect.</source>
        <translation>原账号或密码不正确。</translation>
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
        <translation>月度报表 %1</translation>
    </message>
    <message>
        <source>No readings in this month.</source>
        <translation>本月无读数。</translation>
    </message>
    <message>
        <source>Page %1 of %2</source>
        <translation>第 %1 页，共 %2 页</translation>
    </message>
    <message>
        <source>cannot draw the document</source>
        <translation>无法绘制文档</translation>
    </message>
    <message>
        <source>a month is YYYY-MM, as 2026-11</source>
        <translation>月份格式为 YYYY-MM，例如 2026-11</translation>
    </message>
    <message>
        <source>no group "%1" in the history</source>
        <translation>历史记录中没有组“%1”</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>组</translation>
    </message>
    <message>
        <source>PDU</source>
        <translation>PDU</translation>
    </message>
    <message>
        <source>Energy (kVAh)</source>
        <translation>电能 (kVAh)</translation>
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
        <translation>超预算小时数</translation>
    </message>
    <message>
        <source>Hours read</source>
        <translation>有读数小时数</translation>
    </message>
    <message>
        <source>Apparent power and energy (VA, kVAh): these PDUs measure volts and amperes, not watts. Peak and 95th percentile are of hourly figures; a group's load is the sum of its PDUs' hourly averages. A PDU's hours over budget are its group's, while it was in the group. * part of the month was recorded before energy was kept: the figure is incomplete.</source>
        <translation>视在功率与视在电能（VA、kVAh）：这些 PDU 测量的是伏特和安培，而非瓦特。峰值和 95 百分位按小时数值计算；组负载为组内各 PDU 小时平均电流之和。PDU 的超预算小时数是其所在组在其属于该组期间的超预算小时数。* 本月部分数据记录于开始保存电能之前：该数值不完整。</translation>
    </message>
</context>
<context>
    <name>CNetworkConfigWidget</name>
    <message>
        <source>IP</source>
        <translation>IP地址</translation>
    </message>
    <message>
        <source>SubNetMask</source>
        <translation>子网掩码</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>网关</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC地址</translation>
    </message>
    <message>
        <source>UDP Port</source>
        <translation>UDP端口</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
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
        <translation>%2 的 %1 受保护：取消保护之前，无法在本控制台将其断开或断电重启。</translation>
    </message>
    <message>
        <source>Power cycle %1 of %2?</source>
        <translation>断电重启 %2 的 %1？</translation>
    </message>
    <message>
        <source>Switch %1 of %2 off?</source>
        <translation>断开 %2 的 %1？</translation>
    </message>
    <message>
        <source>question</source>
        <translation>询问</translation>
    </message>
    <message>
        <source>%1 is being power cycled.</source>
        <translation>%1 正在断电重启。</translation>
    </message>
    <message>
        <source>Power cycle outlet</source>
        <translation>断电重启插座</translation>
    </message>
    <message>
        <source>Protected</source>
        <translation>受保护</translation>
    </message>
    <message>
        <source>Protected outlets</source>
        <translation>受保护的插座</translation>
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
        <translation>%2 的 %1 暂时不能关闭：设备尚未报告其 MAC 地址，无法确定它是否受保护。</translation>
    </message>
    <message>
        <source>Cancel power cycle (switch back on)</source>
        <translation>取消断电重启（重新通电）</translation>
    </message>
    <message>
        <source>%1 was not power cycled: the console cannot record the cycle in %2, and would leave the outlet off if it ended before the cycle did.</source>
        <translation>%1 未执行断电重启：控制台无法在 %2 中记录此次重启，若控制台在重启完成前退出，插座将保持断电。</translation>
    </message>
    <message>
        <source>%1 of %2 was not switched: another PDU answers from the same address, and the command could reach that one instead. Give one of them an address of its own first.</source>
        <translation>%2 的%1未切换：另一台 PDU 从同一地址应答，命令可能会送达那一台。请先为其中一台设置独立的地址。</translation>
    </message>
</context>
<context>
    <name>COutletControl</name>
    <message>
        <source>The device has not told its MAC address yet.</source>
        <translation>设备尚未报告其 MAC 地址。</translation>
    </message>
    <message>
        <source>The protection list cannot be written: %1</source>
        <translation>无法写入保护列表：%1</translation>
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
        <translation>受保护</translation>
    </message>
</context>
<context>
    <name>COutletSetControl</name>
    <message>
        <source>on</source>
        <translation>通电</translation>
    </message>
    <message>
        <source>off</source>
        <translation>断电</translation>
    </message>
    <message>
        <source>set %1 %2</source>
        <translation>插座组 %1 %2</translation>
    </message>
    <message>
        <source>outlet %1</source>
        <translation>插座 %1</translation>
    </message>
    <message>
        <source>unfinished, waiting for its PDUs</source>
        <translation>未完成，等待其 PDU 应答</translation>
    </message>
    <message>
        <source>switching on: %1 of %2 on</source>
        <translation>正在通电：%2 个中 %1 个已通电</translation>
    </message>
    <message>
        <source>switching off: %1 of %2 off</source>
        <translation>正在断电：%2 个中 %1 个已断电</translation>
    </message>
    <message>
        <source>cycling: %1 of %2 seen off</source>
        <translation>断电重启中：%2 个中 %1 个已见断电</translation>
    </message>
    <message>
        <source>cycling: on in %1 s</source>
        <translation>断电重启中：%1 秒后通电</translation>
    </message>
    <message>
        <source>bringing the power back</source>
        <translation>正在恢复供电</translation>
    </message>
    <message>
        <source>cycling: on sent</source>
        <translation>断电重启中：已发送通电</translation>
    </message>
    <message>
        <source>The PDU %1 of outlet %2 is not in the room: nothing was switched.</source>
        <translation>插座 %2 所在的 PDU %1 不在机房中：未切换任何插座。</translation>
    </message>
    <message>
        <source>Two PDUs report the MAC %1: nothing was switched.</source>
        <translation>两台 PDU 报告了同一 MAC %1：未切换任何插座。</translation>
    </message>
    <message>
        <source>The PDU %1 is offline: nothing was switched.</source>
        <translation>PDU %1 离线：未切换任何插座。</translation>
    </message>
    <message>
        <source>Another PDU answers from the address of %1: nothing was switched.</source>
        <translation>另一台 PDU 也从 %1 的地址应答：未切换任何插座。</translation>
    </message>
    <message>
        <source>Outlet %1 of %2 is being switched or cycled: nothing was switched.</source>
        <translation>%2 的插座 %1 正在切换或断电重启：未切换任何插座。</translation>
    </message>
    <message>
        <source>%1 has no outlets.</source>
        <translation>%1 没有插座。</translation>
    </message>
    <message>
        <source>The protection list %1 cannot be read, so what is protected cannot be told: nothing was switched off.</source>
        <translation>无法读取保护列表 %1，无法判断哪些插座受保护：未断开任何插座。</translation>
    </message>
    <message>
        <source>outlet %1 of %2</source>
        <translation>%2 的插座 %1</translation>
    </message>
    <message>
        <source>Protected in %1: %2.</source>
        <translation>%1 中受保护的插座：%2。</translation>
    </message>
    <message>
        <source>The cycle journal %1 cannot be written: nothing was switched.</source>
        <translation>无法写入断电重启日志 %1：未切换任何插座。</translation>
    </message>
    <message>
        <source>The outlet sets cannot be read (%1): nothing was switched.</source>
        <translation>无法读取插座组（%1）：未切换任何插座。</translation>
    </message>
    <message>
        <source>There is no outlet set %1.</source>
        <translation>没有名为 %1 的插座组。</translation>
    </message>
    <message>
        <source>The sequence %1 is running.</source>
        <translation>序列 %1 正在运行。</translation>
    </message>
    <message>
        <source>There is no sequence %1.</source>
        <translation>没有名为 %1 的序列。</translation>
    </message>
    <message>
        <source>the set %1 is gone</source>
        <translation>插座组 %1 已不存在</translation>
    </message>
    <message>
        <source>Step %1 (%2) failed: %3</source>
        <translation>第 %1 步（%2）失败：%3</translation>
    </message>
    <message>
        <source>not every outlet showed the state</source>
        <translation>并非所有插座都显示了该状态</translation>
    </message>
    <message>
        <source>sequence %1</source>
        <translation>序列 %1</translation>
    </message>
    <message>
        <source>The outlets it switched off could not be switched back on: %1</source>
        <translation>它断开的插座无法重新通电：%1</translation>
    </message>
    <message>
        <source>The program ended during step %1 (%2); the sequence was not continued.</source>
        <translation>程序在第 %1 步（%2）期间结束；序列未继续执行。</translation>
    </message>
</context>
<context>
    <name>COutletSetDialog</name>
    <message>
        <source>New outlet set</source>
        <translation>新建插座组</translation>
    </message>
    <message>
        <source>Outlet set %1</source>
        <translation>插座组 %1</translation>
    </message>
    <message>
        <source>PDU and outlet</source>
        <translation>PDU 和插座</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC地址</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>PDU not in the room</source>
        <translation>不在机房中的 PDU</translation>
    </message>
    <message>
        <source>Outlet</source>
        <translation>插座</translation>
    </message>
    <message>
        <source>A name is made of letters, digits and - _ . + @ : (no spaces, not starting with -), at most %1 characters.</source>
        <translation>名称由字母、数字和 - _ . + @ : 组成（不含空格，不以 - 开头），最多 %1 个字符。</translation>
    </message>
    <message>
        <source>Pick at least one outlet.</source>
        <translation>请至少选择一个插座。</translation>
    </message>
    <message>
        <source>The set was not stored.</source>
        <translation>插座组未保存。</translation>
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
        <translation>序列 %1 需要 1 到 %2 个步骤</translation>
    </message>
    <message>
        <source>sequence %1, step %2: </source>
        <translation>序列 %1，第 %2 步：</translation>
    </message>
    <message>
        <source>the wait must be 0 to %1 s</source>
        <translation>等待时间须为 0 到 %1 秒</translation>
    </message>
    <message>
        <source>sequence %1 uses set %2 in step %3, and there is no such set</source>
        <translation>序列 %1 的第 %3 步使用插座组 %2，而该插座组不存在</translation>
    </message>
    <message>
        <source>%1 is no outlet</source>
        <translation>%1 不是插座</translation>
    </message>
    <message>
        <source>set %1 needs 1 to %2 outlets</source>
        <translation>插座组 %1 需要 1 到 %2 个插座</translation>
    </message>
    <message>
        <source>set %1: %2 is no outlet</source>
        <translation>插座组 %1：%2 不是插座</translation>
    </message>
    <message>
        <source>set %1 holds %2 twice</source>
        <translation>插座组 %1 两次包含 %2</translation>
    </message>
    <message>
        <source>%1 is no name for a set</source>
        <translation>%1 不能用作插座组名称</translation>
    </message>
    <message>
        <source>%1 is no name for a sequence</source>
        <translation>%1 不能用作序列名称</translation>
    </message>
    <message>
        <source>it is no list of outlet sets</source>
        <translation>它不是插座组列表</translation>
    </message>
    <message>
        <source>there is no set %1</source>
        <translation>没有插座组 %1</translation>
    </message>
</context>
<context>
    <name>COutletSetsWidget</name>
    <message>
        <source>question</source>
        <translation>询问</translation>
    </message>
    <message>
        <source>%1

Switch them off anyway? The override is recorded in the event log.</source>
        <translation>%1

仍然断开它们吗？此次强制操作将记录在事件日志中。</translation>
    </message>
    <message>
        <source>info</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Outlet sets</source>
        <translation>插座组</translation>
    </message>
    <message>
        <source>Sequences</source>
        <translation>序列</translation>
    </message>
    <message>
        <source>Set and outlets</source>
        <translation>插座组及插座</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Sequence and steps</source>
        <translation>序列及步骤</translation>
    </message>
    <message>
        <source>New set</source>
        <translation>新建插座组</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>On</source>
        <translation>通电</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>断电</translation>
    </message>
    <message>
        <source>Power cycle</source>
        <translation>断电重启</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>New sequence</source>
        <translation>新建序列</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>运行</translation>
    </message>
    <message>
        <source>The outlet sets cannot be read: %1</source>
        <translation>无法读取插座组：%1</translation>
    </message>
    <message>
        <source>%1 (not in the room)</source>
        <translation>%1（不在机房中）</translation>
    </message>
    <message>
        <source>A set named %1 exists already.</source>
        <translation>名为 %1 的插座组已存在。</translation>
    </message>
    <message>
        <source>A sequence named %1 exists already.</source>
        <translation>名为 %1 的序列已存在。</translation>
    </message>
    <message>
        <source>Remove the sequence %1?</source>
        <translation>删除序列 %1？</translation>
    </message>
    <message>
        <source>Remove the outlet set %1?</source>
        <translation>删除插座组 %1？</translation>
    </message>
    <message>
        <source>Power cycle the outlet set %1?</source>
        <translation>断电重启插座组 %1？</translation>
    </message>
    <message>
        <source>Switch the outlet set %1 off?</source>
        <translation>断开插座组 %1？</translation>
    </message>
    <message>
        <source>Run the sequence %1?</source>
        <translation>运行序列 %1？</translation>
    </message>
</context>
<context>
    <name>COutletSettingsWidget</name>
    <message>
        <source>Ask before switching an outlet off</source>
        <translation>断开插座前询问</translation>
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
        <translation>功率与容量</translation>
    </message>
</context>
<context>
    <name>CPowerWindow</name>
    <message>
        <source>Power and capacity</source>
        <translation>功率与容量</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>Group / PDU</source>
        <translation>分组 / PDU</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>负载</translation>
    </message>
    <message>
        <source>Load against the group's budget; the tick marks the budget, the full width the breaker rating</source>
        <translation>负载相对于分组预算；刻度线为预算，整个宽度为断路器额定值</translation>
    </message>
    <message>
        <source>Apparent power, volts times amperes</source>
        <translation>视在功率，电压乘以电流</translation>
    </message>
    <message>
        <source>The breaker rating derated for continuous load</source>
        <translation>按持续负载降额后的断路器额定值</translation>
    </message>
    <message>
        <source>Budget minus the load now</source>
        <translation>预算减去当前负载</translation>
    </message>
    <message>
        <source>Highest current in the last 24 hours; for a group, the highest sum of its PDUs' minute averages</source>
        <translation>最近 24 小时的最大电流；分组为其各 PDU 每分钟平均值之和的最大值</translation>
    </message>
    <message>
        <source>95th percentile of the minute averages</source>
        <translation>每分钟平均值的第 95 百分位数</translation>
    </message>
    <message>
        <source>Highest current in the last 30 days; for a group, the highest sum of its PDUs' hour averages</source>
        <translation>最近 30 天的最大电流；分组为其各 PDU 每小时平均值之和的最大值</translation>
    </message>
    <message>
        <source>95th percentile of the hour averages</source>
        <translation>每小时平均值的第 95 百分位数</translation>
    </message>
    <message>
        <source>Apparent energy since midnight</source>
        <translation>自零点起的视在电能</translation>
    </message>
    <message>
        <source>Apparent energy since the first of the month</source>
        <translation>自本月 1 日起的视在电能</translation>
    </message>
    <message>
        <source>Apparent energy of the whole last month</source>
        <translation>上月全月的视在电能</translation>
    </message>
    <message>
        <source>Part of this span was recorded before energy was kept</source>
        <translation>此时段有部分记录早于开始记录电能</translation>
    </message>
    <message>
        <source>Reading peaks and energy from the history...</source>
        <translation>正在从历史记录读取峰值和电能……</translation>
    </message>
    <message>
        <source>The history could not be read: %1</source>
        <translation>无法读取历史记录：%1</translation>
    </message>
    <message>
        <source>Peaks and energy as of %1; the load follows the devices each second.</source>
        <translation>峰值和电能截至 %1；负载每秒随设备更新。</translation>
    </message>
    <message>
        <source>Now
(A)</source>
        <translation>当前
(A)</translation>
    </message>
    <message>
        <source>Now
(VA)</source>
        <translation>当前
(VA)</translation>
    </message>
    <message>
        <source>Budget
(A)</source>
        <translation>预算
(A)</translation>
    </message>
    <message>
        <source>Headroom
(A)</source>
        <translation>余量
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
24 小时 (A)</translation>
    </message>
    <message>
        <source>95th pct
24 h (A)</source>
        <translation>P95
24 小时 (A)</translation>
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
        <translation>导出月度报表</translation>
    </message>
    <message>
        <source>All groups</source>
        <translation>所有组</translation>
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
        <translation>选择...</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>Month</source>
        <translation>月份</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>组</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>格式</translation>
    </message>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>Figures are apparent power and energy (VA, kVAh).</source>
        <translation>数值为视在功率与视在电能（VA、kVAh）。</translation>
    </message>
    <message>
        <source>PDF documents (*.pdf)</source>
        <translation>PDF 文档 (*.pdf)</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>Choose a file to write.</source>
        <translation>请选择要写入的文件。</translation>
    </message>
    <message>
        <source>The file could not be written: %1</source>
        <translation>无法写入文件：%1</translation>
    </message>
</context>
<context>
    <name>CSequenceDialog</name>
    <message>
        <source>New sequence</source>
        <translation>新建序列</translation>
    </message>
    <message>
        <source>Sequence %1</source>
        <translation>序列 %1</translation>
    </message>
    <message>
        <source>set %1</source>
        <translation>插座组 %1</translation>
    </message>
    <message>
        <source>%1 (not in the room)</source>
        <translation>%1（不在机房中）</translation>
    </message>
    <message>
        <source>Set or outlet</source>
        <translation>插座组或插座</translation>
    </message>
    <message>
        <source>Switch</source>
        <translation>切换</translation>
    </message>
    <message>
        <source>Then wait</source>
        <translation>之后等待</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Add step</source>
        <translation>添加步骤</translation>
    </message>
    <message>
        <source>Remove step</source>
        <translation>删除步骤</translation>
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
        <translation>通电</translation>
    </message>
    <message>
        <source>off</source>
        <translation>断电</translation>
    </message>
    <message>
        <source>Add at least one step.</source>
        <translation>请至少添加一个步骤。</translation>
    </message>
    <message>
        <source>The sequence was not stored.</source>
        <translation>序列未保存。</translation>
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
        <translation>步骤</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>继续</translation>
    </message>
    <message>
        <source>Cancel sequence</source>
        <translation>取消序列</translation>
    </message>
    <message>
        <source>%1. %2, then %3 s</source>
        <translation>%1. %2，之后等待 %3 秒</translation>
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
        <translation>序列 %1 已停止：第 %2 步（共 %3 步）失败。</translation>
    </message>
    <message>
        <source>Sequence %1 cancelled at step %2 of %3.</source>
        <translation>序列 %1 在第 %2 步（共 %3 步）被取消。</translation>
    </message>
    <message>
        <source>Sequence %1 was interrupted at step %2 of %3 and did not go on.</source>
        <translation>序列 %1 在第 %2 步（共 %3 步）被中断，未继续执行。</translation>
    </message>
    <message>
        <source>Sequence %1: step %2 of %3</source>
        <translation>序列 %1：第 %2 步，共 %3 步</translation>
    </message>
    <message>
        <source>Last step: the sequence ends in %1 s.</source>
        <translation>最后一步：序列将在 %1 秒后结束。</translation>
    </message>
    <message>
        <source>Next: %1 in %2 s.</source>
        <translation>下一步：%2 秒后 %1。</translation>
    </message>
    <message>
        <source>Paused: %1 s left before the next step.</source>
        <translation>已暂停：距下一步还剩 %1 秒。</translation>
    </message>
    <message>
        <source>Last step: waiting for the PDUs to show it.</source>
        <translation>最后一步：等待 PDU 显示该状态。</translation>
    </message>
    <message>
        <source>Waiting for the PDUs to show it; next: %1.</source>
        <translation>等待 PDU 显示该状态；下一步：%1。</translation>
    </message>
    <message>
        <source>done</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>switching</source>
        <translation>切换中</translation>
    </message>
    <message>
        <source>done, waiting</source>
        <translation>完成，等待中</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>interrupted</source>
        <translation>已中断</translation>
    </message>
</context>
<context>
    <name>CSmtpConfigWidget</name>
    <message>
        <source>Account</source>
        <translation>账号</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>密码</translation>
    </message>
    <message>
        <source>Host</source>
        <translation>服务器</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>端口</translation>
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
        <translation>确定</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>测试</translation>
    </message>
    <message>
        <source>critical</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Connect to host fail.</source>
        <translation>连接服务器失败。</translation>
    </message>
    <message>
        <source>Login fail.</source>
        <translation>登录失败。</translation>
    </message>
    <message>
        <source>Send email fail.</source>
        <translation>发送邮件失败。</translation>
    </message>
    <message>
        <source>information</source>
        <translation>信息</translation>
    </message>
    <message>
        <source>Send email ok.</source>
        <translation>发送邮件成功。</translation>
    </message>
    <message>
        <source>STARTTLS</source>
        <translation>STARTTLS</translation>
    </message>
    <message>
        <source>Sender</source>
        <translation>发件人</translation>
    </message>
    <message>
        <source>the account</source>
        <translation>同账号</translation>
    </message>
    <message>
        <source>Allow the password without encryption</source>
        <translation>允许不加密发送密码</translation>
    </message>
    <message>
        <source>Sender address invalid.</source>
        <translation>发件人地址无效。</translation>
    </message>
    <message>
        <source>A sender address holds an "@" and no spaces or line breaks; leave it empty to send from the account.</source>
        <translation>发件人地址须含有“@”，且不含空格或换行符；留空则以账号发送。</translation>
    </message>
</context>
<context>
    <name>CSnmpConfigWidget</name>
    <message>
        <source>AgentSettings</source>
        <translation>代理设置</translation>
    </message>
    <message>
        <source>TrapSettings</source>
        <translation>陷阱设置</translation>
    </message>
    <message>
        <source>User</source>
        <translation>用户</translation>
    </message>
    <message>
        <source>PortNum</source>
        <translation>端口号</translation>
    </message>
    <message>
        <source>Timeout</source>
        <translation>超时</translation>
    </message>
    <message>
        <source>RetryTimes</source>
        <translation>重试次数</translation>
    </message>
    <message>
        <source>ProtocolVer</source>
        <translation>协议版本</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Publish the room</source>
        <translation>发布机房</translation>
    </message>
    <message>
        <source>Publish every PDU, its sensors and outlets over SNMP</source>
        <translation>通过 SNMP 发布每台 PDU 及其传感器和插座</translation>
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
        <translation>AgentX 套接字</translation>
    </message>
    <message>
        <source>Serving: %1</source>
        <translation>正在提供服务：%1</translation>
    </message>
    <message>
        <source>Not serving yet: %1</source>
        <translation>尚未提供服务：%1</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Not serving: %1</source>
        <translation>未提供服务：%1</translation>
    </message>
    <message>
        <source>This program does not publish the room</source>
        <translation>本程序不发布机房</translation>
    </message>
    <message>
        <source>Own agent on the agent port (no snmpd)</source>
        <translation>代理端口上的自有代理（无 snmpd）</translation>
    </message>
    <message>
        <source>Authentication</source>
        <translation>认证</translation>
    </message>
    <message>
        <source>Auth passphrase</source>
        <translation>认证口令</translation>
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
        <translation>无（不认证，不加密）</translation>
    </message>
    <message>
        <source>None (authentication only)</source>
        <translation>无（仅认证）</translation>
    </message>
    <message>
        <source>Receivers</source>
        <translation>接收方</translation>
    </message>
    <message>
        <source>Notifications go to the receivers (host or host:port, separated by spaces) as informs, each waiting the agent's time-out, retried the agent's retry count; for v3 with the user above and the agent's SNMPv3 keys.</source>
        <translation>通知以 inform 形式发送到接收方（主机或 主机:端口，以空格分隔），每次等待代理的超时时间，并按代理的重试次数重试；v3 使用上面的用户和代理的 SNMPv3 密钥。</translation>
    </message>
    <message>
        <source>In AgentX mode snmpd sends the notifications to its own trap destinations (trap2sink, informsink or trapsess in snmpd.conf); the receivers here are not used.</source>
        <translation>在 AgentX 模式下，snmpd 将通知发送到它自己的陷阱目标（snmpd.conf 中的 trap2sink、informsink 或 trapsess）；此处的接收方不会被使用。</translation>
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
        <translation>监控指标</translation>
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
        <translation>显示主窗口</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Rackmind</source>
        <translation>Rackmind</translation>
    </message>
    <message>
        <source>Unacknowledged alarms: %1</source>
        <translation>未确认告警：%1</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>另有 %1 条</translation>
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
        <translation>路由器后的PDU，每行一个地址或子网：</translation>
    </message>
    <message>
        <source>Subnet sweep</source>
        <translation>子网扫描</translation>
    </message>
    <message>
        <source> datagrams/s</source>
        <translation> 数据报/秒</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Polling by broadcast only.</source>
        <translation>仅通过广播轮询。</translation>
    </message>
    <message>
        <source>Also polling by unicast: %1.</source>
        <translation>同时通过单播轮询：%1。</translation>
    </message>
    <message>
        <source>Cannot write %1.</source>
        <translation>无法写入%1。</translation>
    </message>
</context>
<context>
    <name>CThresholdConfigWidget</name>
    <message>
        <source>CurrentWarnValue</source>
        <translation>电流告警值</translation>
    </message>
    <message>
        <source>CurrentOverloadValue</source>
        <translation>电流过载值</translation>
    </message>
    <message>
        <source>VoltageWarnValue</source>
        <translation>电压告警值</translation>
    </message>
    <message>
        <source>VoltageOverloadValue</source>
        <translation>电压过载值</translation>
    </message>
    <message>
        <source>TemperatureLowerLimit</source>
        <translation>温度下限</translation>
    </message>
    <message>
        <source>TemperatureUpperLimit</source>
        <translation>温度上限</translation>
    </message>
    <message>
        <source>HumidityWarnValue</source>
        <translation>湿度告警值</translation>
    </message>
</context>
<context>
    <name>GroupBudget</name>
    <message>
        <source>The breaker rating must be more than 0 A.</source>
        <translation>断路器额定值必须大于 0 A。</translation>
    </message>
    <message>
        <source>A breaker rating over %1 A is not a rack circuit's: enter the rating of the breaker that feeds the group, in amperes.</source>
        <translation>超过 %1 A 的断路器额定值不属于机柜回路：请输入为该组供电的断路器的额定值（安培）。</translation>
    </message>
    <message>
        <source>The derating must be more than 0 % and at most 100 %.</source>
        <translation>降额必须大于 0 % 且不超过 100 %。</translation>
    </message>
</context>
<context>
    <name>HistoryUi</name>
    <message>
        <source>1 hour</source>
        <translation>1 小时</translation>
    </message>
    <message>
        <source>24 hours</source>
        <translation>24 小时</translation>
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
        <translation>自定义</translation>
    </message>
    <message>
        <source>All</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>Appeared</source>
        <translation>出现</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>离线</translation>
    </message>
    <message>
        <source>Back online</source>
        <translation>恢复在线</translation>
    </message>
    <message>
        <source>Alarm began</source>
        <translation>告警开始</translation>
    </message>
    <message>
        <source>Alarm ended</source>
        <translation>告警结束</translation>
    </message>
    <message>
        <source>Alarm acknowledged</source>
        <translation>告警已确认</translation>
    </message>
    <message>
        <source>Outlet switched</source>
        <translation>插座开关</translation>
    </message>
    <message>
        <source>Outlet cycled</source>
        <translation>插座重启</translation>
    </message>
    <message>
        <source>Settings downloaded</source>
        <translation>设置已下发</translation>
    </message>
    <message>
        <source>Mail sent</source>
        <translation>邮件已发送</translation>
    </message>
    <message>
        <source>Mail failed</source>
        <translation>邮件发送失败</translation>
    </message>
    <message>
        <source>Monitoring started</source>
        <translation>开始监控</translation>
    </message>
    <message>
        <source>Monitoring stopped</source>
        <translation>停止监控</translation>
    </message>
    <message>
        <source>Voltage Warn</source>
        <translation>电压告警</translation>
    </message>
    <message>
        <source>Voltage Overload</source>
        <translation>电压过载</translation>
    </message>
    <message>
        <source>Current Warn</source>
        <translation>电流告警</translation>
    </message>
    <message>
        <source>Current Overload</source>
        <translation>电流过载</translation>
    </message>
    <message>
        <source>Temperature Warn</source>
        <translation>温度告警</translation>
    </message>
    <message>
        <source>Humidity Warn</source>
        <translation>湿度告警</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP地址</translation>
    </message>
    <message>
        <source>Subnet Mask</source>
        <translation>子网掩码</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>网关</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>Temperature Low</source>
        <translation>温度下限</translation>
    </message>
    <message>
        <source>Temperature High</source>
        <translation>温度上限</translation>
    </message>
    <message>
        <source>on</source>
        <translation>开</translation>
    </message>
    <message>
        <source>off</source>
        <translation>关</translation>
    </message>
    <message>
        <source>History is unavailable: no history store is running.</source>
        <translation>历史记录不可用：历史存储未运行。</translation>
    </message>
    <message>
        <source>History is unavailable: %1. The console goes on without it and records again once the file can be written.</source>
        <translation>历史记录不可用：%1。控制台照常运行，文件可写入后将恢复记录。</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>导出 CSV</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>The file could not be written: %1</source>
        <translation>无法写入文件：%1</translation>
    </message>
    <message>
        <source>Outlet switch refused</source>
        <translation>插座开关被拒绝</translation>
    </message>
    <message>
        <source>Outlet protected</source>
        <translation>插座已保护</translation>
    </message>
    <message>
        <source>Outlet unprotected</source>
        <translation>插座已取消保护</translation>
    </message>
    <message>
        <source>Power cycle started</source>
        <translation>断电重启开始</translation>
    </message>
    <message>
        <source>Power cycle completed</source>
        <translation>断电重启完成</translation>
    </message>
    <message>
        <source>Power cycle failed</source>
        <translation>断电重启失败</translation>
    </message>
    <message>
        <source>Power cycle cancelled</source>
        <translation>断电重启已取消</translation>
    </message>
    <message>
        <source>Group write</source>
        <translation>分组写入</translation>
    </message>
    <message>
        <source>Clock changed</source>
        <translation>时钟已调整</translation>
    </message>
    <message>
        <source>History samples dropped</source>
        <translation>历史采样已丢弃</translation>
    </message>
    <message>
        <source>Implausible reading</source>
        <translation>读数不可信</translation>
    </message>
    <message>
        <source>set back</source>
        <translation>回拨</translation>
    </message>
    <message>
        <source>set forward</source>
        <translation>前拨</translation>
    </message>
    <message>
        <source>voltage</source>
        <translation>电压</translation>
    </message>
    <message>
        <source>current</source>
        <translation>电流</translation>
    </message>
    <message>
        <source>the history could not be read</source>
        <translation>无法读取历史记录</translation>
    </message>
    <message>
        <source>Group alarm began</source>
        <translation>组告警开始</translation>
    </message>
    <message>
        <source>Group alarm ended</source>
        <translation>组告警结束</translation>
    </message>
    <message>
        <source>Group alarm acknowledged</source>
        <translation>组告警已确认</translation>
    </message>
    <message>
        <source>Group Load Over Budget</source>
        <translation>组负载超出预算</translation>
    </message>
    <message>
        <source>Group Load At Breaker Rating</source>
        <translation>组负载达到断路器额定值</translation>
    </message>
</context>
<context>
    <name>LockedFile</name>
    <message>
        <source>%1 stays locked by another program</source>
        <translation>%1 一直被另一个程序锁定</translation>
    </message>
    <message>
        <source>%1 is larger than %2 MiB</source>
        <translation>%1 大于 %2 MiB</translation>
    </message>
</context>
<context>
    <name>PollTargets</name>
    <message>
        <source>"%1" is not an IPv4 address or subnet (as 10.1.2.3 or 10.1.2.0/24)</source>
        <translation>“%1”不是IPv4地址或子网（例如10.1.2.3或10.1.2.0/24）</translation>
    </message>
    <message>
        <source>"%1": the prefix length is 0 to 32</source>
        <translation>“%1”：前缀长度为0至32</translation>
    </message>
    <message>
        <source>%1 is too large to sweep: at most /%2 (%3 addresses)</source>
        <translation>%1过大，无法扫描：最多/%2（%3个地址）</translation>
    </message>
    <message>
        <source>%1 is not an address a PDU can have</source>
        <translation>%1不是PDU可用的地址</translation>
    </message>
    <message>
        <source>%1 left out: at most %2 entries and %3 swept addresses in all</source>
        <translation>已忽略%1：最多%2项，扫描地址共计最多%3个</translation>
    </message>
    <message>
        <source>sweep rate "%1" is not 1 to %2 datagrams a second</source>
        <translation>扫描速率“%1”不在每秒1至%2个数据报之间</translation>
    </message>
</context>
<context>
    <name>PortHolder</name>
    <message>
        <source>process %1 "%2", user %3</source>
        <translation>进程 %1 “%2”，用户 %3</translation>
    </message>
    <message>
        <source>user %1</source>
        <translation>用户 %1</translation>
    </message>
    <message>
        <source>The Rackmind service is polling on this machine (%1) and holds the device port %2.</source>
        <translation>Rackmind 服务正在本机轮询（%1），占用着设备端口 %2。</translation>
    </message>
    <message>
        <source>A Rackmind console is polling on this machine (%1) and holds the device port %2.</source>
        <translation>一个 Rackmind 控制台正在本机轮询（%1），占用着设备端口 %2。</translation>
    </message>
    <message>
        <source>Another program on this machine (%1) holds the device port %2.</source>
        <translation>本机上的另一个程序（%1）占用着设备端口 %2。</translation>
    </message>
    <message>
        <source>The device port %1 cannot be opened.</source>
        <translation>无法打开设备端口 %1。</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Critical</source>
        <translation>严重错误</translation>
    </message>
    <message>
        <source>An instance has been run already.</source>
        <translation>程序已在运行。</translation>
    </message>
    <message>
        <source>Shared memory create fail.</source>
        <translation>共享内存创建失败。</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登录</translation>
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
        <translation>服务 %1 再次给出了同一页历史数据</translation>
    </message>
    <message>
        <source>every user may read or change the credentials file %1: chmod o-rw %1</source>
        <translation>所有用户都能读取或修改凭据文件 %1：请执行 chmod o-rw %1</translation>
    </message>
    <message>
        <source>no user or password in --service: give them in a --credentials file</source>
        <translation>--service 中不能含用户名或密码：请写在 --credentials 文件中</translation>
    </message>
    <message>
        <source>the password would cross the network unencrypted: use https:// for a service on another machine</source>
        <translation>密码将以明文经过网络：访问其他机器上的服务请使用 https://</translation>
    </message>
    <message>
        <source>it sent more than %1 MiB</source>
        <translation>它发送了超过 %1 MiB 的数据</translation>
    </message>
    <message>
        <source>the service %1 did not answer as its API does (HTTP %2, %3)</source>
        <translation>服务 %1 的应答不是其 API 的应答（HTTP %2，%3）</translation>
    </message>
    <message>
        <source>not an object</source>
        <translation>不是对象</translation>
    </message>
    <message>
        <source>no PDU answered on port(s) %1.
  PDUs that answer only port 51230 instead of the query's source port cannot be
  reached while the console or service holds that port; stop it and try
  --source-port 51230.</source>
        <translation>端口 %1 上没有 PDU 应答。
  只应答 51230 端口（而非查询源端口）的 PDU，在控制台或服务占用该端口时
  无法访问；请停止它们后尝试 --source-port 51230。</translation>
    </message>
    <message>
        <source>no PDU "%1" answered</source>
        <translation>PDU“%1”没有应答</translation>
    </message>
    <message>
        <source>outlet(s) %1 of %2 are protected; nothing was switched (--force overrides)</source>
        <translation>%2 的插座 %1 受保护；未切换任何插座（--force 可强制执行）</translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <translation>%1及%2</translation>
    </message>
    <message>
        <source>cannot read the protection list (%1); every outlet switched off is taken as protected</source>
        <translation>无法读取保护列表（%1）；所有要关闭的插座均按受保护处理</translation>
    </message>
    <message>
        <source>the override cannot be put on record (%1); nothing was switched</source>
        <translation>无法记录此次强制操作（%1）；未切换任何插座</translation>
    </message>
    <message>
        <source>protected outlet(s) %1 of %2 switched by --force; on record in %3</source>
        <translation>%2 的受保护插座 %1 已通过 --force 切换；已记录于%3</translation>
    </message>
    <message>
        <source>%1 is root's, in a folder others can write</source>
        <translation>%1 属于 root，但所在文件夹可被其他用户写入</translation>
    </message>
    <message>
        <source>its owner (uid %1) cannot write it</source>
        <translation>其所有者（uid %1）无法写入</translation>
    </message>
    <message>
        <source>%1 cannot be read as its owner (uid %2)</source>
        <translation>无法以其所有者（uid %2）的身份读取 %1</translation>
    </message>
    <message>
        <source>no history store</source>
        <translation>没有历史记录库</translation>
    </message>
    <message>
        <source>%1 is not a regular file</source>
        <translation>%1 不是普通文件</translation>
    </message>
    <message>
        <source>the event log of %1</source>
        <translation>%1 的事件日志</translation>
    </message>
    <message>
        <source>the system journal (journalctl -t rackmind-ctl)</source>
        <translation>系统日志（journalctl -t rackmind-ctl）</translation>
    </message>
    <message>
        <source>no journal at %1: %2</source>
        <translation>%1 处没有系统日志：%2</translation>
    </message>
    <message>
        <source>%1 did not show the outlets on in time</source>
        <translation>%1 未能及时显示插座已打开</translation>
    </message>
    <message>
        <source>%1 did not show the outlets off in time</source>
        <translation>%1 未能及时显示插座已关闭</translation>
    </message>
    <message>
        <source>Discover the PDUs and print one line each (address, MAC, name, position, online, V, A, °C, %RH, outlets 1-8).</source>
        <translation>发现 PDU 并每台打印一行（地址、MAC、名称、位置、在线、V、A、°C、%RH、插座 1-8）。</translation>
    </message>
    <message>
        <source>Everything known of one PDU: readings, thresholds, delays, outlet names.</source>
        <translation>一台 PDU 的全部信息：读数、阈值、延时、插座名称。</translation>
    </message>
    <message>
        <source>Switch outlets (N: 1,3-5 or all) and wait until the PDU shows them so.</source>
        <translation>切换插座（N：1,3-5 或 all），并等待 PDU 显示新状态。</translation>
    </message>
    <message>
        <source>Usage: rackmind-ctl COMMAND [options]

PDU is an address, a MAC address or a name.

Commands:
</source>
        <translation>用法：rackmind-ctl 命令 [选项]

PDU 为地址、MAC 地址或名称。

命令：
</translation>
    </message>
    <message>
        <source>Try rackmind-ctl --help.</source>
        <translation>请尝试 rackmind-ctl --help。</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>未给出命令</translation>
    </message>
    <message>
        <source>unknown command "%1"</source>
        <translation>未知命令“%1”</translation>
    </message>
    <message>
        <source>Show this help.</source>
        <translation>显示此帮助。</translation>
    </message>
    <message>
        <source>Device port to poll (repeatable); default 51230, those in ./port.prt and those of this machine's service.</source>
        <translation>要轮询的设备端口（可重复）；默认为 51230、./port.prt 中的端口及本机服务轮询的端口。</translation>
    </message>
    <message>
        <source>Local port to send from; default a free one.</source>
        <translation>发送所用的本地端口；默认为一个空闲端口。</translation>
    </message>
    <message>
        <source>Seconds to wait for PDUs to answer (default 2).</source>
        <translation>等待 PDU 应答的秒数（默认 2）。</translation>
    </message>
    <message>
        <source>Seconds between off and on in a cycle (default 5).</source>
        <translation>循环中关闭与打开之间的秒数（默认 5）。</translation>
    </message>
    <message>
        <source>Seconds to wait for the PDU to show the new state (default: its outlet delay + 5).</source>
        <translation>等待 PDU 显示新状态的秒数（默认：其插座延时 + 5）。</translation>
    </message>
    <message>
        <source>Switch protected outlets off too.</source>
        <translation>受保护的插座也关闭。</translation>
    </message>
    <message>
        <source>Print comma-separated values.</source>
        <translation>输出逗号分隔值（CSV）。</translation>
    </message>
    <message>
        <source>Usage: rackmind-ctl %1 %2 [options]</source>
        <translation>用法：rackmind-ctl %1 %2 [选项]</translation>
    </message>
    <message>
        <source>%1 takes: %2</source>
        <translation>%1 的参数：%2</translation>
    </message>
    <message>
        <source>--wait takes seconds</source>
        <translation>--wait 的值为秒数</translation>
    </message>
    <message>
        <source>bad port "%1"</source>
        <translation>无效端口“%1”</translation>
    </message>
    <message>
        <source>bad source port</source>
        <translation>无效的源端口</translation>
    </message>
    <message>
        <source>outlets are 1-8, as 1,3-5 or all</source>
        <translation>插座编号为 1-8，如 1,3-5 或 all</translation>
    </message>
    <message>
        <source>outlet action is on, off or cycle</source>
        <translation>插座操作为 on、off 或 cycle</translation>
    </message>
    <message>
        <source>cannot open %1</source>
        <translation>无法打开 %1</translation>
    </message>
    <message>
        <source>  (is the console or the service running? leave out --source-port to use a free port)</source>
        <translation>  （控制台或服务是否正在运行？去掉 --source-port 即可使用空闲端口）</translation>
    </message>
    <message>
        <source>no running network interface with an IPv4 address</source>
        <translation>没有带 IPv4 地址的运行中网络接口</translation>
    </message>
    <message>
        <source>--from and --to take ISO 8601 times, the first before the second</source>
        <translation>--from 和 --to 为 ISO 8601 时间，前者早于后者</translation>
    </message>
    <message>
        <source>no history store at %1</source>
        <translation>%1 处没有历史数据存储</translation>
    </message>
    <message>
        <source>no PDU in the history matches %1</source>
        <translation>历史数据中没有与 %1 匹配的 PDU</translation>
    </message>
    <message>
        <source>%1 names several PDUs:</source>
        <translation>%1 对应多台 PDU：</translation>
    </message>
    <message>
        <source>Print the stored history of one PDU, the last 24 hours unless --from or --to say otherwise.</source>
        <translation>打印一台 PDU 的历史记录，默认最近 24 小时，除非 --from 或 --to 另行指定。</translation>
    </message>
    <message>
        <source>Print JSON instead of text.</source>
        <translation>以 JSON 代替文本输出。</translation>
    </message>
    <message>
        <source>Start time: ISO 8601 local time or seconds since 1970 (default: 24 hours before --to).</source>
        <translation>开始时间：ISO 8601 本地时间或自 1970 年起的秒数（默认：--to 之前 24 小时）。</translation>
    </message>
    <message>
        <source>End time, as --from (default: now).</source>
        <translation>结束时间，格式同 --from（默认：现在）。</translation>
    </message>
    <message>
        <source>--csv and --json exclude each other</source>
        <translation>--csv 与 --json 不能同时使用</translation>
    </message>
    <message>
        <source>"%1" matches %2 PDUs; give the address one answers from:</source>
        <translation>“%1”匹配 %2 台 PDU；请给出其应答所用的地址：</translation>
    </message>
    <message>
        <source>interrupted: switching the outlets back on</source>
        <translation>已中断：正在重新接通插座</translation>
    </message>
    <message>
        <source>outlet %1: waiting for off</source>
        <translation>插座 %1：等待断电</translation>
    </message>
    <message>
        <source>outlet %1: off seen, on in %2 s</source>
        <translation>插座 %1：已断电，%2 秒后通电</translation>
    </message>
    <message>
        <source>%1 did not switch off outlet(s) %2; no "on" was sent</source>
        <translation>%1 未关闭插座 %2；未发送“通电”</translation>
    </message>
    <message>
        <source>cannot read the protection list (%1); nothing was switched (--force overrides)</source>
        <translation>无法读取保护列表（%1）；未切换任何插座（--force 可强制）</translation>
    </message>
    <message>
        <source>--delay goes with cycle only</source>
        <translation>--delay 只能与 cycle 一起使用</translation>
    </message>
    <message>
        <source>--delay takes whole seconds from 1 to 600</source>
        <translation>--delay 取 1 到 600 的整数秒</translation>
    </message>
    <message>
        <source>--timeout takes seconds above 0</source>
        <translation>--timeout 取大于 0 的秒数</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>Print the monthly report from the history store: energy, peak, 95th percentile and hours over budget per group and PDU.</source>
        <translation>根据历史数据存储输出月度报表：按组和 PDU 列出电能、峰值、95 百分位和超预算小时数。</translation>
    </message>
    <message>
        <source>The calendar month in local time, as 2026-11 (required).</source>
        <translation>本地时间的日历月，例如 2026-11（必填）。</translation>
    </message>
    <message>
        <source>Only this group and its PDUs.</source>
        <translation>仅此组及其 PDU。</translation>
    </message>
    <message>
        <source>Comma-separated values, to standard output or to the FILE that follows.</source>
        <translation>逗号分隔值，输出到标准输出或其后的 FILE。</translation>
    </message>
    <message>
        <source>A PDF document written to the FILE that follows.</source>
        <translation>将 PDF 文档写入其后的 FILE。</translation>
    </message>
    <message>
        <source>The history store to read (default: as history finds it).</source>
        <translation>要读取的历史数据存储（默认：与 history 命令查找方式相同）。</translation>
    </message>
    <message>
        <source>--csv and --pdf exclude each other</source>
        <translation>--csv 和 --pdf 不能同时使用</translation>
    </message>
    <message>
        <source>report needs --month YYYY-MM</source>
        <translation>report 需要 --month YYYY-MM</translation>
    </message>
    <message>
        <source>--month takes a month as YYYY-MM, as 2026-11</source>
        <translation>--month 的值为 YYYY-MM 格式的月份，例如 2026-11</translation>
    </message>
    <message>
        <source>report takes a FILE only after --csv or --pdf</source>
        <translation>report 仅在 --csv 或 --pdf 之后接受 FILE</translation>
    </message>
    <message>
        <source>--pdf needs a FILE to write</source>
        <translation>--pdf 需要要写入的 FILE</translation>
    </message>
    <message>
        <source>PDF output needs the package rackmind-report-pdf</source>
        <translation>输出 PDF 需要安装 rackmind-report-pdf 软件包</translation>
    </message>
    <message>
        <source>run by rackmind-ctl report --pdf</source>
        <translation>由 rackmind-ctl report --pdf 调用</translation>
    </message>
    <message>
        <source>step %1 of %2 (%3)</source>
        <translation>第 %1 步（共 %2 步，%3）</translation>
    </message>
    <message>
        <source>running at %1 (pid %2)</source>
        <translation>正在运行，位于%1（pid %2）</translation>
    </message>
    <message>
        <source>stopped at %1 on %2: the run ended before it finished and was not continued</source>
        <translation>于 %2 停在%1：运行在完成前结束，且未继续</translation>
    </message>
    <message>
        <source>Try rackmind-ctl sequence --help.</source>
        <translation>请尝试 rackmind-ctl sequence --help。</translation>
    </message>
    <message>
        <source>then %1 s</source>
        <translation>然后等待 %1 秒</translation>
    </message>
    <message>
        <source>sequence %1 is already running (pid %2)</source>
        <translation>序列 %1 已在运行（进程 %2）</translation>
    </message>
    <message>
        <source>%1; nothing was switched</source>
        <translation>%1；未切换任何插座</translation>
    </message>
    <message>
        <source>cannot write %1; nothing was switched</source>
        <translation>无法写入 %1；未切换任何插座</translation>
    </message>
    <message>
        <source>step %1 of %2: %3, waiting for the PDUs to show it</source>
        <translation>第 %1 步（共 %2 步）：%3，等待 PDU 显示该状态</translation>
    </message>
    <message>
        <source>%1 did not show it in time</source>
        <translation>%1 未及时显示该状态</translation>
    </message>
    <message>
        <source>step %1 of %2 shown; next %3 in %4 s</source>
        <translation>第 %1 步（共 %2 步）已显示；%4 秒后执行下一步 %3</translation>
    </message>
    <message>
        <source>interrupted at step %1 of %2: switching back on what the sequence switched off (%3)</source>
        <translation>在第 %1 步（共 %2 步）被中断：重新打开该序列关闭的插座（%3 个）</translation>
    </message>
    <message>
        <source>not every outlet showed on again</source>
        <translation>并非所有插座都重新显示为开启</translation>
    </message>
    <message>
        <source>sequence %1 stopped at step %2 of %3 (%4): %5</source>
        <translation>序列 %1 停在第 %2 步（共 %3 步，%4）：%5</translation>
    </message>
    <message>
        <source>"%1" is no name for a sequence: up to 48 letters, digits and -_.@, not a word of the command</source>
        <translation>“%1”不能用作序列名称：最多 48 个字母、数字及 -_.@，且不能是命令中的词</translation>
    </message>
    <message>
        <source>"%1" is no step: give SET,on|off[,WAIT] or MAC/N,on|off[,WAIT]</source>
        <translation>“%1”不是步骤：请给出 SET,on|off[,WAIT] 或 MAC/N,on|off[,WAIT]</translation>
    </message>
    <message>
        <source>there is no sequence %1</source>
        <translation>没有序列 %1</translation>
    </message>
    <message>
        <source>sequence takes: list | show NAME | add NAME STEP... | remove NAME | run NAME</source>
        <translation>sequence 的用法：list | show NAME | add NAME STEP... | remove NAME | run NAME</translation>
    </message>
    <message>
        <source>%1 step(s)</source>
        <translation>%1 个步骤</translation>
    </message>
    <message>
        <source>sequence %1 last run: %2</source>
        <translation>序列 %1 上次运行：%2</translation>
    </message>
    <message>
        <source>Try rackmind-ctl set --help.</source>
        <translation>请尝试 rackmind-ctl set --help。</translation>
    </message>
    <message>
        <source>set %1: waiting for every outlet to show off</source>
        <translation>插座组 %1：等待所有插座显示为关闭</translation>
    </message>
    <message>
        <source>set %1: all off, on in %2 s</source>
        <translation>插座组 %1：已全部关闭，%2 秒后开启</translation>
    </message>
    <message>
        <source>set %1: watching for a late off</source>
        <translation>插座组 %1：正在留意迟到的关闭</translation>
    </message>
    <message>
        <source>set %1: %2 did not switch off; no "on" was sent to it, and every outlet of the set that went off was switched back on</source>
        <translation>插座组 %1：%2 未关闭；未向其发送“开”，且该组中已关闭的插座均已重新打开</translation>
    </message>
    <message>
        <source>set %1: the outlets did not show on in time</source>
        <translation>插座组 %1：插座未及时显示为开启</translation>
    </message>
    <message>
        <source>cannot read the outlet sets (%1); nothing was switched</source>
        <translation>无法读取插座组（%1）；未切换任何插座</translation>
    </message>
    <message>
        <source>the outlet sets were not changed: %1</source>
        <translation>插座组未更改：%1</translation>
    </message>
    <message>
        <source>nothing was switched</source>
        <translation>未切换任何插座</translation>
    </message>
    <message>
        <source>"%1" is no name for a set: up to 48 letters, digits and -_.@, not a word of the command</source>
        <translation>“%1”不能用作插座组名称：最多 48 个字母、数字及 -_.@，且不能是命令中的词</translation>
    </message>
    <message>
        <source>"%1" is no outlet: give MAC/N, as 02:50:44:00:00:01/3</source>
        <translation>“%1”不是插座：请给出 MAC/N，例如 02:50:44:00:00:01/3</translation>
    </message>
    <message>
        <source>sequence %1 uses set %2</source>
        <translation>序列 %1 使用插座组 %2</translation>
    </message>
    <message>
        <source>there is no set %1</source>
        <translation>没有插座组 %1</translation>
    </message>
    <message>
        <source>set takes: list | show NAME | add NAME OUTLET... | remove NAME | NAME on|off|cycle</source>
        <translation>set 的用法：list | show NAME | add NAME OUTLET... | remove NAME | NAME on|off|cycle</translation>
    </message>
    <message>
        <source>The machine's outlet sets (OUTLET: MAC/N): list, show, add or remove them, or switch the outlets of one on, off or through a cycle together.</source>
        <translation>本机的插座组（OUTLET：MAC/N）：列出、显示、添加或删除插座组，或将一个插座组的插座一起打开、关闭或重启。</translation>
    </message>
    <message>
        <source>The machine's sequences (STEP: SET,on|off[,WAIT] or MAC/N,on|off[,WAIT]): list, show, add or remove them, or run one step by step.</source>
        <translation>本机的序列（STEP：SET,on|off[,WAIT] 或 MAC/N,on|off[,WAIT]）：列出、显示、添加或删除序列，或逐步运行一个序列。</translation>
    </message>
    <message>
        <source>Seconds between the last off seen and on in a cycle (default 5).</source>
        <translation>重启时从最后一次看到关闭到开启之间的秒数（默认 5）。</translation>
    </message>
    <message>
        <source>Find every PDU and check protection, print the steps, switch nothing.</source>
        <translation>查找所有 PDU 并检查保护，打印各步骤，不切换任何插座。</translation>
    </message>
    <message>
        <source>Address or subnet to poll by unicast beside the broadcast (repeatable), as 10.1.2.3 or 10.1.2.0/24 for PDUs behind a router; default those in ./target.prt and those of this machine's service.</source>
        <translation>除广播外另以单播轮询的地址或子网（可重复），例如10.1.2.3或10.1.2.0/24，用于路由器后的PDU；默认为./target.prt中的以及本机服务的。</translation>
    </message>
    <message>
        <source>set %1 last cycle: %2</source>
        <translation>插座组 %1 上次循环：%2</translation>
    </message>
    <message>
        <source>--service takes the service's address as https://HOST:PORT</source>
        <translation>--service 取服务的地址，格式为 https://HOST:PORT</translation>
    </message>
    <message>
        <source>cannot read the credentials file %1</source>
        <translation>无法读取凭据文件 %1</translation>
    </message>
    <message>
        <source>the credentials file holds USER:PASSWORD on its first line</source>
        <translation>凭据文件的第一行应为 USER:PASSWORD</translation>
    </message>
    <message>
        <source>no certificate in %1</source>
        <translation>%1 中没有证书</translation>
    </message>
    <message>
        <source>the service %1 did not answer: %2</source>
        <translation>服务 %1 没有应答：%2</translation>
    </message>
    <message>
        <source>timed out</source>
        <translation>超时</translation>
    </message>
    <message>
        <source>the service %1 refused: %2 %3</source>
        <translation>服务 %1 拒绝了请求：%2 %3</translation>
    </message>
    <message>
        <source>the service %1 knows no PDU that answers</source>
        <translation>服务 %1 不知道任何有应答的 PDU</translation>
    </message>
    <message>
        <source>Ask the service at this address (https://HOST:PORT) instead of the PDUs; default $RACKMIND_SERVICE.</source>
        <translation>向此地址（https://HOST:PORT）的服务查询，而不是直接询问 PDU；默认为 $RACKMIND_SERVICE。</translation>
    </message>
    <message>
        <source>File holding USER:PASSWORD for the service; default $RACKMIND_CREDENTIALS.</source>
        <translation>保存服务所用 USER:PASSWORD 的文件；默认为 $RACKMIND_CREDENTIALS。</translation>
    </message>
    <message>
        <source>CA certificate the service's certificate is checked against.</source>
        <translation>用于校验服务证书的 CA 证书。</translation>
    </message>
    <message>
        <source>paused at step %1 on the service</source>
        <translation>在服务上暂停于第 %1 步</translation>
    </message>
    <message>
        <source>running at step %1 on the service</source>
        <translation>在服务上运行到第 %1 步</translation>
    </message>
    <message>
        <source>--pdf reads the history store itself: use --csv through a service, or run it on the service's machine</source>
        <translation>--pdf 需要直接读取历史数据存储：通过服务时请用 --csv，或在服务所在的机器上运行</translation>
    </message>
    <message>
        <source>the certificate of the service %1 was not accepted (%2); give its CA with --ca</source>
        <translation>服务 %1 的证书未被接受（%2）；请用 --ca 指定其 CA</translation>
    </message>
    <message>
        <source>the service %1 did not take the credentials (%2)</source>
        <translation>服务 %1 不接受所给凭据（%2）</translation>
    </message>
    <message>
        <source>the service %1 refused the user: %2</source>
        <translation>服务 %1 拒绝了该用户：%2</translation>
    </message>
    <message>
        <source>interrupted: the service carries the operation on; %1 tells how it goes</source>
        <translation>已中断：服务会继续执行该操作；%1 可查看进展</translation>
    </message>
    <message>
        <source>the service's event log</source>
        <translation>服务的事件日志</translation>
    </message>
    <message>
        <source>through a service --force takes effect for sets and sequences only: put the outlet in a set and run set NAME %1 --force (the user needs the override role)</source>
        <translation>通过服务时 --force 只对插座组和序列有效：请把该插座放入一个插座组，再运行 set NAME %1 --force（用户需要 override 角色）</translation>
    </message>
    <message>
        <source>sequence %1 stopped at step %2 of %3: %4</source>
        <translation>序列 %1 停在第 %2 步（共 %3 步）：%4</translation>
    </message>
    <message>
        <source>sequence %1 was not seen to finish in time</source>
        <translation>未在规定时间内看到序列 %1 结束</translation>
    </message>
    <message>
        <source>the service's API does not change sets or sequences: run rackmind-ctl %1 on the service's machine, without --service</source>
        <translation>服务的 API 不修改插座组或序列：请在服务所在的机器上运行 rackmind-ctl %1，不带 --service</translation>
    </message>
    <message>
        <source>--%1 goes with the PDUs' own network, not with --service</source>
        <translation>--%1 用于 PDU 所在的网络，不能与 --service 同用</translation>
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
`rackmind-ctl 命令 --help` 显示该命令的选项；--version 显示版本。
退出状态：0 完成，1 失败，2 用法错误，3 未找到 PDU，4 PDU 未确认，
5 拒绝：受保护插座，6 无历史数据存储，7 服务没有应答，8 服务拒绝了该用户。
每个命令都可以用 --service URL（或 $RACKMIND_SERVICE）通过服务的 API 执行。
</translation>
    </message>
</context>
<context>
    <name>SafeOpen</name>
    <message>
        <source>%1 is a symbolic link</source>
        <translation>%1 是符号链接</translation>
    </message>
    <message>
        <source>%1 is not a regular file</source>
        <translation>%1 不是普通文件</translation>
    </message>
    <message>
        <source>%1 has more than one name (a hard link)</source>
        <translation>%1 有不止一个名称（硬链接）</translation>
    </message>
    <message>
        <source>%1 belongs to another account (uid %2)</source>
        <translation>%1 属于另一个账号（uid %2）</translation>
    </message>
    <message>
        <source>%1 can be written by any account</source>
        <translation>任何账号都可写入 %1</translation>
    </message>
    <message>
        <source>%1 can be written by the group %2</source>
        <translation>组 %2 可写入 %1</translation>
    </message>
    <message>
        <source>%1 is missing from a folder another account can write</source>
        <translation>其他账号可写入的文件夹中缺少 %1</translation>
    </message>
</context>
<context>
    <name>SmtpFailure</name>
    <message>
        <source>no mail server set</source>
        <translation>未设置邮件服务器</translation>
    </message>
    <message>
        <source>no connection to the mail server %1: %2</source>
        <translation>无法连接邮件服务器 %1：%2</translation>
    </message>
    <message>
        <source>no connection to the mail server %1 within %2 s</source>
        <translation>%2 秒内无法连接邮件服务器 %1</translation>
    </message>
    <message>
        <source>the TLS handshake with %1 failed: %2</source>
        <translation>与 %1 的 TLS 握手失败：%2</translation>
    </message>
    <message>
        <source>the mail server %1 does not offer STARTTLS; nothing was sent unencrypted</source>
        <translation>邮件服务器 %1 不支持 STARTTLS；未以明文发送任何内容</translation>
    </message>
    <message>
        <source>no reply from the mail server to %1 within %2 s</source>
        <translation>邮件服务器在 %2 秒内未回应 %1</translation>
    </message>
    <message>
        <source>the mail server closed the connection while the reply to %1 was awaited</source>
        <translation>等待 %1 的回应时邮件服务器关闭了连接</translation>
    </message>
    <message>
        <source>the mail server's reply to %1 is unusable</source>
        <translation>邮件服务器对 %1 的回应无法使用</translation>
    </message>
    <message>
        <source>the mail server refused the connection: %1</source>
        <translation>邮件服务器拒绝连接：%1</translation>
    </message>
    <message>
        <source>the mail server refused EHLO: %1</source>
        <translation>邮件服务器拒绝 EHLO：%1</translation>
    </message>
    <message>
        <source>the mail server refused STARTTLS: %1</source>
        <translation>邮件服务器拒绝 STARTTLS：%1</translation>
    </message>
    <message>
        <source>the mail server refused the login: %1</source>
        <translation>邮件服务器拒绝登录：%1</translation>
    </message>
    <message>
        <source>the mail server offers no login method this program knows: %1</source>
        <translation>邮件服务器未提供本程序支持的登录方式：%1</translation>
    </message>
    <message>
        <source>the password would go unencrypted: choose SSL or STARTTLS, or allow an unencrypted password</source>
        <translation>密码将以未加密方式发送：请选择 SSL 或 STARTTLS，或允许未加密的密码</translation>
    </message>
    <message>
        <source>the mail server refused the sender %1: %2</source>
        <translation>邮件服务器拒绝发件人 %1：%2</translation>
    </message>
    <message>
        <source>the mail server refused the receiver %1: %2</source>
        <translation>邮件服务器拒绝收件人 %1：%2</translation>
    </message>
    <message>
        <source>the mail server did not take the mail: %1</source>
        <translation>邮件服务器未接收邮件：%1</translation>
    </message>
    <message>
        <source>no time left before the program ended</source>
        <translation>程序结束前时间不足</translation>
    </message>
    <message>
        <source>dropped: too many mails waiting for the server</source>
        <translation>已丢弃：等待发送到服务器的邮件过多</translation>
    </message>
    <message>
        <source>a line break in the account, receiver or subject</source>
        <translation>账号、收件人或主题中有换行符</translation>
    </message>
    <message>
        <source>no connection to the mail server</source>
        <translation>无法连接邮件服务器</translation>
    </message>
    <message>
        <source>the mail server refused the login</source>
        <translation>邮件服务器拒绝登录</translation>
    </message>
    <message>
        <source>the mail server did not take the mail</source>
        <translation>邮件服务器未接收邮件</translation>
    </message>
    <message>
        <source>a line break or control character in the sender, receiver or subject</source>
        <translation>发件人、收件人或主题中有换行符或控制字符</translation>
    </message>
    <message>
        <source>no sender address: set a sender or an account</source>
        <translation>没有发件人地址：请设置发件人或账号</translation>
    </message>
</context>
</TS>
