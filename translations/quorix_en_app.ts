<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AlarmWiring</name>
    <message>
        <source>报警</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>报警已确认</source>
        <translation>Alarm acknowledged</translation>
    </message>
    <message>
        <source>报警已解除并确认</source>
        <translation>Alarm cleared and acknowledged</translation>
    </message>
    <message>
        <source>报警已解除</source>
        <translation>Alarm cleared</translation>
    </message>
    <message>
        <source>报警动作：设备%1的流量设为0（%2）</source>
        <translation>Alarm action: device %1 set to 0 (%2)</translation>
    </message>
    <message>
        <source>报警记录</source>
        <translation>Alarm log</translation>
    </message>
    <message>
        <source>%1：%2（自 %3）</source>
        <translation>%1: %2 (since %3)</translation>
    </message>
    <message>
        <source>报警：%1（自 %2）</source>
        <translation>Alarm: %1 (since %2)</translation>
    </message>
    <message>
        <source>，共%1条</source>
        <translation>, %1 in all</translation>
    </message>
</context>
<context>
    <name>AuditWiring</name>
    <message>
        <source>未写入，或读回的值与写入的不同</source>
        <translation>not written, or it read back other than written</translation>
    </message>
</context>
<context>
    <name>CustomSpimbox</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
</context>
<context>
    <name>DeviceLine</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>瞬时流量</source>
        <translation>Flow</translation>
    </message>
    <message>
        <source>累积流量</source>
        <translation>Total flow</translation>
    </message>
    <message>
        <source>温度</source>
        <translation>Temp.</translation>
    </message>
    <message>
        <source>压力</source>
        <translation>Pressure</translation>
    </message>
    <message>
        <source>上线</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>接连</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>断开</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>掉线</source>
        <translation>Dropped</translation>
    </message>
    <message>
        <source>累积量控制</source>
        <translation>Total mode</translation>
    </message>
    <message>
        <source>瞬时量控制</source>
        <translation>Flow mode</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>设定值超出范围，请输入%1到%2之间的数值</source>
        <translation>Setpoint out of range: enter a value from %1 to %2</translation>
    </message>
    <message>
        <source>最后读数：%1</source>
        <translation>Last reading: %1</translation>
    </message>
    <message>
        <source>斜坡：%1 → %2 sccm，%3 sccm/s</source>
        <translation>Ramp: %1 → %2 sccm, %3 sccm/s</translation>
    </message>
</context>
<context>
    <name>ExitSequence</name>
    <message>
        <source>分阶程序正在运行。退出前停止全部程序并将流量设为0？</source>
        <translation>A stage programme is running. Stop all programmes and set the flow to 0 before leaving?</translation>
    </message>
    <message>
        <source>尚未开始的记录将被取消：%1</source>
        <translation>Recordings not yet started will be cancelled: %1</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>停止并退出</source>
        <translation>Stop and exit</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>尚未开始的记录已取消：%1</source>
        <translation>Recordings not yet started were cancelled: %1</translation>
    </message>
    <message>
        <source>设备%1</source>
        <translation>Device %1</translation>
    </message>
    <message>
        <source>正在将流量设为0：%1</source>
        <translation>Setting the flow to 0: %1</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>%1未在%2秒内确认流量已设为0，请检查该设备。关闭本窗口后程序退出。</source>
        <translation>%1 did not confirm a flow of 0 within %2 s; please check it. The program ends when this window is closed.</translation>
    </message>
    <message>
        <source>混合组正在运行。退出前停止全部混合组并将流量设为0？</source>
        <translation>A mix group is running. Stop all mix groups and set their flows to 0 before leaving?</translation>
    </message>
</context>
<context>
    <name>MqttLinkWiring</name>
    <message>
        <source>请登录</source>
        <translation>Please log in</translation>
    </message>
    <message>
        <source>MQTT 设置</source>
        <translation>MQTT settings</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>MQTT设置无法保存：%1</source>
        <translation>The MQTT settings could not be saved: %1</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>密码错误</source>
        <translation>Wrong password</translation>
    </message>
</context>
<context>
    <name>ParameterBackupWiring</name>
    <message>
        <source>管理员登录（参数备份）</source>
        <translation>Administrator login (parameter backup)</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>密码错误</source>
        <translation>Wrong password</translation>
    </message>
    <message>
        <source>参数备份</source>
        <translation>Parameter backup</translation>
    </message>
</context>
<context>
    <name>ProcessSettingsWiring</name>
    <message>
        <source>过程设置</source>
        <translation>Process settings</translation>
    </message>
    <message>
        <source>请登录</source>
        <translation>Please log in</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>密码错误</source>
        <translation>Wrong password</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>过程设置无法保存：%1</source>
        <translation>The process settings cannot be saved: %1</translation>
    </message>
    <message>
        <source>过程设置已保存</source>
        <translation>Process settings saved</translation>
    </message>
</context>
<context>
    <name>RecordingStatusLabel</name>
    <message>
        <source>设备%1 → %2（%3 开始）</source>
        <translation>Device %1 → %2 (starts %3)</translation>
    </message>
    <message>
        <source>；</source>
        <comment>between the recordings of a list</comment>
        <translation>; </translation>
    </message>
    <message>
        <source>等待记录：%1</source>
        <translation>Waiting to record: %1</translation>
    </message>
    <message>
        <source>记录中：设备%1 → %2（剩余 %3）</source>
        <translation>Recording: Device %1 → %2 (%3 left)</translation>
    </message>
</context>
<context>
    <name>RegularFile</name>
    <message>
        <source>命名管道</source>
        <translation>named pipe</translation>
    </message>
    <message>
        <source>字符设备</source>
        <translation>character device</translation>
    </message>
    <message>
        <source>块设备</source>
        <translation>block device</translation>
    </message>
    <message>
        <source>套接字</source>
        <translation>socket</translation>
    </message>
    <message>
        <source>文件夹</source>
        <translation>folder</translation>
    </message>
    <message>
        <source>特殊文件</source>
        <translation>special file</translation>
    </message>
    <message>
        <source>不是普通文件，而是%1</source>
        <translation>not a regular file but a %1</translation>
    </message>
</context>
<context>
    <name>WorkspaceWiring</name>
    <message>
        <source>恢复上次连接（%1）</source>
        <translation>Restore the last connection (%1)</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>串口%1无法打开，未恢复连接</source>
        <translation>The serial port %1 cannot be opened; the connection was not restored</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>设备%1没有应答，未上线</source>
        <translation>Device %1 did not answer and was not taken online</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>deviceWindow</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>在线状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>ID号</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>瞬时流量/sccm</source>
        <translation>Flow/sccm</translation>
    </message>
    <message>
        <source>累积流量/L</source>
        <translation>Total flow/L</translation>
    </message>
    <message>
        <source>温度/℃</source>
        <translation>Temp./℃</translation>
    </message>
    <message>
        <source>压力/KPa</source>
        <translation>Pressure/kPa</translation>
    </message>
    <message>
        <source>瞬时流量设定/sccm</source>
        <translation>Flow setpoint/sccm</translation>
    </message>
    <message>
        <source>累积流量设定/L</source>
        <translation>Total setpoint/L</translation>
    </message>
    <message>
        <source>流量控制模式</source>
        <translation>Control mode</translation>
    </message>
</context>
<context>
    <name>loginWnd</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>mainWnd</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>设备管理</source>
        <translation>Devices</translation>
    </message>
    <message>
        <source>分阶流量</source>
        <translation>Stages</translation>
    </message>
    <message>
        <source>历史数据</source>
        <translation>History</translation>
    </message>
    <message>
        <source>通信设置(未连接）(C)</source>
        <translation>&amp;Communication (not connected)</translation>
    </message>
    <message>
        <source>设备管理(D)</source>
        <translation>&amp;Devices</translation>
    </message>
    <message>
        <source>查询设备</source>
        <translation>Scan for devices</translation>
    </message>
    <message>
        <source>丢包统计</source>
        <translation>Lost packets</translation>
    </message>
    <message>
        <source>MQTT 设置</source>
        <translation>MQTT settings</translation>
    </message>
    <message>
        <source>通信诊断</source>
        <translation>Bus diagnostics</translation>
    </message>
    <message>
        <source>文件(F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open file</translation>
    </message>
    <message>
        <source>保存文件</source>
        <translation>Save file</translation>
    </message>
    <message>
        <source>设备参数设置(P)</source>
        <translation>Device &amp;parameters</translation>
    </message>
    <message>
        <source>普通参数设置</source>
        <translation>Ordinary parameters</translation>
    </message>
    <message>
        <source>高级参数设置</source>
        <translation>Advanced parameters</translation>
    </message>
    <message>
        <source>帮助（H）</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>软件版本号</source>
        <translation>Software version</translation>
    </message>
    <message>
        <source>软件说明书</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>开发者模式</source>
        <translation>Developer mode</translation>
    </message>
    <message>
        <source>设备%1</source>
        <translation>Dev. %1</translation>
    </message>
    <message>
        <source>串口通信参数设置</source>
        <translation>Serial port settings</translation>
    </message>
    <message>
        <source>保存设置</source>
        <translation>Save settings</translation>
    </message>
    <message>
        <source>请登录</source>
        <translation>Please log in</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>当前版本号为V2.0.0</source>
        <translation>Current version: V2.0.0</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>无法保存界面语言的设置</source>
        <translation>The interface language could not be saved</translation>
    </message>
    <message>
        <source>下次启动时界面将使用英文。</source>
        <translation>The interface will be in English from the next start.</translation>
    </message>
    <message>
        <source>下次启动时界面将使用中文。</source>
        <translation>The interface will be in Chinese from the next start.</translation>
    </message>
    <message>
        <source>无法打开说明书，请用PDF阅读器打开文件：
%1</source>
        <translation>The manual could not be opened. Open this file with a PDF reader:
%1</translation>
    </message>
    <message>
        <source>说明书文件不存在，请检查文件路径</source>
        <translation>The manual file does not exist. Check the file path.</translation>
    </message>
    <message>
        <source>选择CSV文件</source>
        <translation>Choose a CSV file</translation>
    </message>
    <message>
        <source>无法打开文件%1（%2）</source>
        <translation>Cannot open file %1 (%2)</translation>
    </message>
    <message>
        <source>只打开了%1的一部分：每种数据最多显示%2个点</source>
        <translation>Only part of %1 was opened: at most %2 points are shown for each kind of data</translation>
    </message>
    <message>
        <source>文件%1中没有找到数据</source>
        <translation>No data found in file %1</translation>
    </message>
    <message>
        <source>成功打开%1</source>
        <translation>Opened %1</translation>
    </message>
    <message>
        <source>串口未连接</source>
        <translation>Serial port not connected</translation>
    </message>
    <message>
        <source>通信设置(已连接)</source>
        <translation>&amp;Communication (connected)</translation>
    </message>
    <message>
        <source>通信设置(未连接)</source>
        <translation>&amp;Communication (not connected)</translation>
    </message>
    <message>
        <source>串口连接中断</source>
        <translation>Serial port connection lost</translation>
    </message>
    <message>
        <source>没有查询到设备</source>
        <translation>No device found</translation>
    </message>
    <message>
        <source>查询设备完成，查询到的设备为:%1</source>
        <translation>Scan complete. Devices found: %1</translation>
    </message>
    <message>
        <source>设备:%1掉线</source>
        <translation>Device %1 dropped</translation>
    </message>
    <message>
        <source>密码错误</source>
        <translation>Wrong password</translation>
    </message>
    <message>
        <source>高级参数修改</source>
        <translation>Advanced parameters</translation>
    </message>
    <message>
        <source>过程设置</source>
        <translation>Process settings</translation>
    </message>
    <message>
        <source>报警记录</source>
        <translation>Alarm log</translation>
    </message>
    <message>
        <source>参数备份</source>
        <translation>Parameter backup</translation>
    </message>
    <message>
        <source>操作记录</source>
        <translation>Audit trail</translation>
    </message>
    <message>
        <source>混合设置</source>
        <translation>Gas mixing</translation>
    </message>
</context>
<context>
    <name>qDebugWidget</name>
    <message>
        <source>Form</source>
        <translation>Debug log</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
</TS>
