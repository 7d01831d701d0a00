<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>LiveEqPage</name>
    <message>
        <location filename="../forms/LiveEqPage.ui"/>
        <source>Equalizer bands</source>
        <translation>均衡频段</translation>
    </message>
    <message>
        <location filename="../forms/LiveEqPage.ui"/>
        <source>Combined response</source>
        <translation>合成频响</translation>
    </message>
    <message>
        <location filename="../forms/LiveEqPage.ui"/>
        <source>Equalizer:</source>
        <translation>均衡器:</translation>
    </message>
    <message>
        <location filename="../forms/LiveEqPage.ui"/>
        <source>Enable EQ</source>
        <translation>使能EQ</translation>
    </message>
    <message>
        <location filename="../forms/LiveEqPage.ui"/>
        <source>Serial port</source>
        <translation>串口</translation>
    </message>
    <message>
        <location filename="../forms/LiveEqPage.ui"/>
        <source>Port:</source>
        <translation>端口:</translation>
    </message>
    <message>
        <location filename="../forms/LiveEqPage.ui"/>
        <source>Port state</source>
        <translation>端口状态</translation>
    </message>
    <message>
        <location filename="../forms/LiveEqPage.ui"/>
        <source>Link log</source>
        <translation>通信日志</translation>
    </message>
</context>
<context>
    <name>LiveEchoPage</name>
    <message>
        <location filename="../forms/LiveEchoPage.ui"/>
        <source>Serial port</source>
        <translation>串口</translation>
    </message>
    <message>
        <location filename="../forms/LiveEchoPage.ui"/>
        <source>Port:</source>
        <translation>端口:</translation>
    </message>
    <message>
        <location filename="../forms/LiveEchoPage.ui"/>
        <source>Port state</source>
        <translation>端口状态</translation>
    </message>
    <message>
        <location filename="../forms/LiveEchoPage.ui"/>
        <source>Suppression and gains</source>
        <translation>抑制与增益</translation>
    </message>
    <message>
        <location filename="../forms/LiveEchoPage.ui"/>
        <source>Noise Suppression</source>
        <translation>噪声抑制</translation>
    </message>
    <message>
        <location filename="../forms/LiveEchoPage.ui"/>
        <source>Echo Suppression</source>
        <translation>回声抑制</translation>
    </message>
    <message>
        <location filename="../forms/LiveEchoPage.ui"/>
        <source>DAC Gain</source>
        <translation>DAC增益</translation>
    </message>
    <message>
        <location filename="../forms/LiveEchoPage.ui"/>
        <source>Mic Gain</source>
        <translation>麦克风增益</translation>
    </message>
    <message>
        <location filename="../forms/LiveEchoPage.ui"/>
        <source>Equalizer 0</source>
        <translation>均衡器0</translation>
    </message>
    <message>
        <location filename="../forms/LiveEchoPage.ui"/>
        <source>Summary of equalizer 0</source>
        <translation>均衡器0摘要</translation>
    </message>
    <message>
        <location filename="../forms/LiveEchoPage.ui"/>
        <source>Equalizer 1</source>
        <translation>均衡器1</translation>
    </message>
    <message>
        <location filename="../forms/LiveEchoPage.ui"/>
        <source>Summary of equalizer 1</source>
        <translation>均衡器1摘要</translation>
    </message>
</context>
<context>
    <name>LiveTestPage</name>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>Serial port</source>
        <translation>串口</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>Port:</source>
        <translation>端口:</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>Port state</source>
        <translation>端口状态</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>DUT Test</source>
        <translation>DUT测试</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>Single Carrier Transmission</source>
        <translation>单载波发射</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>TX</source>
        <translation>发射</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>RX</source>
        <translation>接收</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>Frequency</source>
        <translation>频点</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>Frequency step</source>
        <translation>频点调节</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>Power</source>
        <translation>功率</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>Power step</source>
        <translation>功率调节</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>Data Type</source>
        <translation>数据类型</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>Package Type</source>
        <translation>包类型</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>Auto Frequency Hopping</source>
        <translation>自动跳频</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>Command:</source>
        <translation>命令:</translation>
    </message>
    <message>
        <location filename="../forms/LiveTestPage.ui"/>
        <source>Link log</source>
        <translation>通信日志</translation>
    </message>
</context>
<context>
    <name>EqConfigDialog</name>
    <message>
        <location filename="../forms/EqConfigDialog.ui"/>
        <source>Equalizer band</source>
        <translation>均衡器设置</translation>
    </message>
    <message>
        <location filename="../forms/EqConfigDialog.ui"/>
        <source>Filter type</source>
        <translation>滤波器类型</translation>
    </message>
    <message>
        <location filename="../forms/EqConfigDialog.ui"/>
        <source>Shelving</source>
        <translation>搁架式</translation>
    </message>
    <message>
        <location filename="../forms/EqConfigDialog.ui"/>
        <source>Peak</source>
        <translation>峰值</translation>
    </message>
    <message>
        <location filename="../forms/EqConfigDialog.ui"/>
        <source>Filter side</source>
        <translation>滤波方向</translation>
    </message>
    <message>
        <location filename="../forms/EqConfigDialog.ui"/>
        <source>Low Pass</source>
        <translation>低通</translation>
    </message>
    <message>
        <location filename="../forms/EqConfigDialog.ui"/>
        <source>High pass</source>
        <translation>高通</translation>
    </message>
    <message>
        <location filename="../forms/EqConfigDialog.ui"/>
        <source>Weight:</source>
        <translation>增益:</translation>
    </message>
    <message>
        <location filename="../forms/EqConfigDialog.ui"/>
        <source>3dB Bandwidth:</source>
        <translation>3dB带宽:</translation>
    </message>
    <message>
        <location filename="../forms/EqConfigDialog.ui"/>
        <source>Center frequency:</source>
        <translation>中心频率:</translation>
    </message>
    <message>
        <location filename="../forms/EqConfigDialog.ui"/>
        <source>Sampling frequency:</source>
        <translation>采样频率:</translation>
    </message>
    <message>
        <location filename="../forms/EqConfigDialog.ui"/>
        <source>Enable EQ</source>
        <translation>使能EQ</translation>
    </message>
    <message>
        <location filename="../forms/EqConfigDialog.ui"/>
        <source>Band response</source>
        <translation>频段频响</translation>
    </message>
</context>
</TS>
