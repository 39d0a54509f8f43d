<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>Plot</name>
    <message>
        <source>Context menu</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PlotWidget</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>itemStageControl</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备编号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>当前阶序</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>当前时间</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>阶数</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>循环方式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>单次</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>递增</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>循环</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>流量/sccm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>时间/秒</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>saveFileSetWidget</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请选择要保存数据的设备ID号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开始时间</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MM-dd hh:mm:ss</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存时长</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>小时</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>分钟</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存数据</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>顺时流量</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>累计流量</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>温度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>压力</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>确认保存</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>setAdminParam</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选择设备</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>波特率</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>9600</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>19200</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>38400</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>43000</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>56000</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>57600</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>115200</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>主动输出周期</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>主动输出选择</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>调节死区</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>调节P</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>调节I</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>调节D</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模拟量输入滤波系数</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>高级菜单密码</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>普通菜单密码</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>刷新</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>流量清零</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>清洗打开</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模拟量输入零点设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模拟量输入满量程设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>出厂初始化</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>setDeviceParamWin</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选择设备</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>刷新</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>累积量清零</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>气体系数序号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自定义气体系数</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>背光时间</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>瞬间开机输出延时</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>累计量输出时间间隔</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>流量报警方式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警值1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警值2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>瞬间掉电保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>流量报警引脚极性</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>三极管导通</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>三极管不导通</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ID号</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>stageControlWidget</name>
    <message>
        <source>分阶流量控制</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开始</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>暂停</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存配置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>调入配置</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
