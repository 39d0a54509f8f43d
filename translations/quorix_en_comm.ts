<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>BusHealthWindow</name>
    <message>
        <source>通信诊断</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备状态</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>总线使用率：-</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>轮询一周：-</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>链路中断：0 次，自动重连：0 次</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回显适配器：否</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>清零</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通信报文</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设备</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全部</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>暂停</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MqttSettingsWindow</name>
    <message>
        <source>MQTT 设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>代理服务器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>端口</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>用户名</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>密码</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存密码</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CA证书文件(TLS)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>主题前缀</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>启用发布</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>允许远程设定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接状态</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MQTT未启用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>确定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>lossWidget</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开始时间</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>总线使用率</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>总丢包数量统计</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置查询周期(毫秒)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置查询间隔（毫秒）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置查询等待时间（毫秒）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>当前查询等待时间</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>当前查询周期</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>当前查询间隔</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重新计算总丢包数量</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>setSerialport</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>串口选择</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>115200</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>57600</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>56000</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>43000</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>38400</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>19200</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>9600</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>波特率</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>串口操作</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
