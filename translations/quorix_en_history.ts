<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>DataFileLoader</name>
    <message>
        <source>文件大于%1 MB，不是本软件保存的数据文件</source>
        <translation>The file is larger than %1 MB: not a data file saved by this program</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>正在打开文件%1请稍后</source>
        <translation>Opening file %1, please wait</translation>
    </message>
</context>
<context>
    <name>ParameterBackupWindow</name>
    <message>
        <source>参数备份</source>
        <translation>Parameter backup</translation>
    </message>
    <message>
        <source>控制器</source>
        <translation>Controller</translation>
    </message>
    <message>
        <source>备份到文件</source>
        <translation>Back up to file</translation>
    </message>
    <message>
        <source>备份文件与控制器比较</source>
        <translation>Compare backup with controller</translation>
    </message>
    <message>
        <source>源控制器</source>
        <translation>Source controller</translation>
    </message>
    <message>
        <source>两台控制器比较</source>
        <translation>Compare two controllers</translation>
    </message>
    <message>
        <source>两个文件比较</source>
        <translation>Compare two files</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>参数</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>寄存器</source>
        <translation>Register</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>B</source>
        <translation>B</translation>
    </message>
    <message>
        <source>隐藏相同的参数</source>
        <translation>Hide equal parameters</translation>
    </message>
    <message>
        <source>写入勾选的参数</source>
        <translation>Write ticked parameters</translation>
    </message>
    <message>
        <source>管理员参数需要管理员密码；未登录时只读写普通参数。</source>
        <translation>Administrator parameters need the administrator password; without it only the ordinary parameters are read and written.</translation>
    </message>
    <message>
        <source>管理员参数已解锁。</source>
        <translation>Administrator parameters unlocked.</translation>
    </message>
    <message>
        <source>设备%1未回答：%2</source>
        <translation>Device %1 did not answer: %2</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>设备%1不在线，无法备份</source>
        <translation>Device %1 is not online; it cannot be backed up</translation>
    </message>
    <message>
        <source>正在读取设备%1的参数…</source>
        <translation>Reading the parameters of device %1…</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>保存参数备份</source>
        <translation>Save parameter backup</translation>
    </message>
    <message>
        <source>参数备份 (*.json)</source>
        <translation>Parameter backups (*.json)</translation>
    </message>
    <message>
        <source>参数备份无法保存：%1</source>
        <translation>The parameter backup cannot be saved: %1</translation>
    </message>
    <message>
        <source>已备份到 %1</source>
        <translation>Backed up to %1</translation>
    </message>
    <message>
        <source>已备份到 %1（仅普通参数）</source>
        <translation>Backed up to %1 (ordinary parameters only)</translation>
    </message>
    <message>
        <source>不是参数备份文件</source>
        <translation>not a parameter backup</translation>
    </message>
    <message>
        <source>%1 无法读取：%2</source>
        <translation>%1 cannot be read: %2</translation>
    </message>
    <message>
        <source>选择参数备份</source>
        <translation>Choose a parameter backup</translation>
    </message>
    <message>
        <source>备份：设备%1 %2</source>
        <translation>Backup: device %1 %2</translation>
    </message>
    <message>
        <source>设备%1（当前）</source>
        <translation>Device %1 (now)</translation>
    </message>
    <message>
        <source>设备%1</source>
        <translation>Device %1</translation>
    </message>
    <message>
        <source>选择参数备份 A</source>
        <translation>Choose parameter backup A</translation>
    </message>
    <message>
        <source>选择参数备份 B</source>
        <translation>Choose parameter backup B</translation>
    </message>
    <message>
        <source>A：设备%1</source>
        <translation>A: device %1</translation>
    </message>
    <message>
        <source>B：设备%1</source>
        <translation>B: device %1</translation>
    </message>
    <message>
        <source>（无）</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>%1 项不同</source>
        <translation>%1 differ</translation>
    </message>
    <message>
        <source>设备%1不在线</source>
        <translation>device %1 is not online</translation>
    </message>
    <message>
        <source>设备%1正由%2控制</source>
        <translation>device %1 is driven by %2</translation>
    </message>
    <message>
        <source>设备%1的设定值为%2，请先设为0</source>
        <translation>device %1 holds the setpoint %2; set it to 0 first</translation>
    </message>
    <message>
        <source>没有勾选要写入的参数</source>
        <translation>No parameter is ticked for writing</translation>
    </message>
    <message>
        <source>不能写入参数：%1</source>
        <translation>Parameters cannot be written: %1</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>向设备%1写入%2项参数？</source>
        <translation>Write %2 parameters to device %1?</translation>
    </message>
    <message>
        <source>正在写入设备%1…</source>
        <translation>Writing device %1…</translation>
    </message>
    <message>
        <source>设备%1：写入 %2，校验 %3，失败 %4</source>
        <translation>Device %1: written %2, verified %3, failed %4</translation>
    </message>
    <message>
        <source>失败：%1</source>
        <translation>Failed: %1</translation>
    </message>
    <message>
        <source>参数写入</source>
        <translation>Parameter write</translation>
    </message>
</context>
<context>
    <name>ParameterWindow</name>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>确定对设备%1执行“%2”吗？</source>
        <translation>Run &quot;%2&quot; on device %1?</translation>
    </message>
    <message>
        <source>确定将设备%1的%2改为%3吗？</source>
        <translation>Change %2 of device %1 to %3?</translation>
    </message>
</context>
<context>
    <name>Plot</name>
    <message>
        <source>Context menu</source>
        <translation>Context menu</translation>
    </message>
    <message>
        <source>瞬时流量</source>
        <translation>Flow</translation>
    </message>
    <message>
        <source>累计流量</source>
        <translation>Total flow</translation>
    </message>
    <message>
        <source>温度</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>压力</source>
        <translation>Pressure</translation>
    </message>
    <message>
        <source>清除图像</source>
        <translation>Clear chart</translation>
    </message>
    <message>
        <source>时间（秒）</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <source>KPa</source>
        <translation>kPa</translation>
    </message>
</context>
<context>
    <name>PlotWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>%1的记录已恢复写入%2</source>
        <translation>The recording for %1 is being written to %2 again</translation>
    </message>
    <message>
        <source>，其间内存已满，丢弃了%1个数据点</source>
        <translation>; memory was full meanwhile and %1 data points were dropped</translation>
    </message>
    <message>
        <source>%1的记录写入%2失败（%3），数据暂存在内存中，可以写入时继续写入</source>
        <translation>The recording for %1 could not be written to %2 (%3); the data is kept in memory and written as soon as possible</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>%1保存成功</source>
        <translation>%1 saved</translation>
    </message>
    <message>
        <source>%1保存失败（%2），数据已改存到%3</source>
        <translation>%1 could not be saved (%2); the data was saved to %3 instead</translation>
    </message>
    <message>
        <source>本次数据已丢失</source>
        <translation>the data of this recording is lost</translation>
    </message>
    <message>
        <source>数据仍在%1中，下次启动时可转换为数据文件</source>
        <translation>the data is still in %1 and can be converted to a data file at the next start</translation>
    </message>
    <message>
        <source>%1保存失败（%2），改存到%3也失败（%4），%5</source>
        <translation>%1 could not be saved (%2), nor could %3 (%4); %5</translation>
    </message>
    <message>
        <source>设备%1在记录开始时不在线</source>
        <translation>Device %1 was not online when the recording began</translation>
    </message>
    <message>
        <source>设备%1在记录期间掉线 %2 次</source>
        <translation>Device %1 dropped out %2 times during the recording</translation>
    </message>
    <message>
        <source>共 %1 秒无数据</source>
        <translation>%1 s without data in all</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>RecordingRecovery</name>
    <message>
        <source>设备%1：</source>
        <translation>Device %1: </translation>
    </message>
    <message>
        <source>%1（记录文件%2）</source>
        <translation>%1 (recording file %2)</translation>
    </message>
    <message>
        <source>上次有%1个记录未正常结束，是否将它们转换为数据文件？</source>
        <translation>%1 recording(s) did not end normally last time. Convert them to data files?</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>%1转换失败（%2），记录文件保留</source>
        <translation>%1 could not be converted (%2); the recording file is kept</translation>
    </message>
    <message>
        <source>%1保存成功</source>
        <translation>%1 saved</translation>
    </message>
</context>
<context>
    <name>StageProgrammeFile</name>
    <message>
        <source>含有NUL字节，不是文本文件</source>
        <translation>contains NUL bytes: not a text file</translation>
    </message>
    <message>
        <source>不是有效的UTF-8文本</source>
        <translation>is not valid UTF-8 text</translation>
    </message>
    <message>
        <source>无法打开（%1）</source>
        <translation>cannot be opened (%1)</translation>
    </message>
    <message>
        <source>读取失败（%1）</source>
        <translation>could not be read (%1)</translation>
    </message>
    <message>
        <source>大于%1 MB，不是分阶配置文件</source>
        <translation>is larger than %1 MB: not a stage programme file</translation>
    </message>
    <message>
        <source>没有以分阶块标题（如[1]）开头</source>
        <translation>does not begin with a stage block header (such as [1])</translation>
    </message>
</context>
<context>
    <name>itemStageControl</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>设备编号</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>当前阶序</source>
        <translation>Stage</translation>
    </message>
    <message>
        <source>当前时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>阶数</source>
        <translation>Stages</translation>
    </message>
    <message>
        <source>循环方式</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>单次</source>
        <translation>Once</translation>
    </message>
    <message>
        <source>递增</source>
        <translation>Repeat</translation>
    </message>
    <message>
        <source>循环</source>
        <translation>Back and forth</translation>
    </message>
    <message>
        <source>流量/sccm</source>
        <translation>Flow/sccm</translation>
    </message>
    <message>
        <source>时间/秒</source>
        <translation>Time/s</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>设备%1第%2行的流量超出0到%3的范围，已停止</source>
        <translation>Device %1, row %2: flow outside 0 to %3, stopped</translation>
    </message>
    <message>
        <source>请输入有效数字</source>
        <translation>Please enter a valid number</translation>
    </message>
    <message>
        <source>输入的阶数不能大于%1</source>
        <translation>The number of stages cannot exceed %1</translation>
    </message>
    <message>
        <source>斜坡需要%1秒</source>
        <translation>The ramp needs %1 s</translation>
    </message>
</context>
<context>
    <name>saveFileSetWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>设备ID</source>
        <translation>Device ID</translation>
    </message>
    <message>
        <source>请选择要保存数据的设备ID号</source>
        <translation>Select the device to save</translation>
    </message>
    <message>
        <source>开始时间</source>
        <translation>Start time</translation>
    </message>
    <message>
        <source>MM-dd hh:mm:ss</source>
        <translation>yyyy-MM-dd HH:mm:ss</translation>
    </message>
    <message>
        <source>保存时长</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>小时</source>
        <translation>hours</translation>
    </message>
    <message>
        <source>分钟</source>
        <translation>minutes</translation>
    </message>
    <message>
        <source>保存数据</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>顺时流量</source>
        <translation>Flow</translation>
    </message>
    <message>
        <source>累计流量</source>
        <translation>Total flow</translation>
    </message>
    <message>
        <source>温度</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>压力</source>
        <translation>Pressure</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>确认保存</source>
        <translation>Confirm save</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>请选择要保存的设备编号</source>
        <translation>Please select the device to save</translation>
    </message>
    <message>
        <source>选择保存路径</source>
        <translation>Choose where to save</translation>
    </message>
    <message>
        <source>设备%1正在保存数据到%2，请等待本次保存结束后再保存</source>
        <translation>Device %1 is saving data to %2; please wait until that recording has ended</translation>
    </message>
    <message>
        <source>%1正在保存设备%2的数据，请选择其他文件</source>
        <translation>%1 is receiving the data of device %2; please choose another file</translation>
    </message>
    <message>
        <source>保存时长的小时和分钟须为整数</source>
        <translation>The hours and minutes of the duration must be whole numbers</translation>
    </message>
    <message>
        <source>保存时长不能为负数</source>
        <translation>The duration cannot be negative</translation>
    </message>
    <message>
        <source>保存时长不能为0</source>
        <translation>The duration cannot be 0</translation>
    </message>
    <message>
        <source>保存时长不能超过596小时31分钟</source>
        <translation>The duration cannot exceed 596 hours 31 minutes</translation>
    </message>
    <message>
        <source>开始时间距现在不能超过24.8天</source>
        <translation>The start time cannot be more than 24.8 days from now</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>请至少选择一种保存数据</source>
        <translation>Please select at least one kind of data to save</translation>
    </message>
    <message>
        <source>%1无法写入（%2）</source>
        <translation>%1 cannot be written (%2)</translation>
    </message>
    <message>
        <source>设备%1不在线，无法记录。请先在设备管理页将其上线</source>
        <translation>Device %1 is not online and cannot be recorded. Take it online on the device page first.</translation>
    </message>
</context>
<context>
    <name>setAdminParam</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>设备ID</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>选择设备</source>
        <translation>Select device</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud</translation>
    </message>
    <message>
        <source>9600</source>
        <translation>9600</translation>
    </message>
    <message>
        <source>19200</source>
        <translation>19200</translation>
    </message>
    <message>
        <source>38400</source>
        <translation>38400</translation>
    </message>
    <message>
        <source>43000</source>
        <translation>43000</translation>
    </message>
    <message>
        <source>56000</source>
        <translation>56000</translation>
    </message>
    <message>
        <source>57600</source>
        <translation>57600</translation>
    </message>
    <message>
        <source>115200</source>
        <translation>115200</translation>
    </message>
    <message>
        <source>主动输出周期</source>
        <translation>Output period</translation>
    </message>
    <message>
        <source>主动输出选择</source>
        <translation>Active output</translation>
    </message>
    <message>
        <source>开</source>
        <translation>On</translation>
    </message>
    <message>
        <source>关</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>调节死区</source>
        <translation>Dead band</translation>
    </message>
    <message>
        <source>调节P</source>
        <translation>PID P</translation>
    </message>
    <message>
        <source>调节I</source>
        <translation>PID I</translation>
    </message>
    <message>
        <source>调节D</source>
        <translation>PID D</translation>
    </message>
    <message>
        <source>模拟量输入滤波系数</source>
        <translation>Analog input filter</translation>
    </message>
    <message>
        <source>高级菜单密码</source>
        <translation>Adv. password</translation>
    </message>
    <message>
        <source>普通菜单密码</source>
        <translation>Ord. password</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>流量清零</source>
        <translation>Zero flow</translation>
    </message>
    <message>
        <source>清洗打开</source>
        <translation>Purge on</translation>
    </message>
    <message>
        <source>模拟量输入零点设置</source>
        <translation>Set analog input zero</translation>
    </message>
    <message>
        <source>模拟量输入满量程设置</source>
        <translation>Set analog input full scale</translation>
    </message>
    <message>
        <source>出厂初始化</source>
        <translation>Factory reset</translation>
    </message>
    <message>
        <source>Input Error</source>
        <translation>Input Error</translation>
    </message>
    <message>
        <source>Please enter a valid number.</source>
        <translation>Please enter a valid number.</translation>
    </message>
    <message>
        <source>清洗关闭</source>
        <translation>Purge off</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>波特率修改成功，请以新的波特率重新打开串口并重新查询设备</source>
        <translation>Baud rate changed. Reopen the serial port at the new baud rate and scan again</translation>
    </message>
    <message>
        <source>波特率修改失败</source>
        <translation>Baud rate change failed</translation>
    </message>
    <message>
        <source>波特率</source>
        <comment>named in a question</comment>
        <translation>baud rate</translation>
    </message>
    <message>
        <source>设备ID</source>
        <comment>the address the controller reports</comment>
        <translation>Address</translation>
    </message>
</context>
<context>
    <name>setDeviceParamWin</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>设备ID</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>选择设备</source>
        <translation>Select device</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>累积量清零</source>
        <translation>Reset total flow</translation>
    </message>
    <message>
        <source>气体系数序号</source>
        <translation>Gas factor no.</translation>
    </message>
    <message>
        <source>自定义气体系数</source>
        <translation>Custom gas factor</translation>
    </message>
    <message>
        <source>背光时间</source>
        <translation>Backlight</translation>
    </message>
    <message>
        <source>瞬间开机输出延时</source>
        <translation>Power-on delay</translation>
    </message>
    <message>
        <source>累计量输出时间间隔</source>
        <translation>Total output interval</translation>
    </message>
    <message>
        <source>流量报警方式</source>
        <translation>Flow alarm mode</translation>
    </message>
    <message>
        <source>报警值1</source>
        <translation>Alarm 1</translation>
    </message>
    <message>
        <source>报警值2</source>
        <translation>Alarm 2</translation>
    </message>
    <message>
        <source>瞬间掉电保存</source>
        <translation>Power-off save</translation>
    </message>
    <message>
        <source>开</source>
        <translation>On</translation>
    </message>
    <message>
        <source>关</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>流量报警引脚极性</source>
        <translation>Alarm pin polarity</translation>
    </message>
    <message>
        <source>三极管导通</source>
        <translation>Transistor on</translation>
    </message>
    <message>
        <source>三极管不导通</source>
        <translation>Transistor off</translation>
    </message>
    <message>
        <source>ID号</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>输入错误</source>
        <translation>Input error</translation>
    </message>
    <message>
        <source>请输入有效数值.</source>
        <translation>Please enter a valid value.</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>修改设备ID成功，请重新查询设备确认</source>
        <translation>Device ID changed. Scan again to confirm</translation>
    </message>
</context>
<context>
    <name>stageControlWidget</name>
    <message>
        <source>分阶流量控制</source>
        <translation>Staged flow control</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>保存配置</source>
        <translation>Save programme</translation>
    </message>
    <message>
        <source>调入配置</source>
        <translation>Load programme</translation>
    </message>
    <message>
        <source>第%1个分阶控件（设备%2）</source>
        <translation>Stage widget %1 (device %2)</translation>
    </message>
    <message>
        <source>第%1行的流量超出0到%2的范围</source>
        <translation>row %1: flow outside 0 to %2</translation>
    </message>
    <message>
        <source>第%1行的时间须为大于0的整数秒</source>
        <translation>row %1: time must be a whole number of seconds above 0</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>%1%2，未启动</source>
        <translation>%1, %2; not started</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>选择保存路径</source>
        <translation>Choose where to save</translation>
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
        <source>加载失败</source>
        <translation>Saving failed</translation>
    </message>
    <message>
        <source>成功加载文件%1</source>
        <translation>Saved to file %1</translation>
    </message>
    <message>
        <source>分阶运行中，请先停止再调入配置</source>
        <translation>Stages are running; stop them before loading a programme</translation>
    </message>
    <message>
        <source>导入历史分阶记录</source>
        <translation>Load stage programme</translation>
    </message>
    <message>
        <source>文件解析错误</source>
        <translation>File parse error</translation>
    </message>
    <message>
        <source>文件%1%2</source>
        <translation>File %1 %2</translation>
    </message>
    <message>
        <source>文件%1导入成功%2</source>
        <translation>File %1 loaded%2</translation>
    </message>
    <message>
        <source>；第%1块%2没有有效的阶，第%1个分阶控件未改动</source>
        <translation>; block %1 %2 has no valid stage, stage widget %1 left unchanged</translation>
    </message>
    <message>
        <source>%1，第%2个分阶控件已停止</source>
        <translation>%1: stage programme %2 stopped</translation>
    </message>
    <message>
        <source>%1，第%2个分阶控件已暂停，流量已设为0</source>
        <translation>%1: stage programme %2 paused, flow set to 0</translation>
    </message>
    <message>
        <source>%1：%2，未启动</source>
        <translation>%1: %2; not started</translation>
    </message>
    <message>
        <source>文件%1不存在</source>
        <translation>The file %1 does not exist</translation>
    </message>
</context>
</TS>
