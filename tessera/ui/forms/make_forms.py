#!/usr/bin/env python3
"""Writes the Qt Designer forms of the whole window (*.ui, English captions: the main form,
the configuration pages, the entry dialogs, the pages on the serial link and the band
dialog) and their one Simplified Chinese catalogue (../i18n/tessera_zh_CN.ts).

Every control is named ctl<id> after its resource id, carries its caption as accessible
name and sits in the tab order in the order it is listed here. Edit the tables and run
    python3 tessera/ui/forms/make_forms.py
then commit the regenerated files; the build only reads the .ui and .ts files.
"""
import os
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))


# Items of a group box. Each takes one grid row; (en, zh) pairs are caption and translation.
class Item:
    def __init__(self, kind, cid, en, zh, **kw):
        self.kind, self.cid, self.en, self.zh, self.kw = kind, cid, en, zh, kw


def Chk(cid, en, zh=None): return Item("check", cid, en, zh or en)
def Rad(cid, en, zh=None): return Item("radio", cid, en, zh or en)
def Edit(cid, en, zh=None, **kw): return Item("edit", cid, en, zh or en, **kw)
def Combo(cid, en, zh=None, **kw): return Item("combo", cid, en, zh or en, **kw)
def Btn(cid, en, zh=None): return Item("button", cid, en, zh or en)
def Pic(cid, en, zh=None): return Item("picture", cid, en, zh or en)
def List(cid, en, zh=None): return Item("list", cid, en, zh or en)
def Text(name, en, zh=None, **kw): return Item("label", name, en, zh or en, **kw)
def Row(*items): return Item("row", None, "", "", items=items)


class Group:
    def __init__(self, name, en, zh, items, pos, cols=1):
        self.name, self.en, self.zh, self.items, self.pos, self.cols = name, en, zh, items, pos, cols


class Form:
    def __init__(self, cls, base, en, zh, groups, buttons=None):
        self.cls, self.base, self.en, self.zh, self.groups, self.buttons = cls, base, en, zh, groups, buttons


OK_CANCEL = [Btn(1, "OK", "确定"), Btn(2, "Cancel", "取消")]

FORMS = [
    Form("MainForm", "QWidget", "Tessera", "Tessera", [
        Group("grpConfiguration", "Configuration", "配置信息",
              [Btn(1001, "Read Config", "读配置"), Btn(1002, "Write Config", "写配置")], (0, 0)),
        Group("grpFlash", "Type of FLASH", "FLASH类型", [Combo(1003, "Type of FLASH", "FLASH类型", bare=True)], (1, 0)),
        Group("grpChip", "Chip type", "芯片类型", [Combo(1004, "Chip type", "芯片类型", bare=True)], (2, 0)),
        Group("grpImage", "", "", [Btn(1005, "Open bin file", "bin文件"), Edit(1009, "bin file path", "bin文件路径", bare=True),
                                   Btn(1006, "Generate image", "生成image"),
                                   Edit(1010, "image file path", "image文件路径", bare=True, readonly=True)], (3, 0)),
    ]),
    Form("PageBluetooth", "QWidget", "Bluetooth Parameters", "蓝牙参数", [
        Group("grpBasic", "Basic parameters", "基本参数", [
            Row(Chk(1036, "A2DP"), Chk(1037, "HFP"), Chk(1038, "HSP")),
            Row(Edit(1039, "Device Address", "设备地址"), Pic(1043, "address indicator", "地址指示")),
            Combo(1040, "Device Type", "设备类型"),
            Edit(1041, "Default Pin Code", "默认pin码"),
            Edit(1042, "Device Name", "设备名称"),
        ], (0, 0)),
        Group("grpRecovery", "Connection Recovery", "连接恢复", [
            Chk(1044, "Enable Connection Recovery", "连接恢复使能"),
            Row(Rad(1045, "Only pairing", "只配对"), Rad(1046, "Audio Connection", "音频连接")),
            Edit(1047, "Startup time (s)", "启动时间(s)"),
            Edit(1048, "Retry interval (ms)", "重试间隔(ms)"),
            Edit(1049, "Number of retries", "重试次数"),
        ], (1, 0)),
        Group("grpReconnect", "Automatic reconnection", "自动重连", [
            Chk(1050, "Enable Automatic Reconnection", "自动重连使能"),
            Edit(1051, "Reconnections", "重连次数"),
            Edit(1052, "Reconnection interval (ms)", "重连间隔(ms)"),
        ], (0, 1)),
        Group("grpOther", "Other", "其他", [
            Edit(1053, "Pairing Timeout (s)", "配对超时时间(s)"),
            Chk(1054, "Reconnect Address Polling", "重连地址轮询"),
            Chk(1055, "Voice Report", "语音报号"),
            Chk(1168, "Automatic reconnection", "周期自动重连"),
            Chk(1200, "Battery Display", "电池电量显示"),
            Text("lblShutdown", "Automatic Shutdown Condition", "自动关机条件"),
            Row(Chk(1057, "No Connection", "无连接"), Chk(1058, "Pause timeout", "暂停时间超时")),
            Text("lblReconnectOptions", "Reconection options", "连接断开动作"),
            Row(Rad(1059, "Waiting for pairing", "等待配对"), Rad(1060, "Automatic Reconnection", "自动重连")),
        ], (1, 1)),
    ]),
    Form("PageSystem", "QWidget", "System parameters", "系统参数", [
        Group("grpGpio", "GPIO Configuration", "GPIO配置", [
            Row(Chk(1094, "DebugPort"), Rad(1019, "Uart"), Rad(1020, "IIC"), Chk(1013, "SPI")),
            Row(Chk(1095, "PA Mute Enable", "PA Mute使能"), Chk(1015, "PA Mute High Effective", "PA Mute高有效")),
            Combo(1014, "PA Mute"),
            Row(Chk(1018, "Line in Enable", "Line in使能"), Chk(1017, "Line in high effective", "Line in高有效")),
            Combo(1016, "Line in"),
            Chk(1040, "AD for linein detection", "AD作linein检测"),
            Row(Chk(1036, "SD Card Enable", "SD卡使能"),
                Chk(1038, "There are separate SD card detection feet", "有单独SD卡检测脚")),
            Combo(1037, "SD Card Detection", "SD卡检测"),
        ], (0, 0, 2, 1)),
        Group("grpAudio", "Audio Parameters", "音频参数", [
            Edit(1021, "A2DP default volume", "a2dp默认音量"),
            Edit(1022, "Beep default volume", "提示音默认音量"),
            Edit(1023, "HFP default volume", "hfp默认音量"),
            Edit(1024, "mic default volume", "mic默认音量"),
            Chk(1209, "No speakerphone features", "无免提电话功能"),
            Row(Rad(1025, "Single-Ended Output", "单端输出"), Rad(1026, "Differential Output", "差分输出")),
            Row(Rad(1091, "N Road", "N路"), Rad(1092, "P Road", "P路")),
        ], (0, 1)),
        Group("grpLowPower", "Low Power Configuration", "低电配置", [
            Combo(1027, "Channel", "通道"),
            Edit(1028, "Detection Interval (s)", "检测间隔(s)"),
            Combo(1030, "Alarm Threshold", "告警阈值"),
            Combo(1031, "Shutdown Threshold", "关机阈值"),
        ], (1, 1)),
        Group("grpCharging", "Charging Configuration", "充电配置", [
            Combo(1032, "High Current Threshold", "大电流阈值"),
            Combo(1033, "Power Full Threshold", "电量满阈值"),
            Row(Chk(1164, "Analog Buck", "Ana Buck"), Chk(1168, "Digital Buck", "Dig Buck"),
                Chk(1165, "Light fade", "音效淡入")),
        ], (3, 0)),
        Group("grpOther", "Other", "其他", [
            Edit(1034, "Sleep Timeout (s)", "睡眠超时时间(s)"),
            Edit(1035, "Shutdown timeout (s)", "关机超时时间(s)"),
            Row(Chk(1166, "Soft Boot", "软开机"), Chk(1208, "Additional MOS Switching Machine", "外加MOS开关机")),
            Edit(1201, "Power Control Feet or soft boot", "电源控制脚或软开机脚"),
            Chk(1029, "Pin High Active", "引脚高有效"),
            Combo(1167, "mic bias voltage", "mic偏置电压"),
        ], (2, 0, 1, 2)),
    ]),
    Form("PageButton", "QWidget", "button configuration", "按键配置", [
        Group("grpKeyTime", "Key Time Configuration", "按键时间配置", [
            Row(Edit(1068, "Click (ms)", "单击(ms)"), Edit(1071, "Repeat button (ms)", "重复按键(ms)"),
                Edit(1072, "Long press (ms)", "长按(ms)")),
            Row(Edit(1069, "Extra Long Press (ms)", "超长按(ms)"),
                Edit(1070, "Double-click interval (ms)", "双击间隔(ms)")),
        ], (0, 0)),
        Group("grpKeyList", "", "", [List(1112, "key assignments", "按键事件列表")], (1, 0)),
    ]),
    Form("PageLED", "QWidget", "LED Configuration", "LED配置", [
        Group("grpLedPins", "", "", [
            Row(Combo(1063, "Low Power LED", "低电LED"), Combo(1064, "LED0"), Combo(1065, "LED1"),
                Chk(1136, "Polarity Reversal", "极性反转")),
        ], (0, 0)),
        Group("grpLedList", "", "", [List(1066, "LED patterns", "LED事件列表")], (1, 0)),
    ]),
    Form("PageWave", "QWidget", "Custom Sound Effect", "自定义音效", [
        Group("grpWaveTop", "", "", [
            Row(Edit(1119, "Remaining space:", "剩余空间：", label_id=1118, readonly=True),
                Combo(1199, "Language selection:", "语言选择：")),
        ], (0, 0)),
        Group("grpWaveList", "", "", [List(1120, "voice prompts", "提示音列表")], (1, 0)),
    ]),
    Form("KeyEventDialog", "QDialog", "button configuration", "按键配置", [
        Group("grpKeyEvent", "", "", [
            Combo(1096, "Event:", "事件："),
            Combo(1097, "Type:", "类型："),
            Combo(1098, "Status:", "状态："),
        ], (0, 0)),
        Group("grpIo", "IO Configuration:", "IO配置：", [
            Row(*[Chk(1135 + n, "GPIO%d" % n) for n in range(0, 6)]),
            Row(*[Chk(1135 + n, "GPIO%d" % n) for n in range(6, 12)]),
            Row(*[Chk(1135 + n if n < 15 else 1157 + n - 15, "GPIO%d" % n) for n in range(12, 18)]),
            Row(*[Chk(1157 + n - 15, "GPIO%d" % n) for n in range(18, 22)]),
        ], (1, 0)),
    ], OK_CANCEL),
    Form("LedEventDialog", "QDialog", "Led Config", "LED配置", [
        Group("grpLedEvent", "", "", [
            Combo(1096, "LED Event:", "LED事件："),
            Combo(1125, "LED Serial Number:", "LED序号:"),
            Edit(1126, "Lighting time (ms):", "点亮时间(ms):"),
            Edit(1127, "Off time (ms):", "熄灭时间(ms):"),
            Edit(1128, "Repeat time(s):", "重复时间(s):"),
            Edit(1129, "flash times:", "flash次数:"),
            Edit(1130, "Timeout (ms):", "超时时间(ms):"),
        ], (0, 0)),
    ], OK_CANCEL),
    Form("AudioConfigDialog", "QDialog", "Audio Configuration", "音频配置", [
        Group("grpPrompt", "", "", [
            Combo(1096, "Event:", "事件："),
            Combo(1097, "Type:", "类型："),
            Combo(1098, "Enable:", "使能："),
        ], (0, 0, 1, 2)),
        Group("grpCustom", "Custom Audio", "自定义音频", [
            Row(Edit(1099, "wave file path", "wave文件路径", bare=True, readonly=True), Btn(1100, "wave文件")),
        ], (1, 0, 1, 2)),
        Group("grpDtmf", "DTMF Tone", "DTMF音", [
            Combo(1101, "pattern", "样式"),
            Combo(1102, "mode", "模式"),
            Edit(1103, "duration", "持续时间"),
            Edit(1104, "pause", "暂停"),
        ], (2, 0, 2, 1)),
        Group("grpF1", "F1", "F1", [
            Edit(1105, "Gain", "增益"), Edit(1106, "Step", "步进"), Chk(1107, "Enable", "使能"),
        ], (2, 1)),
        Group("grpF2", "F2", "F2", [
            Edit(1108, "Gain", "增益"), Edit(1109, "Step", "步进"), Chk(1110, "Enable", "使能"),
        ], (3, 1)),
    ], OK_CANCEL),
    Form("AboutBox", "QDialog", "About Tessera", "关于 Tessera", [
        Group("grpAbout", "", "", [
            Pic(1200, "application icon", "应用图标"),
            # One line each: wrapped, the short box broke the Chinese notice inside a word.
            Text("lblVersion", "QR5830 Tessera version 2.6", "QR5830 Tessera 2.6 版", wrap=False),
            Text("lblRights", "Copyright (C) 2026 VARLO. All rights reserved.", "版权所有 (C) 2026 VARLO。保留所有权利。",
                 wrap=False),
        ], (0, 0)),
    ], [Btn(1, "OK", "确定")]),
]

# Texts the window's code adds (menu, placeholder pages): translated through the same catalogue.
CODE_TEXTS = {
    "ControlBinder": [("valid", "有效"), ("invalid", "无效")],
    "MainWindow": [
        ("File(&F)", "文件(&F)"), ("Recent file", "最近文件"), ("Exit(&X)", "退出(&X)"),
        ("Help(&H)", "帮助(&H)"), ("About Tessera(&A)...", "关于 Tessera(&A)..."),
        ("Undo", "撤销"), ("Redo", "重做"), ("(empty)", "(空)"),
        ("Save the changes before closing?", "关闭前保存更改吗？"),
        ("Audio Equalization", "音频均衡"), ("Echo Test", "回声测试"), ("RF Test", "RF测试"),
        ("This page comes with the board link: it talks to a running board over a serial port.",
         "此页随板卡串口连接提供：它通过串口与运行中的板卡通信。"),
    ],
}

# The pages on the serial link and the band dialog: forms with their own layouts (a
# table with the response plot below it, spin boxes beside their edits, a link log), so
# they are written as layout trees (W: a widget, L: a layout) rather than as groups of
# rows. ZH translates their captions; every caption must be in it.
LAYOUT_FORMS = []  # (class, .ui text)
ZH = {
    "Equalizer bands": "均衡频段", "Equalizer:": "均衡器:", "Enable EQ": "使能EQ",
    "Serial port": "串口", "Port:": "端口:", "Port state": "端口状态", "Link log": "通信日志",
    "Combined response": "合成频响", "Noise Suppression": "噪声抑制",
    "Echo Suppression": "回声抑制", "DAC Gain": "DAC增益", "Mic Gain": "麦克风增益",
    "Suppression and gains": "抑制与增益", "Equalizer 0": "均衡器0", "Equalizer 1": "均衡器1",
    "Summary of equalizer 0": "均衡器0摘要", "Summary of equalizer 1": "均衡器1摘要",
    "DUT Test": "DUT测试", "Single Carrier Transmission": "单载波发射", "TX": "发射",
    "RX": "接收", "Frequency": "频点", "Power": "功率", "Data Type": "数据类型",
    "Package Type": "包类型", "Auto Frequency Hopping": "自动跳频", "Command:": "命令:",
    "Equalizer band": "均衡器设置", "Filter type": "滤波器类型", "Shelving": "搁架式",
    "Peak": "峰值", "Filter side": "滤波方向", "Low Pass": "低通", "High pass": "高通",
    "Weight:": "增益:", "3dB Bandwidth:": "3dB带宽:", "Center frequency:": "中心频率:",
    "Sampling frequency:": "采样频率:", "Band response": "频段频响",
    "Frequency step": "频点调节", "Power step": "功率调节",
}
used = {}  # context -> ordered sources


class W:
    def __init__(self, cls, name, text=None, notr=False, **props):
        self.cls, self.name, self.text, self.notr, self.props = cls, name, text, notr, props
        self.layout = None


class L:
    def __init__(self, kind, items, name):
        self.kind, self.items, self.name = kind, items, name  # grid items: (w, r, c[, rs, cs])


def s(ctx, text, notr=False):
    if notr:
        return f'<string notr="true">{escape(text)}</string>'
    assert text in ZH, text
    used.setdefault(ctx, [])
    if text not in used[ctx]:
        used[ctx].append(text)
    return f"<string>{escape(text)}</string>"


def widget_xml(ctx, w, ind):
    p = " " * ind
    out = [f'{p}<widget class="{w.cls}" name="{w.name}">']
    if w.text is not None:
        key = "title" if w.cls == "QGroupBox" else "text"
        out.append(f'{p} <property name="{key}">{s(ctx, w.text, w.notr)}</property>')
        if w.name.startswith("ctl") and "accessibleName" not in w.props:
            out.append(f'{p} <property name="accessibleName">{s(ctx, w.text.strip(), w.notr)}</property>')
    for k, v in w.props.items():
        if k == "accessibleName":
            out.append(f'{p} <property name="{k}">{s(ctx, v)}</property>')
        elif k == "buddy":
            out.append(f'{p} <property name="buddy"><cstring>{v}</cstring></property>')
        elif isinstance(v, bool):
            out.append(f'{p} <property name="{k}"><bool>{"true" if v else "false"}</bool></property>')
        elif isinstance(v, int):
            out.append(f'{p} <property name="{k}"><number>{v}</number></property>')
        elif isinstance(v, tuple):
            out.append(f'{p} <property name="{k}"><size><width>{v[0]}</width><height>{v[1]}</height></size></property>')
        else:
            out.append(f'{p} <property name="{k}"><string notr="true">{escape(v)}</string></property>')
    if w.layout:
        out += layout_xml(ctx, w.layout, ind + 1)
    out.append(f"{p}</widget>")
    return out


_spacers = iter(range(1, 1 << 30))  # stable spacer names, so a rerun changes no form


def layout_xml(ctx, l, ind):
    p = " " * ind
    cls = {"v": "QVBoxLayout", "h": "QHBoxLayout", "g": "QGridLayout"}[l.kind]
    out = [f'{p}<layout class="{cls}" name="{l.name}">']
    for it in l.items:
        attrs = ""
        if l.kind == "g":
            w, r, c, *span = it
            attrs = f' row="{r}" column="{c}"'
            if span:
                attrs += f' rowspan="{span[0]}" colspan="{span[1]}"'
        else:
            w = it
        if w == "stretch":
            out.append(f'{p} <item{attrs}><spacer name="spacer{next(_spacers)}"><property name="orientation"><enum>Qt::{"Horizontal" if l.kind != "v" else "Vertical"}</enum></property></spacer></item>')
        elif isinstance(w, L):
            out.append(f"{p} <item{attrs}>")
            out += layout_xml(ctx, w, ind + 2)
            out.append(f"{p} </item>")
        else:
            out.append(f"{p} <item{attrs}>")
            out += widget_xml(ctx, w, ind + 2)
            out.append(f"{p} </item>")
    out.append(f"{p}</layout>")
    return out


def form(cls, base, title, size, layout, tab_order):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', '<ui version="4.0">', f" <class>{cls}</class>",
             f' <widget class="{base}" name="{cls}">',
             f'  <property name="geometry"><rect><x>0</x><y>0</y><width>{size[0]}</width><height>{size[1]}</height></rect></property>']
    if title:
        lines.append(f'  <property name="windowTitle">{s(cls, title)}</property>')
    lines += layout_xml(cls, layout, 2)
    lines.append(" </widget>")
    lines.append(" <tabstops>" + "".join(f"<tabstop>{t}</tabstop>" for t in tab_order) + "</tabstops>")
    lines.append(" <resources/>\n <connections/>\n</ui>\n")
    LAYOUT_FORMS.append((cls, "\n".join(lines)))


def link_group(with_clear):
    items = [W("QLabel", "labelPort", "Port:", buddy="ctl1077"),
             W("QComboBox", "ctl1077", None, editable=True, accessibleName="Port:", minimumSize=(200, 0)),
             W("QLabel", "ctl1079", None, accessibleName="Port state", minimumSize=(28, 26), maximumSize=(28, 26)),
             W("QPushButton", "ctl1170", "Open", notr=True)]
    if with_clear:
        items.append(W("QPushButton", "ctl1076", "Clear", notr=True))
    items.append("stretch")
    g = W("QGroupBox", "groupSerial", "Serial port")
    g.layout = L("h", items, "layoutSerial")
    return g


def log_box():
    return W("QPlainTextEdit", "ctl1090", None, readOnly=True, accessibleName="Link log",
             minimumSize=(0, 120))


# Equalizer page.
bands = W("QGroupBox", "groupBands", "Equalizer bands")
bands.layout = L("v", [W("QTableWidget", "ctl1175", None, accessibleName="Equalizer bands",
                         minimumSize=(0, 170)),
                       W("QWidget", "responsePlotHost", None, accessibleName="Combined response",
                         minimumSize=(0, 200))], "layoutBands")
form("LiveEqPage", "QWidget", None, (760, 720), L("v", [
    bands,
    L("h", [W("QLabel", "labelEqNumber", "Equalizer:", buddy="ctl1177"),
            W("QComboBox", "ctl1177", None, accessibleName="Equalizer:"),
            W("QCheckBox", "ctl1184", "Enable EQ"),
            W("QPushButton", "ctl1075", "Config EQ", notr=True), "stretch"], "layoutEq"),
    link_group(True),
    log_box()], "layoutPage"),
    ["ctl1175", "ctl1177", "ctl1184", "ctl1075", "ctl1077", "ctl1170", "ctl1076", "ctl1090"])

# Echo page.
levels = W("QGroupBox", "groupLevels", "Suppression and gains")
levels.layout = L("g", [
    (W("QLabel", "labelNoise", "Noise Suppression", buddy="ctl1187"), 0, 0),
    (W("QComboBox", "ctl1187", None, accessibleName="Noise Suppression"), 0, 1),
    (W("QLabel", "labelEcho", "Echo Suppression", buddy="ctl1188"), 0, 2),
    (W("QComboBox", "ctl1188", None, accessibleName="Echo Suppression"), 0, 3),
    (W("QLabel", "labelDac", "DAC Gain", buddy="ctl1191"), 1, 0),
    (W("QComboBox", "ctl1191", None, accessibleName="DAC Gain"), 1, 1),
    (W("QLabel", "labelMic", "Mic Gain", buddy="ctl1192"), 1, 2),
    (W("QComboBox", "ctl1192", None, accessibleName="Mic Gain"), 1, 3)], "layoutLevels")


def voice_group(k, conf, apply_, summary):
    g = W("QGroupBox", f"groupEq{k}", f"Equalizer {k}")
    g.layout = L("v", [W("QPlainTextEdit", summary, None, readOnly=True,
                         accessibleName=f"Summary of equalizer {k}", minimumSize=(0, 150)),
                       L("h", [W("QPushButton", conf, "Conf", notr=True),
                               W("QPushButton", apply_, "apply", notr=True), "stretch"], f"layoutEq{k}Buttons")],
                   f"layoutEq{k}")
    return g


form("LiveEchoPage", "QWidget", None, (760, 560), L("v", [
    link_group(False),
    L("h", [W("QPushButton", "ctl1198", "Conf", notr=True), "stretch"], "layoutConf"),
    levels,
    L("h", [voice_group(0, "ctl1189", "ctl1196", "ctl1194"),
            voice_group(1, "ctl1190", "ctl1197", "ctl1195")], "layoutVoice"),
    L("h", ["stretch", W("QPushButton", "ctl1193", "Save", notr=True)], "layoutSave"),
    "stretch"], "layoutPage"),
    ["ctl1077", "ctl1170", "ctl1198", "ctl1187", "ctl1188", "ctl1191", "ctl1192", "ctl1189",
     "ctl1196", "ctl1190", "ctl1197", "ctl1193"])

# RF test page.
dut = W("QGroupBox", "groupDut", "DUT Test")
dut.layout = L("v", [W("QPushButton", "ctl1080", "  enable   ", notr=True), "stretch"], "layoutDut")
single = W("QGroupBox", "groupSingle", "Single Carrier Transmission")
single.layout = L("g", [
    (W("QPushButton", "ctl1086", "  TEST  ", notr=True), 0, 0),
    (W("QRadioButton", "ctl1202", "TX", checked=True), 0, 1),
    (W("QRadioButton", "ctl1203", "RX"), 0, 2),
    (W("QLabel", "labelChannel", "Frequency", buddy="ctl1088"), 1, 0),
    (W("QLineEdit", "ctl1088", None, accessibleName="Frequency", maximumSize=(110, 16777215)), 1, 1),
    (W("QSpinBox", "ctl1171", None, accessibleName="Frequency step", maximumSize=(22, 16777215)), 1, 2),
    (W("QLabel", "labelPower", "Power", buddy="ctl1089"), 2, 0),
    (W("QLineEdit", "ctl1089", None, accessibleName="Power", maximumSize=(110, 16777215)), 2, 1),
    (W("QSpinBox", "ctl1172", None, accessibleName="Power step", maximumSize=(22, 16777215)), 2, 2),
    (W("QLabel", "labelData", "Data Type", buddy="ctl1084"), 3, 0),
    (W("QComboBox", "ctl1084", None, accessibleName="Data Type", maximumSize=(140, 16777215)), 3, 1, 1, 2),
    (W("QLabel", "labelPacket", "Package Type", buddy="ctl1085"), 4, 0),
    (W("QComboBox", "ctl1085", None, accessibleName="Package Type", maximumSize=(140, 16777215)), 4, 1, 1, 2),
    (W("QCheckBox", "ctl1083", "Auto Frequency Hopping"), 5, 0, 1, 2),
    (W("QPushButton", "ctl1087", "Conf", notr=True), 5, 2),
    ("stretch", 0, 3)], "layoutSingle")
form("LiveTestPage", "QWidget", None, (760, 640), L("v", [
    link_group(True),
    L("h", [dut, single], "layoutTests"),
    L("h", [W("QLabel", "labelCommand", "Command:", buddy="ctl1074"),
            W("QLineEdit", "ctl1074", None, accessibleName="Command:"),
            W("QPushButton", "ctl1075", "Send", notr=True)], "layoutSend"),
    log_box()], "layoutPage"),
    ["ctl1077", "ctl1170", "ctl1076", "ctl1080", "ctl1086", "ctl1202", "ctl1203", "ctl1088", "ctl1171",
     "ctl1089", "ctl1172", "ctl1084", "ctl1085", "ctl1083", "ctl1087", "ctl1074", "ctl1075", "ctl1090"])

# Band dialog.
ftype = W("QGroupBox", "groupType", "Filter type")
ftype.layout = L("v", [W("QRadioButton", "ctl1178", "Shelving"), W("QRadioButton", "ctl1179", "Peak")], "layoutType")
fside = W("QGroupBox", "groupSide", "Filter side")
fside.layout = L("v", [W("QRadioButton", "ctl1180", "Low Pass"), W("QRadioButton", "ctl1181", "High pass")], "layoutSide")
fields = []
for r, (label, cid, unit) in enumerate([("Weight:", "ctl1182", "dB"), ("3dB Bandwidth:", "ctl1183", "Hz"),
                                        ("Center frequency:", "ctl1184", "Hz"), ("Sampling frequency:", "ctl1185", "Hz")]):
    fields += [(W("QLabel", f"label{cid}", label, buddy=cid), r, 0),
               (W("QLineEdit", cid, None, accessibleName=label), r, 1),
               (W("QLabel", f"unit{cid}", unit, notr=True), r, 2)]
form("EqConfigDialog", "QDialog", "Equalizer band", (460, 560), L("v", [
    L("h", [ftype, fside], "layoutRadios"),
    L("g", fields, "layoutFields"),
    W("QCheckBox", "ctl1186", "Enable EQ"),
    W("QWidget", "responsePlotHost", None, accessibleName="Band response", minimumSize=(0, 200)),
    L("h", ["stretch", W("QPushButton", "ctl1", "OK", notr=True), W("QPushButton", "ctl2", "Cancel", notr=True)],
      "layoutButtons")], "layoutDialog"),
    ["ctl1178", "ctl1179", "ctl1180", "ctl1181", "ctl1182", "ctl1183", "ctl1184", "ctl1185", "ctl1186",
     "ctl1", "ctl2"])



class Writer:
    def __init__(self, form):
        self.form = form
        self.lines = []
        self.tab = []
        self.msgs = []   # (source, translation, comment)
        self.seen = {}
        self.n = 0

    def string(self, en, zh):
        comment = ""
        if en in self.seen and self.seen[en] != zh:
            comment = "alt%d" % len(self.msgs)
        else:
            self.seen[en] = zh
        if en:
            self.msgs.append((en, zh, comment))
        c = ' comment="%s"' % comment if comment else ""
        return "<string%s>%s</string>" % (c, escape(en))

    def uid(self, p):
        self.n += 1
        return "%s%d" % (p, self.n)

    def prop(self, name, val):
        return "<property name=\"%s\">%s</property>" % (name, val)

    def widget(self, it):
        """Returns (label xml or None, control xml)."""
        cname = "ctl%d" % it.cid if isinstance(it.cid, int) else it.cid
        acc = self.prop("accessibleName", self.string(it.en, it.zh))
        label = None
        if it.kind in ("edit", "combo", "picture", "list") and not it.kw.get("bare") and it.kind != "list":
            lname = "lbl%d" % it.kw.get("label_id", it.cid) if it.kw.get("label_id") else "lbl%d" % it.cid
            label = '<widget class="QLabel" name="%s">%s%s</widget>' % (
                lname, self.prop("text", self.string(it.en, it.zh)), self.prop("buddy", "<cstring>%s</cstring>" % cname))
            if it.kind == "picture":
                label = None
        if it.kind == "label":
            return None, '<widget class="QLabel" name="%s">%s%s</widget>' % (
                cname, self.prop("text", self.string(it.en, it.zh)),
                self.prop("wordWrap", "<bool>true</bool>") if it.kw.get("wrap", True) else "")
        self.tab.append(cname) if it.kind != "picture" else None
        cls = {"check": "QCheckBox", "radio": "QRadioButton", "edit": "QLineEdit", "combo": "QComboBox",
               "button": "QPushButton", "picture": "QLabel", "list": "QTreeWidget"}[it.kind]
        body = acc
        if it.kind in ("check", "radio", "button"):
            body = self.prop("text", self.string(it.en, it.zh)) + acc
        if it.kind == "picture":
            body += self.prop("minimumSize", "<size><width>20</width><height>20</height></size>")
        if it.kind == "list":
            body += self.prop("rootIsDecorated", "<bool>false</bool>") + self.prop("uniformRowHeights", "<bool>true</bool>")
            body += self.prop("alternatingRowColors", "<bool>true</bool>")
        if it.kind == "edit" and it.kw.get("readonly"):
            body += self.prop("readOnly", "<bool>true</bool>")
        return label, '<widget class="%s" name="%s">%s</widget>' % (cls, cname, body)

    def row_layout(self, items):
        out = ['<layout class="QHBoxLayout" name="%s">' % self.uid("row")]
        for it in items:
            label, ctl = self.widget(it)
            if label:
                out.append("<item>%s</item>" % label)
            out.append("<item>%s</item>" % ctl)
        if not any(it.kind in ("edit", "combo") for it in items):
            out.append('<item><spacer name="%s"><property name="orientation"><enum>Qt::Horizontal</enum></property>'
                       '</spacer></item>' % self.uid("sp"))
        out.append("</layout>")
        return "".join(out)

    def group(self, g):
        cls = "QGroupBox"
        out = ['<widget class="%s" name="%s">' % (cls, g.name)]
        if g.en:
            out.append(self.prop("title", self.string(g.en, g.zh)))
        out.append('<layout class="QGridLayout" name="%s">' % self.uid("grid"))
        r = 0
        for it in g.items:
            if it.kind == "row":
                out.append('<item row="%d" column="0" colspan="2">%s</item>' % (r, self.row_layout(it.kw["items"])))
            else:
                label, ctl = self.widget(it)
                if label:
                    out.append('<item row="%d" column="0">%s</item>' % (r, label))
                    out.append('<item row="%d" column="1">%s</item>' % (r, ctl))
                else:
                    out.append('<item row="%d" column="0" colspan="2">%s</item>' % (r, ctl))
            r += 1
        if not any(it.kind == "list" for it in g.items):
            out.append('<item row="%d" column="0">%s</item>' % (r, self.vspacer("QSizePolicy::Preferred")))
        out.append("</layout></widget>")
        return "".join(out)

    def rowstretch(self):
        # Extra height goes to the list, or to the empty row below the groups.
        f = self.form
        nrows = max(g.pos[0] + (g.pos[2] if len(g.pos) > 2 else 1) for g in f.groups)
        stretch = [0] * (nrows + 1)
        lists = [g.pos[0] for g in f.groups if any(it.kind == "list" for it in g.items)]
        for r in lists:
            stretch[r] = 1
        if not lists and not f.buttons:
            stretch[nrows] = 1
        return ' rowstretch="%s"' % ",".join(map(str, stretch))

    def vspacer(self, size_type="QSizePolicy::Expanding"):
        return ('<spacer name="%s"><property name="orientation"><enum>Qt::Vertical</enum></property>'
                '<property name="sizeType"><enum>' + size_type + '</enum></property>'
                '<property name="sizeHint" stdset="0"><size><width>0</width><height>0</height></size></property>'
                '</spacer>') % self.uid("vs")

    def write(self):
        f = self.form
        out = ['<?xml version="1.0" encoding="UTF-8"?>', '<ui version="4.0">', "<class>%s</class>" % f.cls,
               '<widget class="%s" name="%s">' % (f.base, f.cls), self.prop("windowTitle", self.string(f.en, f.zh)),
               '<layout class="QGridLayout" name="layoutMain"%s>' % self.rowstretch()]
        for g in f.groups:
            pos = g.pos + (1, 1)[len(g.pos) - 2:] if len(g.pos) == 2 else g.pos
            row, col, rs, cs = (pos + (1, 1))[:4]
            out.append('<item row="%d" column="%d" rowspan="%d" colspan="%d">%s</item>' % (row, col, rs, cs,
                                                                                          self.group(g)))
        nrows = max(g.pos[0] + (g.pos[2] if len(g.pos) > 2 else 1) for g in f.groups)
        if f.buttons:
            out.append('<item row="%d" column="0" colspan="2">%s</item>' % (nrows, self.row_layout(f.buttons)))
        elif not any(it.kind == "list" for g in f.groups for it in g.items):
            # Pages and the form keep their groups at the top; the artwork shows below.
            out.append('<item row="%d" column="0">%s</item>' % (nrows, self.vspacer()))
        out.append("</layout></widget>")
        out.append("<tabstops>%s</tabstops>" % "".join("<tabstop>%s</tabstop>" % t for t in self.tab))
        out.append("<resources/><connections/></ui>")
        return "\n".join(out) + "\n"


def ts_context(name, msgs):
    out = ["<context>", "    <name>%s</name>" % name]
    done = set()
    for en, zh, comment in msgs:
        if (en, comment) in done:
            continue
        done.add((en, comment))
        out.append("    <message>")
        out.append("        <source>%s</source>" % escape(en))
        if comment:
            out.append("        <comment>%s</comment>" % comment)
        out.append("        <translation>%s</translation>" % escape(zh))
        out.append("    </message>")
    out.append("</context>")
    return "\n".join(out)


def main():
    contexts = []
    for f in FORMS:
        w = Writer(f)
        text = w.write()
        with open(os.path.join(HERE, f.cls + ".ui"), "w", encoding="utf-8") as fh:
            fh.write(text)
        contexts.append(ts_context(f.cls, w.msgs))
    for cls, text in LAYOUT_FORMS:
        with open(os.path.join(HERE, cls + ".ui"), "w", encoding="utf-8") as fh:
            fh.write(text)
    for ctx, texts in used.items():
        contexts.append(ts_context(ctx, [(t, ZH[t], "") for t in texts]))
    for name, pairs in CODE_TEXTS.items():
        contexts.append(ts_context(name, [(en, zh, "") for en, zh in pairs]))
    ts = ['<?xml version="1.0" encoding="utf-8"?>', "<!DOCTYPE TS>", '<TS version="2.1" language="zh_CN">']
    ts += contexts
    ts.append("</TS>")
    os.makedirs(os.path.join(HERE, "..", "i18n"), exist_ok=True)
    with open(os.path.join(HERE, "..", "i18n", "tessera_zh_CN.ts"), "w", encoding="utf-8") as fh:
        fh.write("\n".join(ts) + "\n")


if __name__ == "__main__":
    main()
