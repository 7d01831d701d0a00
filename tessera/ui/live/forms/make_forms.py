#!/usr/bin/env python3
"""Writes the live-tuning pages' Designer forms and their Simplified Chinese catalogue
from one table, so a caption and its translation never drift apart.
Run from this folder: python3 make_forms.py"""
from xml.sax.saxutils import escape

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
    with open(f"{cls}.ui", "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


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

# Catalogue.
ts = ['<?xml version="1.0" encoding="utf-8"?>', "<!DOCTYPE TS>", '<TS version="2.1" language="zh_CN">']
for ctx, texts in used.items():
    ts.append(f"<context>\n    <name>{ctx}</name>")
    for t in texts:
        ts.append(f"    <message>\n        <location filename=\"../forms/{ctx}.ui\"/>\n"
                  f"        <source>{escape(t)}</source>\n        <translation>{escape(ZH[t])}</translation>\n    </message>")
    ts.append("</context>")
ts.append("</TS>\n")
with open("../i18n/tessera_live_zh_CN.ts", "w", encoding="utf-8") as f:
    f.write("\n".join(ts))
