#!/usr/bin/env python3
"""Writes the shipped parameter lists and the virtual controller's factory table.

From the one table below it writes, into data/:
  - the definition files of every model: 101Par, 200Par, 300Par, and for the
    X02 models 102/202/302 one file per firmware version (…ParSD, …ParK,
    …ParM) plus the model's plain file (…Par, the version-independent set the
    program falls back to);
  - the address tables Z102Add, Z202Add, Z302Add;
each in English (…E.txt, …E.Ini, ASCII) and Traditional Chinese (.txt, .Ini,
Big5), with CR LF line ends; and src/controller/FactoryParameterTable.inc, the
numbers and factory values the virtual controller knows for each model and
version, so the controller answers for exactly what the lists offer.

Definition lines are "name", blanks up to column 40, "= number"; the program
trims the blanks. Address-table lines are "name=number" with nothing around
the "=", since those names are taken exactly as written. Group titles and
blank lines hold no "=", so the program passes over them.

Names never hold "(", ")" or "=": a received parameter comes back as the line
"name(number)=value", and the sender takes the number from the first
parentheses and the value after the last "=".

Usage: scripts/make_param_data.py [--check]   (--check: fail if any file differs)
"""

import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
DATA = ROOT / "data"
TABLE_INC = ROOT / "src" / "controller" / "FactoryParameterTable.inc"

MAX_NAME = 39         # bytes a name may hold in the program's lists
NAME_COLUMN = 40      # where "=" stands in definition files
MIN_ENTRIES, MAX_ENTRIES = 40, 150   # entries per model and version, address table included

X02_MODELS = (102, 202, 302)
X00_MODELS = (101, 200, 300)
VERSIONS = ("SD", "K", "M")

AXES = ("X", "Y", "Z", "A")


def axes_of(model):
    """Linear axes X, Y, Z on every model; the 300 series adds the rotary A."""
    return AXES if model in (300, 302) else AXES[:3]


def has_atc(model):
    """The 200 and 300 series carry a tool magazine."""
    return model in (200, 202, 300, 302)


def x02(model):
    return model in X02_MODELS


# ---------------------------------------------------------------- the table
#
# Each entry: number, English name, Chinese name, factory value, and where it
# is offered: `models` (a predicate on the model number), `versions` (the X02
# firmware versions whose definition file lists it; X00 models have one file),
# `address` (True: in the model's address table rather than its definitions).

class Entry:
    def __init__(self, number, english, chinese, value, models=lambda m: True,
                 versions=VERSIONS, address=False):
        self.number = number
        self.english = english
        self.chinese = chinese
        self.value = value          # an int, or a function of the model
        self.models = models
        self.versions = versions
        self.address = address

    def value_for(self, model):
        return self.value(model) if callable(self.value) else self.value


GROUPS = []   # (English title, Chinese title, [Entry]) in file order


def group(english, chinese, entries):
    GROUPS.append((english, chinese, entries))


group("Communication and system", "通訊與系統", [
    Entry(1, "RS-232 baud rate code 1-5", "RS-232 鮑率代碼 1-5", 4),
    Entry(2, "RS-232 data bits", "RS-232 資料位元數", 8),
    Entry(3, "RS-232 stop bits", "RS-232 停止位元數", 1),
    Entry(4, "RS-232 parity 0 none 1 odd 2 even", "RS-232 同位檢查 0無 1奇 2偶", 0),
    Entry(5, "RS-232 reply time-out ms", "RS-232 回應逾時 ms", 1000),
    Entry(6, "XON/XOFF flow control 0 off 1 on", "XON/XOFF 流量控制 0關 1開", 0),
    Entry(7, "Input unit 0 mm 1 inch", "輸入單位 0公制 1英制", 0),
    Entry(8, "Least input increment um", "最小輸入單位 um", 1),
    Entry(9, "Number of controlled axes", "控制軸數", lambda m: len(axes_of(m))),
])


def per_axis(base, english, chinese, values, models=lambda m: True, versions=VERSIONS,
             address=False, unit=None, rotary_unit=None):
    """One entry per axis, numbered base + axis index (X 0, Y 1, Z 2, A 3).
    `english`/`chinese` hold "{a}" for the axis and "{u}" for its unit."""
    entries = []
    for i, axis in enumerate(AXES):
        u = rotary_unit if axis == "A" and rotary_unit else unit or ""
        entries.append(Entry(
            base + i, english.format(a=axis, u=u), chinese.format(a=axis, u=u), values[i],
            models=(lambda m, axis=axis, models=models: axis in axes_of(m) and models(m)),
            versions=versions, address=address))
    return entries


group("Feed rates", "進給速度",
      per_axis(10, "{a} rapid traverse rate {u}", "{a}軸快速移動速度 {u}",
               (15000, 15000, 12000, 7200), unit="mm/min", rotary_unit="deg/min")
      + per_axis(14, "{a} maximum cutting feed {u}", "{a}軸最高切削進給 {u}",
                 (8000, 8000, 5000, 3600), unit="mm/min", rotary_unit="deg/min")
      + per_axis(62, "{a} jog feed rate {u}", "{a}軸寸動速度 {u}",
                 (2000, 2000, 1500, 1800), unit="mm/min", rotary_unit="deg/min"))

group("Acceleration and deceleration", "加減速",
      per_axis(18, "{a} rapid accel/decel time ms", "{a}軸快速加減速時間 ms", (120, 120, 150, 200))
      + per_axis(22, "{a} cutting accel/decel time ms", "{a}軸切削加減速時間 ms", (60, 60, 80, 100),
                 models=x02))

group("Compensation and limits", "補償與極限",
      per_axis(26, "{a} backlash compensation {u}", "{a}軸背隙補償 {u}", (8, 6, 10, 20),
               unit="um", rotary_unit="mdeg")
      + per_axis(30, "{a} soft limit plus {u}", "{a}軸正向軟體極限 {u}",
                 (510000, 410000, 0, 360000), unit="um", rotary_unit="mdeg")
      + per_axis(34, "{a} soft limit minus {u}", "{a}軸負向軟體極限 {u}",
                 (-2000, -2000, -310000, -360000), unit="um", rotary_unit="mdeg"))

group("Reference return", "原點復歸",
      per_axis(38, "{a} home direction 0 plus 1 minus", "{a}軸原點方向 0正 1負", (0, 0, 0, 1))
      + per_axis(42, "{a} home approach feed {u}", "{a}軸原點復歸速度 {u}",
                 (3000, 3000, 2000, 1800), unit="mm/min", rotary_unit="deg/min")
      + per_axis(46, "{a} home position shift {u}", "{a}軸原點偏移量 {u}", (0, 0, 0, 0),
                 unit="um", rotary_unit="mdeg"))

group("Servo and feedback", "伺服與回授",
      per_axis(50, "{a} position loop gain 0.01/s", "{a}軸位置迴路增益 0.01/s",
               (3000, 3000, 3000, 2500), models=x02)
      + per_axis(54, "{a} in-position width {u}", "{a}軸定位寬度 {u}", (20, 20, 20, 50),
                 models=x02, unit="um", rotary_unit="mdeg")
      + per_axis(58, "{a} following error limit {u}", "{a}軸追隨誤差上限 {u}",
                 (15000, 15000, 12000, 30000), models=x02, unit="um", rotary_unit="mdeg")
      + per_axis(66, "{a} ball screw lead {u}", "{a}軸螺桿導程 {u}", (10000, 10000, 5000, 360000),
                 unit="um", rotary_unit="mdeg/rev")
      + per_axis(70, "{a} encoder pulses per rev", "{a}軸編碼器每轉脈波數", (10000, 10000, 10000, 8192)))

group("Spindle", "主軸", [
    Entry(80, "Spindle maximum speed rpm", "主軸最高轉速 rpm",
          lambda m: {1: 6000, 2: 8000, 3: 10000}[m // 100]),
    Entry(81, "Spindle minimum speed rpm", "主軸最低轉速 rpm", 100),
    Entry(82, "Spindle acceleration time ms", "主軸加速時間 ms", 1500),
    Entry(83, "Spindle deceleration time ms", "主軸減速時間 ms", 2000),
    Entry(84, "Spindle orientation angle 0.01 deg", "主軸定位角度 0.01度", 0, models=has_atc),
    Entry(85, "Spindle speed arrival band %", "主軸轉速到達範圍 %", 10),
    Entry(86, "Spindle analog output at max mV", "主軸類比輸出最大值 mV", 10000),
    Entry(87, "Spindle override maximum %", "主軸轉速倍率上限 %", 120),
    Entry(88, "Spindle motor to spindle ratio x1000", "主軸馬達減速比 x1000", 1000, models=x02),
])

group("Tool change", "換刀", [
    Entry(100, "Tool change position X um", "換刀位置 X um", -5000, models=has_atc),
    Entry(101, "Tool change position Y um", "換刀位置 Y um", -2000, models=has_atc),
    Entry(102, "Tool change position Z um", "換刀位置 Z um", -10000, models=has_atc),
    Entry(103, "Magazine pockets", "刀庫刀套數", lambda m: 20 if m // 100 == 3 else 12,
          models=has_atc),
    Entry(104, "Tool clamp time ms", "刀具夾緊時間 ms", 500, models=has_atc),
    Entry(105, "Tool unclamp time ms", "刀具放鬆時間 ms", 600, models=has_atc),
    Entry(106, "Magazine rotation time-out ms", "刀庫旋轉逾時 ms", 8000, models=has_atc),
    Entry(107, "Tool change Z feed mm/min", "換刀Z軸速度 mm/min", 5000, models=has_atc),
])

group("Operation", "操作", [
    Entry(120, "Feed override maximum %", "進給倍率上限 %", 150),
    Entry(121, "Rapid override low setting %", "快速倍率低速 %", 10),
    Entry(122, "M function finish time-out ms", "M碼完成逾時 ms", 10000),
    Entry(123, "Lubrication interval s", "潤滑間隔時間 s", 1800),
    Entry(124, "Lubrication pump time s", "潤滑泵浦時間 s", 5),
    Entry(125, "Arc end point tolerance um", "圓弧終點容許誤差 um", 10),
    Entry(126, "Corner slowdown angle deg", "轉角減速角度 度", 30, models=x02),
    Entry(127, "Protect programs 90-99 0 off 1 on", "程式90-99保護 0關 1開", 1),
    Entry(128, "Emergency stop decel time ms", "緊急停止減速時間 ms", 100),
])

group("Rigid tapping", "剛性攻牙", [
    Entry(140, "Rigid tapping 0 off 1 on", "剛性攻牙 0關 1開", 1, models=x02, versions=("K", "M")),
    Entry(141, "Rigid tapping accel time ms", "剛性攻牙加減速時間 ms", 200, models=x02,
          versions=("K", "M")),
    Entry(142, "Rigid tapping loop gain 0.01/s", "剛性攻牙迴路增益 0.01/s", 2500, models=x02,
          versions=("K", "M")),
    Entry(143, "Tapping retract override %", "攻牙退刀倍率 %", 100, models=x02,
          versions=("K", "M")),
])

group("High-speed machining", "高速加工", [
    Entry(150, "Look-ahead blocks", "預讀單節數", 30, models=x02, versions=("M",)),
    Entry(151, "Look-ahead corner feed mm/min", "預讀轉角速度 mm/min", 800, models=x02,
          versions=("M",)),
    Entry(152, "Path smoothing time ms", "路徑平滑時間 ms", 16, models=x02, versions=("M",)),
    Entry(153, "Maximum path acceleration mm/s2", "路徑最大加速度 mm/s2", 1500, models=x02,
          versions=("M",)),
    Entry(154, "Macro variable write protect 0/1", "巨集變數寫入保護 0/1", 0, models=x02,
          versions=("M",)),
])

# Address tables: servo drive tuning and the pitch error compensation tables,
# kept by the X02 models at fixed addresses.
PITCH_POINTS = (0, 2, 3, 1, -1, -2)

group("Servo drive", "伺服驅動",
      per_axis(900, "{a} velocity loop gain", "{a}軸速度迴路增益", (120, 120, 140, 100),
               models=x02, address=True)
      + per_axis(910, "{a} velocity loop integral 0.1ms", "{a}軸速度迴路積分 0.1ms",
                 (200, 200, 180, 250), models=x02, address=True)
      + per_axis(920, "{a} torque limit %", "{a}軸轉矩限制 %", (250, 250, 300, 200),
                 models=x02, address=True))


def pitch_entries():
    entries = []
    for i, axis in enumerate(AXES):
        base = 1000 + 100 * i
        in_model = lambda m, axis=axis: x02(m) and axis in axes_of(m)
        entries.append(Entry(base, f"{axis} pitch comp interval um", f"{axis}軸螺距補償間隔 um",
                             50000 if axis != "A" else 0, models=in_model, address=True))
        for k, value in enumerate(PITCH_POINTS, start=1):
            entries.append(Entry(base + k, f"{axis} pitch comp point {k} um",
                                 f"{axis}軸螺距補償點{k} um", value, models=in_model, address=True))
    return entries


group("Pitch error compensation", "螺距誤差補償", pitch_entries())


# ---------------------------------------------------------------- the lists

def definitions(model, version):
    """(group index, entry) of a definition file, in file order. `version`
    None is the model's plain file: the entries every version lists."""
    out = []
    for g, (_, _, entries) in enumerate(GROUPS):
        for e in entries:
            if e.address or not e.models(model):
                continue
            if x02(model):
                wanted = VERSIONS if version is None else (version,)
                if not all(v in e.versions for v in wanted):
                    continue
            out.append((g, e))
    return out


def address_entries(model):
    return [(g, e) for g, (_, _, entries) in enumerate(GROUPS) for e in entries
            if e.address and e.models(model)]


def encode(text, chinese):
    data = text.encode("big5" if chinese else "ascii")
    if len(data) > MAX_NAME:
        raise SystemExit(f"name too long ({len(data)} bytes): {text}")
    for bad in "()=":
        if bad in text:
            raise SystemExit(f"name holds '{bad}': {text}")
    return data


def definition_file(model, version, chinese):
    title = (f"ZAR {model} 參數表" if chinese else f"ZAR {model} parameters")
    if version:
        title += (f" 版本 {version}" if chinese else f", firmware version {version}")
    lines = [title.encode("big5" if chinese else "ascii")]
    last_group = None
    for g, e in definitions(model, version):
        if g != last_group:
            lines.append(b"")
            lines.append(("[" + GROUPS[g][1 if chinese else 0] + "]")
                         .encode("big5" if chinese else "ascii"))
            last_group = g
        name = encode(e.chinese if chinese else e.english, chinese)
        lines.append(name.ljust(NAME_COLUMN) + b"= " + str(e.number).encode())
    return b"".join(line + b"\r\n" for line in lines)


def address_file(model, chinese):
    title = f"ZAR {model} 位址表" if chinese else f"ZAR {model} address table"
    lines = [title.encode("big5" if chinese else "ascii")]
    for _, e in address_entries(model):
        lines.append(encode(e.chinese if chinese else e.english, chinese) + b"=" +
                     str(e.number).encode())
    return b"".join(line + b"\r\n" for line in lines)


def data_files():
    files = {}
    for chinese in (False, True):
        suffix = "" if chinese else "E"
        for model in X02_MODELS:
            files[f"{model}Par{suffix}.txt"] = definition_file(model, None, chinese)
            for version in VERSIONS:
                files[f"{model}Par{version}{suffix}.txt"] = definition_file(model, version, chinese)
            files[f"Z{model}Add{suffix}.Ini"] = address_file(model, chinese)
        for model in X00_MODELS:
            files[f"{model}Par{suffix}.txt"] = definition_file(model, None, chinese)
    return files


def factory_table():
    """One row per model and number: the factory value and the versions whose
    list offers it (bit 0 SD, 1 K, 2 M; X00 models list it for all three)."""
    rows = []
    for model in X02_MODELS + X00_MODELS:
        versions = VERSIONS if x02(model) else (None,)
        masks = {}
        values = {}
        for v, version in enumerate(versions):
            offered = definitions(model, version if x02(model) else None) + address_entries(model)
            count = len(offered)
            if not MIN_ENTRIES <= count <= MAX_ENTRIES:
                raise SystemExit(f"model {model} version {version}: {count} entries")
            for _, e in offered:
                bit = (1 << v) if x02(model) else 0b111
                masks[e.number] = masks.get(e.number, 0) | bit
                values[e.number] = e.value_for(model)
        for number in sorted(masks):
            rows.append((model, number, values[number], masks[number]))
    text = ("// Generated by scripts/make_param_data.py from its parameter table, like the\n"
            "// shipped definition and address files; do not edit.\n"
            "// {model, number, factory value, versions offering it: bit 0 SD, 1 K, 2 M}\n")
    for model, number, value, mask in rows:
        text += f"{{{model}, {number}, {value}, {mask}}},\n"
    return text.encode("ascii")


def main():
    check = "--check" in sys.argv[1:]
    outputs = {DATA / name: content for name, content in data_files().items()}
    outputs[TABLE_INC] = factory_table()
    stale = []
    for path, content in outputs.items():
        if check:
            if not path.exists() or path.read_bytes() != content:
                stale.append(str(path.relative_to(ROOT)))
        else:
            path.write_bytes(content)
    if stale:
        raise SystemExit("out of date: " + ", ".join(stale) + " (run scripts/make_param_data.py)")


if __name__ == "__main__":
    main()
