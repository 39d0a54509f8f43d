<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AlarmListWindow</name>
    <message>
        <source>报警记录</source>
        <translation>Alarm log</translation>
    </message>
    <message>
        <source>确认报警</source>
        <translation>Acknowledge</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>报警时间</source>
        <translation>Raised</translation>
    </message>
    <message>
        <source>解除时间</source>
        <translation>Cleared</translation>
    </message>
    <message>
        <source>确认时间</source>
        <translation>Acknowledged</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>数值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>限值</source>
        <translation>Limit</translation>
    </message>
    <message>
        <source>未解除或未确认：%1</source>
        <translation>Active or unacknowledged: %1</translation>
    </message>
    <message>
        <source>导出报警记录</source>
        <translation>Export the alarm log</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>%1无法写入（%2）</source>
        <translation>%1 cannot be written (%2)</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>报警记录已导出到%1</source>
        <translation>Alarm log exported to %1</translation>
    </message>
</context>
<context>
    <name>AlarmRecord</name>
    <message>
        <source>流量偏差</source>
        <translation>flow deviation</translation>
    </message>
    <message>
        <source>流量过高</source>
        <translation>flow too high</translation>
    </message>
    <message>
        <source>流量过低</source>
        <translation>flow too low</translation>
    </message>
    <message>
        <source>掉线</source>
        <translation>Dropped</translation>
    </message>
    <message>
        <source>温度超限</source>
        <translation>temperature out of range</translation>
    </message>
    <message>
        <source>压力超限</source>
        <translation>pressure out of range</translation>
    </message>
    <message>
        <source>设备%1</source>
        <translation>Device %1</translation>
    </message>
    <message>
        <source>组成偏差</source>
        <translation>composition deviation</translation>
    </message>
    <message>
        <source>混合组%1 %2 %3 %4个百分点</source>
        <translation>%3 %2 %4 points (mix group %1)</translation>
    </message>
</context>
<context>
    <name>AuditListWindow</name>
    <message>
        <source>操作记录</source>
        <translation>Audit trail</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>来源</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>操作员</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>分阶程序</source>
        <translation>Stage programme</translation>
    </message>
    <message>
        <source>远程命令</source>
        <translation>Remote command</translation>
    </message>
    <message>
        <source>斜坡</source>
        <translation>Ramp</translation>
    </message>
    <message>
        <source>退出停止</source>
        <translation>Exit stop</translation>
    </message>
    <message>
        <source>报警动作</source>
        <translation>Alarm action</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>编号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>阶段</source>
        <translation>Phase</translation>
    </message>
    <message>
        <source>内容</source>
        <translation>What</translation>
    </message>
    <message>
        <source>修改前</source>
        <translation>Before</translation>
    </message>
    <message>
        <source>修改后</source>
        <translation>After</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>原因</source>
        <translation>Reason</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <source>设备%1</source>
        <translation>Device %1</translation>
    </message>
    <message>
        <source>导出操作记录</source>
        <translation>Export the audit trail</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>%1无法写入（%2）</source>
        <translation>%1 cannot be written (%2)</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>操作记录已导出到%1</source>
        <translation>The audit trail was exported to %1</translation>
    </message>
    <message>
        <source>混合组</source>
        <translation>Mix group</translation>
    </message>
    <message>
        <source>设定值</source>
        <translation>Setpoints</translation>
    </message>
    <message>
        <source>斜坡目标</source>
        <translation>Ramp targets</translation>
    </message>
    <message>
        <source>参数写入</source>
        <translation>Parameter writes</translation>
    </message>
    <message>
        <source>参数恢复和克隆</source>
        <translation>Restores and clones</translation>
    </message>
    <message>
        <source>程序启停</source>
        <translation>Programme runs</translation>
    </message>
    <message>
        <source>混合启停</source>
        <translation>Mix runs</translation>
    </message>
    <message>
        <source>报警确认</source>
        <translation>Alarm acknowledgements</translation>
    </message>
    <message>
        <source>远程设定许可</source>
        <translation>Remote setpoint permission</translation>
    </message>
    <message>
        <source>最近1小时</source>
        <translation>Last hour</translation>
    </message>
    <message>
        <source>今天</source>
        <translation>Today</translation>
    </message>
    <message>
        <source>最近7天</source>
        <translation>Last 7 days</translation>
    </message>
    <message>
        <source>最近30天</source>
        <translation>Last 30 days</translation>
    </message>
</context>
<context>
    <name>AuditTrail</name>
    <message>
        <source>%1无法写入（%2）</source>
        <translation>%1 cannot be written (%2)</translation>
    </message>
    <message>
        <source>设备%1没有确认0</source>
        <translation>Device %1 did not confirm the 0</translation>
    </message>
</context>
<context>
    <name>BenchModel</name>
    <message>
        <source>设备%1掉线</source>
        <translation>Device %1 dropped</translation>
    </message>
    <message>
        <source>串口连接中断</source>
        <translation>Serial connection lost</translation>
    </message>
    <message>
        <source>串口已关闭</source>
        <translation>Serial port closed</translation>
    </message>
    <message>
        <source>设备%1已重新查询</source>
        <translation>Device %1 scanned again</translation>
    </message>
    <message>
        <source>设备%1已下线</source>
        <translation>Device %1 taken offline</translation>
    </message>
    <message>
        <source>设备%1未上线</source>
        <translation>Device %1 is not online</translation>
    </message>
    <message>
        <source>设备%1正由%2控制</source>
        <translation>Device %1 is driven by %2</translation>
    </message>
    <message>
        <source>设备%1处于累积量控制模式，不能设定瞬时流量</source>
        <translation>Device %1 is in cumulative control: no flow setpoint</translation>
    </message>
    <message>
        <source>设备%1处于瞬时量控制模式，不能设定累积流量</source>
        <translation>Device %1 is in flow control: no cumulative setpoint</translation>
    </message>
    <message>
        <source>设备%1的流量被%2设为0</source>
        <translation>Device %1 was set to 0 by %2</translation>
    </message>
</context>
<context>
    <name>BusHealthWindow</name>
    <message>
        <source>通信诊断</source>
        <translation>Bus diagnostics</translation>
    </message>
    <message>
        <source>设备状态</source>
        <translation>Device status</translation>
    </message>
    <message>
        <source>总线使用率：-</source>
        <translation>Bus usage: -</translation>
    </message>
    <message>
        <source>轮询一周：-</source>
        <translation>Poll cycle: -</translation>
    </message>
    <message>
        <source>链路中断：0 次，自动重连：0 次</source>
        <translation>Link losses: 0, reconnections: 0</translation>
    </message>
    <message>
        <source>回显适配器：否</source>
        <translation>Echoing adapter: no</translation>
    </message>
    <message>
        <source>清零</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>通信报文</source>
        <translation>Bus traffic</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>%1 帧（已暂停）</source>
        <translation>%1 frames (paused)</translation>
    </message>
    <message>
        <source>%1 帧</source>
        <translation>%1 frames</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>保存报文</source>
        <translation>Save frames</translation>
    </message>
    <message>
        <source>文本文件 (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>%1无法写入（%2）</source>
        <translation>%1 cannot be written (%2)</translation>
    </message>
    <message>
        <source>报文已保存到%1</source>
        <translation>Frames saved to %1</translation>
    </message>
    <message>
        <source>显示所有地址</source>
        <translation>Show all addresses</translation>
    </message>
    <message>
        <source>仅错误</source>
        <translation>Errors only</translation>
    </message>
</context>
<context>
    <name>BusSummary</name>
    <message>
        <source>总线使用率：%1%</source>
        <translation>Bus usage: %1%</translation>
    </message>
    <message>
        <source>轮询一周：%1（查询周期 %2 ms）</source>
        <translation>Poll cycle: %1 (query period %2 ms)</translation>
    </message>
    <message>
        <source>链路中断：%1 次，自动重连：%2 次</source>
        <translation>Link losses: %1, reconnections: %2</translation>
    </message>
    <message>
        <source>回显适配器：是</source>
        <translation>Echoing adapter: yes</translation>
    </message>
    <message>
        <source>回显适配器：否</source>
        <translation>Echoing adapter: no</translation>
    </message>
</context>
<context>
    <name>Driver</name>
    <message>
        <source>操作员</source>
        <translation>the operator</translation>
    </message>
    <message>
        <source>分阶程序%1</source>
        <translation>stage programme %1</translation>
    </message>
    <message>
        <source>远程命令</source>
        <translation>remote commands</translation>
    </message>
    <message>
        <source>斜坡</source>
        <translation>a ramp</translation>
    </message>
    <message>
        <source>混合组%1</source>
        <translation>mix group %1</translation>
    </message>
    <message>
        <source>退出停止</source>
        <translation>the exit stop</translation>
    </message>
    <message>
        <source>报警动作</source>
        <translation>an alarm&apos;s action</translation>
    </message>
</context>
<context>
    <name>HealthTableModel</name>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>超时</source>
        <translation>Timeout</translation>
    </message>
    <message>
        <source>校验错误</source>
        <translation>CRC</translation>
    </message>
    <message>
        <source>异常应答</source>
        <translation>Exception</translation>
    </message>
    <message>
        <source>失步</source>
        <translation>Desync</translation>
    </message>
    <message>
        <source>写入重试</source>
        <translation>Retries</translation>
    </message>
    <message>
        <source>写入失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>延迟中位 ms</source>
        <translation>Med. ms</translation>
    </message>
    <message>
        <source>延迟 p95 ms</source>
        <translation>p95 ms</translation>
    </message>
    <message>
        <source>最后读数</source>
        <translation>Last read</translation>
    </message>
    <message>
        <source>在线</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>掉线</source>
        <translation>Dropped</translation>
    </message>
    <message>
        <source>离线</source>
        <translation>Offline</translation>
    </message>
</context>
<context>
    <name>JournalHeader</name>
    <message>
        <source>记录文件头不完整</source>
        <translation>incomplete recording file header</translation>
    </message>
    <message>
        <source>不是记录文件</source>
        <translation>not a recording file</translation>
    </message>
</context>
<context>
    <name>MixDriver</name>
    <message>
        <source>设备%1已停止</source>
        <translation>Device %1 stopped</translation>
    </message>
    <message>
        <source>设备%1已不在线</source>
        <translation>Device %1 is no longer online</translation>
    </message>
    <message>
        <source>没有混合组%1</source>
        <translation>There is no mix group %1</translation>
    </message>
    <message>
        <source>混合组%1正在运行，请先停止</source>
        <translation>Mix group %1 is running: stop it first</translation>
    </message>
    <message>
        <source>设备%1不处于瞬时量控制模式</source>
        <translation>Device %1 is not in instantaneous flow control</translation>
    </message>
    <message>
        <source>混合组%1已停止</source>
        <translation>Mix group %1 stopped</translation>
    </message>
    <message>
        <source>混合组%1已停止，所有设备流量设为0：%2</source>
        <translation>Mix group %1 stopped, every member&apos;s flow set to 0: %2</translation>
    </message>
</context>
<context>
    <name>MixGroup</name>
    <message>
        <source>混合组需要2到4台设备</source>
        <translation>A mix group needs 2 to 4 devices</translation>
    </message>
    <message>
        <source>设备%1在混合组中出现了两次</source>
        <translation>Device %1 is in the mix group twice</translation>
    </message>
    <message>
        <source>设备%1的比例必须大于0</source>
        <translation>The share of device %1 must be above 0</translation>
    </message>
    <message>
        <source>设备%1的满量程必须大于0</source>
        <translation>The full scale of device %1 must be above 0</translation>
    </message>
    <message>
        <source>比例之和为%1%，应为100%</source>
        <translation>The shares add up to %1%, not 100%</translation>
    </message>
    <message>
        <source>总流量不能为负</source>
        <translation>The total flow cannot be negative</translation>
    </message>
    <message>
        <source>总流量受设备%1限制：最大 %2 sccm</source>
        <translation>Total flow limited by device %1: at most %2 sccm</translation>
    </message>
    <message>
        <source>设备%1 %2%</source>
        <translation>device %1 %2%</translation>
    </message>
    <message>
        <source>设备%1已满量程，组成变为：%2</source>
        <translation>Device %1 at full scale, the mixture becomes: %2</translation>
    </message>
    <message>
        <source>；总流量最大 %1 sccm</source>
        <translation>; total flow at most %1 sccm</translation>
    </message>
</context>
<context>
    <name>MixSettingsWindow</name>
    <message>
        <source>混合设置</source>
        <translation>Gas mixing</translation>
    </message>
    <message>
        <source>混合组</source>
        <translation>Mix group</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>设备满量程时</source>
        <translation>At a device&apos;s full scale</translation>
    </message>
    <message>
        <source>保持比例</source>
        <translation>Keep ratio</translation>
    </message>
    <message>
        <source>保持总量</source>
        <translation>Keep total</translation>
    </message>
    <message>
        <source>总流量(sccm)</source>
        <translation>Total flow (sccm)</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>启动</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>设定总量</source>
        <translation>Set total</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>混合组%1</source>
        <translation>Mix group %1</translation>
    </message>
    <message>
        <source>设备地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>比例(%)</source>
        <translation>Share (%)</translation>
    </message>
    <message>
        <source>满量程(sccm)</source>
        <translation>Full scale (sccm)</translation>
    </message>
    <message>
        <source>设定值(sccm)</source>
        <translation>Setpoint (sccm)</translation>
    </message>
    <message>
        <source>目标组成</source>
        <translation>Target composition</translation>
    </message>
    <message>
        <source>实际组成</source>
        <translation>Actual composition</translation>
    </message>
    <message>
        <source>第%1行无法读取：设备地址为1到255，比例和满量程为数字</source>
        <translation>Row %1 cannot be read: the address is 1 to 255, the share and full scale are numbers</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>混合组%1已保存</source>
        <translation>Mix group %1 saved</translation>
    </message>
    <message>
        <source>混合组%1未启动：%2</source>
        <translation>Mix group %1 not started: %2</translation>
    </message>
    <message>
        <source>运行中：总流量 %1 sccm</source>
        <translation>Running: total flow %1 sccm</translation>
    </message>
    <message>
        <source>已停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>组成偏差报警</source>
        <translation>Composition alarm</translation>
    </message>
    <message>
        <source>任一设备的实际比例偏离目标比例超过设定的百分点并持续设定的秒数时报警；总流量变更后等待设定的秒数再判断</source>
        <translation>Alarm when any controller&apos;s measured share is off its target share by more than the set percentage points for the set seconds; after a change of the total, wait the set seconds first</translation>
    </message>
    <message>
        <source>偏差超过(百分点)</source>
        <translation>Off by more than (points)</translation>
    </message>
    <message>
        <source>持续(s)</source>
        <translation>For (s)</translation>
    </message>
    <message>
        <source>变更后等待(s)</source>
        <translation>Wait after a change (s)</translation>
    </message>
    <message>
        <source>组成偏差报警：设备%1偏离目标 %2 个百分点（限 %3）</source>
        <translation>Composition alarm: device %1 off its target by %2 percentage points (limit %3)</translation>
    </message>
    <message>
        <source>组成偏差：最大 %1 个百分点（限 %2）</source>
        <translation>Composition deviation: at most %1 percentage points (limit %2)</translation>
    </message>
</context>
<context>
    <name>MqttBridge</name>
    <message>
        <source>MQTT未启用</source>
        <translation>MQTT off</translation>
    </message>
    <message>
        <source>MQTT未连接：主题前缀不可用</source>
        <translation>MQTT not connected: topic prefix unusable</translation>
    </message>
    <message>
        <source>MQTT未连接：%1</source>
        <translation>MQTT not connected: %1</translation>
    </message>
    <message>
        <source>MQTT正在连接 %1:%2</source>
        <translation>MQTT connecting to %1:%2</translation>
    </message>
    <message>
        <source>MQTT已连接 %1:%2</source>
        <translation>MQTT connected to %1:%2</translation>
    </message>
    <message>
        <source>MQTT未连接 %1:%2：%3</source>
        <translation>MQTT not connected to %1:%2: %3</translation>
    </message>
</context>
<context>
    <name>MqttSettingsStore</name>
    <message>
        <source>无法创建文件夹%1</source>
        <translation>Cannot create the folder %1</translation>
    </message>
    <message>
        <source>无法写入%1</source>
        <translation>Cannot write %1</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>MqttSettingsWindow</name>
    <message>
        <source>MQTT 设置</source>
        <translation>MQTT settings</translation>
    </message>
    <message>
        <source>代理服务器</source>
        <translation>Broker</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>用户名</source>
        <translation>User name</translation>
    </message>
    <message>
        <source>密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>保存密码</source>
        <translation>Save password</translation>
    </message>
    <message>
        <source>CA证书文件(TLS)</source>
        <translation>CA certificate (TLS)</translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation>Choose file</translation>
    </message>
    <message>
        <source>主题前缀</source>
        <translation>Topic prefix</translation>
    </message>
    <message>
        <source>启用发布</source>
        <translation>Publish</translation>
    </message>
    <message>
        <source>允许远程设定</source>
        <translation>Allow remote setpoints</translation>
    </message>
    <message>
        <source>连接状态</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>MQTT未启用</source>
        <translation>MQTT off</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>选择CA证书文件</source>
        <translation>Choose the CA certificate file</translation>
    </message>
    <message>
        <source>Certificates (*.crt *.pem);;All files (*)</source>
        <translation>Certificates (*.crt *.pem);;All files (*)</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>主题前缀不能为空，也不能含有 + 或 #</source>
        <translation>The topic prefix must not be empty and must not contain + or #</translation>
    </message>
    <message>
        <source>请填写代理服务器地址</source>
        <translation>Please enter the broker address</translation>
    </message>
</context>
<context>
    <name>OverrunAdvice</name>
    <message>
        <source>设备%1的应答延迟中位 %2 ms，高于其他设备：检查该设备或增大查询等待时间</source>
        <translation>Device %1 answers with a median latency of %2 ms, more than the other devices: check that device or lengthen the reply timeout</translation>
    </message>
    <message>
        <source>轮询一周比读取节拍（%1 ms）长：每个控制器的读数间隔都超过了 %1 ms。提高波特率、缩短查询间隔或减少在线的控制器可以缩短轮询。</source>
        <translation>One poll cycle takes longer than the read beat (%1 ms): every controller is read less often than every %1 ms. A higher baud rate, a shorter query interval or fewer online controllers shorten the cycle.</translation>
    </message>
</context>
<context>
    <name>ParameterBackup</name>
    <message>
        <source>气体系数序号</source>
        <translation>Gas coefficient number</translation>
    </message>
    <message>
        <source>自定义气体系数</source>
        <translation>Custom gas coefficient</translation>
    </message>
    <message>
        <source>背光时间</source>
        <translation>Backlight time</translation>
    </message>
    <message>
        <source>瞬间掉电保存</source>
        <translation>Save on power loss</translation>
    </message>
    <message>
        <source>瞬间开机输出延时</source>
        <translation>Output delay at power-on</translation>
    </message>
    <message>
        <source>累计量输出时间间隔</source>
        <translation>Cumulative output interval</translation>
    </message>
    <message>
        <source>流量报警方式</source>
        <translation>Flow alarm mode</translation>
    </message>
    <message>
        <source>流量报警引脚极性</source>
        <translation>Flow alarm pin polarity</translation>
    </message>
    <message>
        <source>报警值1</source>
        <translation>Alarm value 1</translation>
    </message>
    <message>
        <source>报警值2</source>
        <translation>Alarm value 2</translation>
    </message>
    <message>
        <source>控制模式</source>
        <translation>Control mode</translation>
    </message>
    <message>
        <source>ID号</source>
        <translation>Device address</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate (index)</translation>
    </message>
    <message>
        <source>主动输出周期</source>
        <translation>Active output period</translation>
    </message>
    <message>
        <source>主动输出选择</source>
        <translation>Active output selection</translation>
    </message>
    <message>
        <source>调节死区</source>
        <translation>Control dead band</translation>
    </message>
    <message>
        <source>调节P</source>
        <translation>Control gain P</translation>
    </message>
    <message>
        <source>调节I</source>
        <translation>Control gain I</translation>
    </message>
    <message>
        <source>调节D</source>
        <translation>Control gain D</translation>
    </message>
    <message>
        <source>模拟量输入滤波系数</source>
        <translation>Analog input filter coefficient</translation>
    </message>
    <message>
        <source>普通菜单密码</source>
        <translation>Ordinary menu password</translation>
    </message>
    <message>
        <source>高级菜单密码</source>
        <translation>Advanced menu password</translation>
    </message>
</context>
<context>
    <name>ProcessSettings</name>
    <message>
        <source>%1大于%2 MB</source>
        <translation>%1 is larger than %2 MB</translation>
    </message>
    <message>
        <source>%1无法打开（%2）</source>
        <translation>%1 cannot be opened (%2)</translation>
    </message>
    <message>
        <source>%1不是有效的JSON（%2）</source>
        <translation>%1 is not valid JSON (%2)</translation>
    </message>
    <message>
        <source>%1无法写入（%2）</source>
        <translation>%1 cannot be written (%2)</translation>
    </message>
    <message>
        <source>控制器地址“%1”无效</source>
        <translation>Invalid controller address &quot;%1&quot;</translation>
    </message>
    <message>
        <source>设备%1的斜坡速率无效</source>
        <translation>Invalid ramp rate for device %1</translation>
    </message>
</context>
<context>
    <name>ProcessSettingsWindow</name>
    <message>
        <source>过程设置</source>
        <translation>Process settings</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>修改时间</source>
        <translation>Changed</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>设备%1</source>
        <translation>Device %1</translation>
    </message>
    <message>
        <source>保存在%1</source>
        <translation>Kept in %1</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>没有修改</source>
        <translation>Nothing was changed</translation>
    </message>
    <message>
        <source>斜坡速率为0时设定值立即写入；流量上限、下限为“关”时不报警；修改需要管理员密码。</source>
        <translation>With a ramp rate of 0 a setpoint is written at once; a flow limit set to &quot;Off&quot; raises nothing. Changes need the administrator password.</translation>
    </message>
    <message>
        <source>斜坡速率
(sccm/s)</source>
        <translation>Ramp rate
(sccm/s)</translation>
    </message>
    <message>
        <source>偏差
报警</source>
        <translation>Deviation
alarm</translation>
    </message>
    <message>
        <source>偏差
(%)</source>
        <translation>Deviation
(%)</translation>
    </message>
    <message>
        <source>偏差
(sccm)</source>
        <translation>Deviation
(sccm)</translation>
    </message>
    <message>
        <source>持续
(秒)</source>
        <translation>Lasting
(s)</translation>
    </message>
    <message>
        <source>保持
(秒)</source>
        <translation>Hold-off
(s)</translation>
    </message>
    <message>
        <source>流量上限
(sccm)</source>
        <translation>High flow
(sccm)</translation>
    </message>
    <message>
        <source>流量下限
(sccm)</source>
        <translation>Low flow
(sccm)</translation>
    </message>
    <message>
        <source>掉线
报警</source>
        <translation>Dropped
alarm</translation>
    </message>
    <message>
        <source>报警时
设为0</source>
        <translation>Zero on
alarm</translation>
    </message>
    <message>
        <source>关</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>温度
报警</source>
        <translation>Temp.
alarm</translation>
    </message>
    <message>
        <source>温度下限
(℃)</source>
        <translation>Temp. low
(℃)</translation>
    </message>
    <message>
        <source>温度上限
(℃)</source>
        <translation>Temp. high
(℃)</translation>
    </message>
    <message>
        <source>压力
报警</source>
        <translation>Pressure
alarm</translation>
    </message>
    <message>
        <source>压力下限
(KPa)</source>
        <translation>Pressure low
(kPa)</translation>
    </message>
    <message>
        <source>压力上限
(KPa)</source>
        <translation>Pressure high
(kPa)</translation>
    </message>
</context>
<context>
    <name>RampDriver</name>
    <message>
        <source>设备%1已不在线</source>
        <translation>Device %1 is no longer online</translation>
    </message>
    <message>
        <source>设备%1的流量被%2设为0</source>
        <translation>Device %1 was set to 0 by %2</translation>
    </message>
    <message>
        <source>设备%1处于累积量控制模式，不能使用斜坡</source>
        <translation>Device %1 is in cumulative control: no ramp</translation>
    </message>
    <message>
        <source>设备%1正由%2控制</source>
        <translation>Device %1 is driven by %2</translation>
    </message>
    <message>
        <source>设备%1没有确认设定值%2</source>
        <translation>Device %1 did not confirm setpoint %2</translation>
    </message>
</context>
<context>
    <name>TrafficModel</name>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>功能码</source>
        <translation>Function code</translation>
    </message>
    <message>
        <source>报文</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>接收</source>
        <translation>Received</translation>
    </message>
    <message>
        <source>应答</source>
        <translation>Answered</translation>
    </message>
    <message>
        <source>超时</source>
        <translation>Timeout</translation>
    </message>
    <message>
        <source>校验错误</source>
        <translation>CRC error</translation>
    </message>
    <message>
        <source>异常应答 %1</source>
        <translation>Exception %1</translation>
    </message>
    <message>
        <source>迟到/丢弃</source>
        <translation>Late/discarded</translation>
    </message>
    <message>
        <source>迟到</source>
        <translation>Late</translation>
    </message>
    <message>
        <source>适配器回显</source>
        <translation>Adapter echo</translation>
    </message>
    <message>
        <source>数值</source>
        <translation>Value</translation>
    </message>
</context>
<context>
    <name>Workspace</name>
    <message>
        <source>%1，设备%2</source>
        <translation>%1, devices %2</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>太大</source>
        <translation> is too large</translation>
    </message>
    <message>
        <source>%1无法读取（%2）</source>
        <translation>%1 cannot be read (%2)</translation>
    </message>
    <message>
        <source>%1不是工作区文件</source>
        <translation>%1 is not a workspace file</translation>
    </message>
    <message>
        <source>%1无法写入（%2）</source>
        <translation>%1 cannot be written (%2)</translation>
    </message>
</context>
<context>
    <name>lossWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>开始时间</source>
        <translation>Start time</translation>
    </message>
    <message>
        <source>总线使用率</source>
        <translation>Bus usage</translation>
    </message>
    <message>
        <source>总丢包数量统计</source>
        <translation>Total lost packets</translation>
    </message>
    <message>
        <source>设置查询周期(毫秒)</source>
        <translation>Set query period (ms)</translation>
    </message>
    <message>
        <source>设置查询间隔（毫秒）</source>
        <translation>Set query interval (ms)</translation>
    </message>
    <message>
        <source>设置查询等待时间（毫秒）</source>
        <translation>Set reply timeout (ms)</translation>
    </message>
    <message>
        <source>当前查询等待时间</source>
        <translation>Timeout</translation>
    </message>
    <message>
        <source>当前查询周期</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>当前查询间隔</source>
        <translation>Interval</translation>
    </message>
    <message>
        <source>重新计算总丢包数量</source>
        <translation>Recount</translation>
    </message>
    <message>
        <source>当前查询周期为%1毫秒</source>
        <translation>The query period is %1 ms</translation>
    </message>
    <message>
        <source>当前查询间隔%1毫秒</source>
        <translation>The query interval is %1 ms</translation>
    </message>
    <message>
        <source>当前查询等待时间%1毫秒</source>
        <translation>The reply timeout is %1 ms</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>查询周期</source>
        <translation>The query period</translation>
    </message>
    <message>
        <source>查询间隔</source>
        <translation>The query interval</translation>
    </message>
    <message>
        <source>查询等待时间</source>
        <translation>The reply timeout</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>%1应为%2到%3之间的整数（毫秒），设置未改变</source>
        <translation>%1 must be a whole number of milliseconds from %2 to %3; the setting is unchanged</translation>
    </message>
    <message>
        <source>yy-MM-dd HH:mm:ss</source>
        <extracomment>The format of the start time, in QDateTime&apos;s letters: an English reader expects the whole year first.</extracomment>
        <translation>yyyy-MM-dd HH:mm:ss</translation>
    </message>
</context>
<context>
    <name>setSerialport</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>串口选择</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud</translation>
    </message>
    <message>
        <source>串口操作</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>串口已经打开</source>
        <translation>The serial port is open already</translation>
    </message>
    <message>
        <source>已打开</source>
        <translation>Opened</translation>
    </message>
    <message>
        <source>已关闭</source>
        <translation>Closed</translation>
    </message>
    <message>
        <source>串口打开失败</source>
        <translation>The serial port could not be opened</translation>
    </message>
    <message>
        <source>当前用户没有使用串口的权限：请管理员把该用户加入 dialout 组（sudo usermod -aG dialout 用户名），重新登录后再试</source>
        <translation>This user may not use serial ports: ask an administrator to add the user to the dialout group (sudo usermod -aG dialout USERNAME), then log in again and retry</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
</context>
</TS>
