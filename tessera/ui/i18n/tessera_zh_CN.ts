<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>MainForm</name>
    <message>
        <source>Tessera</source>
        <translation>Tessera</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>配置信息</translation>
    </message>
    <message>
        <source>Read Config</source>
        <translation>读配置</translation>
    </message>
    <message>
        <source>Write Config</source>
        <translation>写配置</translation>
    </message>
    <message>
        <source>Type of FLASH</source>
        <translation>FLASH类型</translation>
    </message>
    <message>
        <source>Chip type</source>
        <translation>芯片类型</translation>
    </message>
    <message>
        <source>Open bin file</source>
        <translation>bin文件</translation>
    </message>
    <message>
        <source>bin file path</source>
        <translation>bin文件路径</translation>
    </message>
    <message>
        <source>Generate image</source>
        <translation>生成image</translation>
    </message>
    <message>
        <source>image file path</source>
        <translation>image文件路径</translation>
    </message>
</context>
<context>
    <name>PageBluetooth</name>
    <message>
        <source>Bluetooth Parameters</source>
        <translation>蓝牙参数</translation>
    </message>
    <message>
        <source>Basic parameters</source>
        <translation>基本参数</translation>
    </message>
    <message>
        <source>A2DP</source>
        <translation>A2DP</translation>
    </message>
    <message>
        <source>HFP</source>
        <translation>HFP</translation>
    </message>
    <message>
        <source>HSP</source>
        <translation>HSP</translation>
    </message>
    <message>
        <source>Device Address</source>
        <translation>设备地址</translation>
    </message>
    <message>
        <source>address indicator</source>
        <translation>地址指示</translation>
    </message>
    <message>
        <source>Device Type</source>
        <translation>设备类型</translation>
    </message>
    <message>
        <source>Default Pin Code</source>
        <translation>默认pin码</translation>
    </message>
    <message>
        <source>Device Name</source>
        <translation>设备名称</translation>
    </message>
    <message>
        <source>Connection Recovery</source>
        <translation>连接恢复</translation>
    </message>
    <message>
        <source>Enable Connection Recovery</source>
        <translation>连接恢复使能</translation>
    </message>
    <message>
        <source>Only pairing</source>
        <translation>只配对</translation>
    </message>
    <message>
        <source>Audio Connection</source>
        <translation>音频连接</translation>
    </message>
    <message>
        <source>Startup time (s)</source>
        <translation>启动时间(s)</translation>
    </message>
    <message>
        <source>Retry interval (ms)</source>
        <translation>重试间隔(ms)</translation>
    </message>
    <message>
        <source>Number of retries</source>
        <translation>重试次数</translation>
    </message>
    <message>
        <source>Automatic reconnection</source>
        <translation>自动重连</translation>
    </message>
    <message>
        <source>Enable Automatic Reconnection</source>
        <translation>自动重连使能</translation>
    </message>
    <message>
        <source>Reconnections</source>
        <translation>重连次数</translation>
    </message>
    <message>
        <source>Reconnection interval (ms)</source>
        <translation>重连间隔(ms)</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>其他</translation>
    </message>
    <message>
        <source>Pairing Timeout (s)</source>
        <translation>配对超时时间(s)</translation>
    </message>
    <message>
        <source>Reconnect Address Polling</source>
        <translation>重连地址轮询</translation>
    </message>
    <message>
        <source>Voice Report</source>
        <translation>语音报号</translation>
    </message>
    <message>
        <source>Automatic reconnection</source>
        <comment>alt45</comment>
        <translation>周期自动重连</translation>
    </message>
    <message>
        <source>Automatic reconnection</source>
        <comment>alt46</comment>
        <translation>周期自动重连</translation>
    </message>
    <message>
        <source>Battery Display</source>
        <translation>电池电量显示</translation>
    </message>
    <message>
        <source>Automatic Shutdown Condition</source>
        <translation>自动关机条件</translation>
    </message>
    <message>
        <source>No Connection</source>
        <translation>无连接</translation>
    </message>
    <message>
        <source>Pause timeout</source>
        <translation>暂停时间超时</translation>
    </message>
    <message>
        <source>Reconection options</source>
        <translation>连接断开动作</translation>
    </message>
    <message>
        <source>Waiting for pairing</source>
        <translation>等待配对</translation>
    </message>
    <message>
        <source>Automatic Reconnection</source>
        <translation>自动重连</translation>
    </message>
</context>
<context>
    <name>PageSystem</name>
    <message>
        <source>System parameters</source>
        <translation>系统参数</translation>
    </message>
    <message>
        <source>GPIO Configuration</source>
        <translation>GPIO配置</translation>
    </message>
    <message>
        <source>DebugPort</source>
        <translation>DebugPort</translation>
    </message>
    <message>
        <source>Uart</source>
        <translation>Uart</translation>
    </message>
    <message>
        <source>IIC</source>
        <translation>IIC</translation>
    </message>
    <message>
        <source>SPI</source>
        <translation>SPI</translation>
    </message>
    <message>
        <source>PA Mute Enable</source>
        <translation>PA Mute使能</translation>
    </message>
    <message>
        <source>PA Mute High Effective</source>
        <translation>PA Mute高有效</translation>
    </message>
    <message>
        <source>PA Mute</source>
        <translation>PA Mute</translation>
    </message>
    <message>
        <source>Line in Enable</source>
        <translation>Line in使能</translation>
    </message>
    <message>
        <source>Line in high effective</source>
        <translation>Line in高有效</translation>
    </message>
    <message>
        <source>Line in</source>
        <translation>Line in</translation>
    </message>
    <message>
        <source>AD for linein detection</source>
        <translation>AD作linein检测</translation>
    </message>
    <message>
        <source>SD Card Enable</source>
        <translation>SD卡使能</translation>
    </message>
    <message>
        <source>There are separate SD card detection feet</source>
        <translation>有单独SD卡检测脚</translation>
    </message>
    <message>
        <source>SD Card Detection</source>
        <translation>SD卡检测</translation>
    </message>
    <message>
        <source>Audio Parameters</source>
        <translation>音频参数</translation>
    </message>
    <message>
        <source>A2DP default volume</source>
        <translation>a2dp默认音量</translation>
    </message>
    <message>
        <source>Beep default volume</source>
        <translation>提示音默认音量</translation>
    </message>
    <message>
        <source>HFP default volume</source>
        <translation>hfp默认音量</translation>
    </message>
    <message>
        <source>mic default volume</source>
        <translation>mic默认音量</translation>
    </message>
    <message>
        <source>No speakerphone features</source>
        <translation>无免提电话功能</translation>
    </message>
    <message>
        <source>Single-Ended Output</source>
        <translation>单端输出</translation>
    </message>
    <message>
        <source>Differential Output</source>
        <translation>差分输出</translation>
    </message>
    <message>
        <source>N Road</source>
        <translation>N路</translation>
    </message>
    <message>
        <source>P Road</source>
        <translation>P路</translation>
    </message>
    <message>
        <source>Low Power Configuration</source>
        <translation>低电配置</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>通道</translation>
    </message>
    <message>
        <source>Detection Interval (s)</source>
        <translation>检测间隔(s)</translation>
    </message>
    <message>
        <source>Alarm Threshold</source>
        <translation>告警阈值</translation>
    </message>
    <message>
        <source>Shutdown Threshold</source>
        <translation>关机阈值</translation>
    </message>
    <message>
        <source>Charging Configuration</source>
        <translation>充电配置</translation>
    </message>
    <message>
        <source>High Current Threshold</source>
        <translation>大电流阈值</translation>
    </message>
    <message>
        <source>Power Full Threshold</source>
        <translation>电量满阈值</translation>
    </message>
    <message>
        <source>Analog Buck</source>
        <translation>Ana Buck</translation>
    </message>
    <message>
        <source>Digital Buck</source>
        <translation>Dig Buck</translation>
    </message>
    <message>
        <source>Light fade</source>
        <translation>音效淡入</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>其他</translation>
    </message>
    <message>
        <source>Sleep Timeout (s)</source>
        <translation>睡眠超时时间(s)</translation>
    </message>
    <message>
        <source>Shutdown timeout (s)</source>
        <translation>关机超时时间(s)</translation>
    </message>
    <message>
        <source>Soft Boot</source>
        <translation>软开机</translation>
    </message>
    <message>
        <source>Additional MOS Switching Machine</source>
        <translation>外加MOS开关机</translation>
    </message>
    <message>
        <source>Power Control Feet or soft boot</source>
        <translation>电源控制脚或软开机脚</translation>
    </message>
    <message>
        <source>Pin High Active</source>
        <translation>引脚高有效</translation>
    </message>
    <message>
        <source>mic bias voltage</source>
        <translation>mic偏置电压</translation>
    </message>
</context>
<context>
    <name>PageButton</name>
    <message>
        <source>button configuration</source>
        <translation>按键配置</translation>
    </message>
    <message>
        <source>Key Time Configuration</source>
        <translation>按键时间配置</translation>
    </message>
    <message>
        <source>Click (ms)</source>
        <translation>单击(ms)</translation>
    </message>
    <message>
        <source>Repeat button (ms)</source>
        <translation>重复按键(ms)</translation>
    </message>
    <message>
        <source>Long press (ms)</source>
        <translation>长按(ms)</translation>
    </message>
    <message>
        <source>Extra Long Press (ms)</source>
        <translation>超长按(ms)</translation>
    </message>
    <message>
        <source>Double-click interval (ms)</source>
        <translation>双击间隔(ms)</translation>
    </message>
    <message>
        <source>key assignments</source>
        <translation>按键事件列表</translation>
    </message>
</context>
<context>
    <name>PageLED</name>
    <message>
        <source>LED Configuration</source>
        <translation>LED配置</translation>
    </message>
    <message>
        <source>Low Power LED</source>
        <translation>低电LED</translation>
    </message>
    <message>
        <source>LED0</source>
        <translation>LED0</translation>
    </message>
    <message>
        <source>LED1</source>
        <translation>LED1</translation>
    </message>
    <message>
        <source>Polarity Reversal</source>
        <translation>极性反转</translation>
    </message>
    <message>
        <source>LED patterns</source>
        <translation>LED事件列表</translation>
    </message>
</context>
<context>
    <name>PageWave</name>
    <message>
        <source>Custom Sound Effect</source>
        <translation>自定义音效</translation>
    </message>
    <message>
        <source>Remaining space:</source>
        <translation>剩余空间：</translation>
    </message>
    <message>
        <source>Language selection:</source>
        <translation>语言选择：</translation>
    </message>
    <message>
        <source>voice prompts</source>
        <translation>提示音列表</translation>
    </message>
</context>
<context>
    <name>KeyEventDialog</name>
    <message>
        <source>button configuration</source>
        <translation>按键配置</translation>
    </message>
    <message>
        <source>Event:</source>
        <translation>事件：</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>类型：</translation>
    </message>
    <message>
        <source>Status:</source>
        <translation>状态：</translation>
    </message>
    <message>
        <source>IO Configuration:</source>
        <translation>IO配置：</translation>
    </message>
    <message>
        <source>GPIO0</source>
        <translation>GPIO0</translation>
    </message>
    <message>
        <source>GPIO1</source>
        <translation>GPIO1</translation>
    </message>
    <message>
        <source>GPIO2</source>
        <translation>GPIO2</translation>
    </message>
    <message>
        <source>GPIO3</source>
        <translation>GPIO3</translation>
    </message>
    <message>
        <source>GPIO4</source>
        <translation>GPIO4</translation>
    </message>
    <message>
        <source>GPIO5</source>
        <translation>GPIO5</translation>
    </message>
    <message>
        <source>GPIO6</source>
        <translation>GPIO6</translation>
    </message>
    <message>
        <source>GPIO7</source>
        <translation>GPIO7</translation>
    </message>
    <message>
        <source>GPIO8</source>
        <translation>GPIO8</translation>
    </message>
    <message>
        <source>GPIO9</source>
        <translation>GPIO9</translation>
    </message>
    <message>
        <source>GPIO10</source>
        <translation>GPIO10</translation>
    </message>
    <message>
        <source>GPIO11</source>
        <translation>GPIO11</translation>
    </message>
    <message>
        <source>GPIO12</source>
        <translation>GPIO12</translation>
    </message>
    <message>
        <source>GPIO13</source>
        <translation>GPIO13</translation>
    </message>
    <message>
        <source>GPIO14</source>
        <translation>GPIO14</translation>
    </message>
    <message>
        <source>GPIO15</source>
        <translation>GPIO15</translation>
    </message>
    <message>
        <source>GPIO16</source>
        <translation>GPIO16</translation>
    </message>
    <message>
        <source>GPIO17</source>
        <translation>GPIO17</translation>
    </message>
    <message>
        <source>GPIO18</source>
        <translation>GPIO18</translation>
    </message>
    <message>
        <source>GPIO19</source>
        <translation>GPIO19</translation>
    </message>
    <message>
        <source>GPIO20</source>
        <translation>GPIO20</translation>
    </message>
    <message>
        <source>GPIO21</source>
        <translation>GPIO21</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>LedEventDialog</name>
    <message>
        <source>Led Config</source>
        <translation>LED配置</translation>
    </message>
    <message>
        <source>LED Event:</source>
        <translation>LED事件：</translation>
    </message>
    <message>
        <source>LED Serial Number:</source>
        <translation>LED序号:</translation>
    </message>
    <message>
        <source>Lighting time (ms):</source>
        <translation>点亮时间(ms):</translation>
    </message>
    <message>
        <source>Off time (ms):</source>
        <translation>熄灭时间(ms):</translation>
    </message>
    <message>
        <source>Repeat time(s):</source>
        <translation>重复时间(s):</translation>
    </message>
    <message>
        <source>flash times:</source>
        <translation>flash次数:</translation>
    </message>
    <message>
        <source>Timeout (ms):</source>
        <translation>超时时间(ms):</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>AudioConfigDialog</name>
    <message>
        <source>Audio Configuration</source>
        <translation>音频配置</translation>
    </message>
    <message>
        <source>Event:</source>
        <translation>事件：</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>类型：</translation>
    </message>
    <message>
        <source>Enable:</source>
        <translation>使能：</translation>
    </message>
    <message>
        <source>Custom Audio</source>
        <translation>自定义音频</translation>
    </message>
    <message>
        <source>wave file path</source>
        <translation>wave文件路径</translation>
    </message>
    <message>
        <source>wave文件</source>
        <translation>wave文件</translation>
    </message>
    <message>
        <source>DTMF Tone</source>
        <translation>DTMF音</translation>
    </message>
    <message>
        <source>pattern</source>
        <translation>样式</translation>
    </message>
    <message>
        <source>mode</source>
        <translation>模式</translation>
    </message>
    <message>
        <source>duration</source>
        <translation>持续时间</translation>
    </message>
    <message>
        <source>pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>F1</source>
        <translation>F1</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>增益</translation>
    </message>
    <message>
        <source>Step</source>
        <translation>步进</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>使能</translation>
    </message>
    <message>
        <source>F2</source>
        <translation>F2</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>AboutBox</name>
    <message>
        <source>About Tessera</source>
        <translation>关于 Tessera</translation>
    </message>
    <message>
        <source>application icon</source>
        <translation>应用图标</translation>
    </message>
    <message>
        <source>QR5830 Tessera version 2.6</source>
        <translation>QR5830 Tessera 2.6 版</translation>
    </message>
    <message>
        <source>Copyright (C) 2026 VARLO. All rights reserved.</source>
        <translation>版权所有 (C) 2026 VARLO。保留所有权利。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>LiveEqPage</name>
    <message>
        <source>Equalizer bands</source>
        <translation>均衡频段</translation>
    </message>
    <message>
        <source>Combined response</source>
        <translation>合成频响</translation>
    </message>
    <message>
        <source>Equalizer:</source>
        <translation>均衡器:</translation>
    </message>
    <message>
        <source>Enable EQ</source>
        <translation>使能EQ</translation>
    </message>
    <message>
        <source>Serial port</source>
        <translation>串口</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>端口:</translation>
    </message>
    <message>
        <source>Port state</source>
        <translation>端口状态</translation>
    </message>
    <message>
        <source>Link log</source>
        <translation>通信日志</translation>
    </message>
</context>
<context>
    <name>LiveEchoPage</name>
    <message>
        <source>Serial port</source>
        <translation>串口</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>端口:</translation>
    </message>
    <message>
        <source>Port state</source>
        <translation>端口状态</translation>
    </message>
    <message>
        <source>Suppression and gains</source>
        <translation>抑制与增益</translation>
    </message>
    <message>
        <source>Noise Suppression</source>
        <translation>噪声抑制</translation>
    </message>
    <message>
        <source>Echo Suppression</source>
        <translation>回声抑制</translation>
    </message>
    <message>
        <source>DAC Gain</source>
        <translation>DAC增益</translation>
    </message>
    <message>
        <source>Mic Gain</source>
        <translation>麦克风增益</translation>
    </message>
    <message>
        <source>Equalizer 0</source>
        <translation>均衡器0</translation>
    </message>
    <message>
        <source>Summary of equalizer 0</source>
        <translation>均衡器0摘要</translation>
    </message>
    <message>
        <source>Equalizer 1</source>
        <translation>均衡器1</translation>
    </message>
    <message>
        <source>Summary of equalizer 1</source>
        <translation>均衡器1摘要</translation>
    </message>
</context>
<context>
    <name>LiveTestPage</name>
    <message>
        <source>Serial port</source>
        <translation>串口</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>端口:</translation>
    </message>
    <message>
        <source>Port state</source>
        <translation>端口状态</translation>
    </message>
    <message>
        <source>DUT Test</source>
        <translation>DUT测试</translation>
    </message>
    <message>
        <source>Single Carrier Transmission</source>
        <translation>单载波发射</translation>
    </message>
    <message>
        <source>TX</source>
        <translation>发射</translation>
    </message>
    <message>
        <source>RX</source>
        <translation>接收</translation>
    </message>
    <message>
        <source>Frequency</source>
        <translation>频点</translation>
    </message>
    <message>
        <source>Frequency step</source>
        <translation>频点调节</translation>
    </message>
    <message>
        <source>Power</source>
        <translation>功率</translation>
    </message>
    <message>
        <source>Power step</source>
        <translation>功率调节</translation>
    </message>
    <message>
        <source>Data Type</source>
        <translation>数据类型</translation>
    </message>
    <message>
        <source>Package Type</source>
        <translation>包类型</translation>
    </message>
    <message>
        <source>Auto Frequency Hopping</source>
        <translation>自动跳频</translation>
    </message>
    <message>
        <source>Command:</source>
        <translation>命令:</translation>
    </message>
    <message>
        <source>Link log</source>
        <translation>通信日志</translation>
    </message>
</context>
<context>
    <name>EqConfigDialog</name>
    <message>
        <source>Equalizer band</source>
        <translation>均衡器设置</translation>
    </message>
    <message>
        <source>Filter type</source>
        <translation>滤波器类型</translation>
    </message>
    <message>
        <source>Shelving</source>
        <translation>搁架式</translation>
    </message>
    <message>
        <source>Peak</source>
        <translation>峰值</translation>
    </message>
    <message>
        <source>Filter side</source>
        <translation>滤波方向</translation>
    </message>
    <message>
        <source>Low Pass</source>
        <translation>低通</translation>
    </message>
    <message>
        <source>High pass</source>
        <translation>高通</translation>
    </message>
    <message>
        <source>Weight:</source>
        <translation>增益:</translation>
    </message>
    <message>
        <source>3dB Bandwidth:</source>
        <translation>3dB带宽:</translation>
    </message>
    <message>
        <source>Center frequency:</source>
        <translation>中心频率:</translation>
    </message>
    <message>
        <source>Sampling frequency:</source>
        <translation>采样频率:</translation>
    </message>
    <message>
        <source>Enable EQ</source>
        <translation>使能EQ</translation>
    </message>
    <message>
        <source>Band response</source>
        <translation>频段频响</translation>
    </message>
</context>
<context>
    <name>ControlBinder</name>
    <message>
        <source>valid</source>
        <translation>有效</translation>
    </message>
    <message>
        <source>invalid</source>
        <translation>无效</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>File(&amp;F)</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>Recent file</source>
        <translation>最近文件</translation>
    </message>
    <message>
        <source>Exit(&amp;X)</source>
        <translation>退出(&amp;X)</translation>
    </message>
    <message>
        <source>Help(&amp;H)</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>About Tessera(&amp;A)...</source>
        <translation>关于 Tessera(&amp;A)...</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>撤销</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>重做</translation>
    </message>
    <message>
        <source>(empty)</source>
        <translation>(空)</translation>
    </message>
    <message>
        <source>Save the changes before closing?</source>
        <translation>关闭前保存更改吗？</translation>
    </message>
    <message>
        <source>Audio Equalization</source>
        <translation>音频均衡</translation>
    </message>
    <message>
        <source>Echo Test</source>
        <translation>回声测试</translation>
    </message>
    <message>
        <source>RF Test</source>
        <translation>RF测试</translation>
    </message>
    <message>
        <source>This page comes with the board link: it talks to a running board over a serial port.</source>
        <translation>此页随板卡串口连接提供：它通过串口与运行中的板卡通信。</translation>
    </message>
</context>
</TS>
