#!/usr/bin/env python3
"""Writes the shipped message catalogs data/Message.E and data/Message.C.

Line n of a catalog is message n: a label, one blank, the text. Both files are
generated from the one table below so their positions always line up; unused
positions get a placeholder. Message.E is Windows-1252, Message.C is Big5,
both with CR LF line ends.

A text that the program joins with something after it (a device name, a
path, a count) ends in the separator that should stand between them.

Usage: scripts/make_catalogs.py [--check]   (--check: fail if the files differ)
"""

import pathlib
import sys

LINES = 250          # positions written; every identifier in use lies below
PIECE = 253          # a catalog read takes at most 253 characters, line end included
PLACEHOLDER = "-"

MESSAGES = {
    # Main window, program page
    11: ("NC Program", "NC程式"),
    12: ("NC program editor", "NC程式編輯區"),
    13: ("Transfer messages", "資料傳送/接收訊息區"),
    14: ("Program No", "程式號碼"),
    15: ("Program name", "程式名稱"),
    16: ("File name: ", "檔案名稱: "),
    17: ("Serial port", "通訊埠"),
    18: ("Controller type", "控制器型式"),
    21: ("Send", "傳送程式"),
    22: ("Receive", "接收程式"),
    23: ("Delete", "刪除程式"),
    24: ("Clear messages", "清除訊息"),
    25: ("Open file", "讀取檔案"),
    26: ("Save file", "儲存檔案"),
    27: ("Path Simulator", "路徑模擬"),
    28: ("Auto detect", "自動偵測"),
    29: ("Multiple programs", "多組程式傳送接收"),
    30: ("Exit", "程式結束"),
    # Parameter page
    31: ("Parameters", "參數設定"),
    32: ("Parameter editor", "參數編輯區"),
    33: ("Transfer messages", "資料傳送/接收訊息區"),
    34: ("Parameters to read", "讀取參數選項"),
    35: ("File name: ", "檔案名稱: "),
    36: ("Controller version", "控制器版本"),
    41: ("Send to controller", "傳送參數到控制器"),
    42: ("Receive from controller", "從控制器接收參數"),
    43: ("Clear messages", "清除訊息"),
    44: ("Open file", "讀取檔案"),
    45: ("Save file", "儲存檔案"),
    46: ("Select all", "全選"),
    47: ("Clear selection", "取消選擇"),
    50: ("Exit", "程式結束"),
    # PLC page
    51: ("PLC", "PLC程式"),
    52: ("PLC editor", "PLC程式編輯區"),
    53: ("File name: ", "檔案名稱: "),
    54: ("Transfer messages", "資料傳送/接收訊息區"),
    55: ("Make sure the machine is stopped and in a safe state before communicating "
         "with the controller.",
         "與控制器通訊前，請確認機台已停止並處於安全狀態。"),
    61: ("Send PLC", "傳送PLC"),
    62: ("Receive PLC", "接收PLC"),
    63: ("Clear messages", "清除訊息"),
    64: ("Open file", "讀取檔案"),
    65: ("Save file", "儲存檔案"),
    # File choosers
    68: ("Open File", "開啟檔案"),
    69: ("Save File", "儲存檔案"),
    70: ("Exit", "程式結束"),
    # Dialog buttons: Yes, No, OK, Cancel, Abort, Retry, Ignore, All, NoToAll, YesToAll, Help
    71: ("Yes", "是"),
    72: ("No", "否"),
    73: ("OK", "確定"),
    74: ("Cancel", "取消"),
    75: ("Abort", "中止"),
    76: ("Retry", "重試"),
    77: ("Ignore", "忽略"),
    78: ("All", "全部"),
    79: ("No to All", "全部否"),
    80: ("Yes to All", "全部是"),
    81: ("Help", "說明"),
    # Simulator run control
    96: ("Start", "開始"),
    97: ("Stop", "停止"),
    98: ("Pause", "暫停"),
    # About box
    100: ("zarlink - NC program, parameter and PLC transfer for ZAR-series controllers",
          "zarlink - ZAR系列控制器之NC程式、參數及PLC傳輸工具"),
    # Link
    101: ("Port opened: ", "通訊埠已開啟: "),
    102: ("Cannot open port: ", "無法開啟通訊埠: "),
    103: ("No reply from the controller in time. Check the cable, the port and the baud rate.",
          "控制器未在時限內回應，請檢查連接線、通訊埠及鮑率。"),
    104: ("Sending failed: the data could not be written to the port.",
          "傳送失敗：資料無法寫入通訊埠。"),
    105: ("Sending the program...", "開始傳送程式..."),
    106: ("Transfer complete.", "傳送完成。"),
    107: ("Port closed ", "通訊埠已關閉 "),
    108: ("Communicating with the controller...", "與控制器通訊中..."),
    109: ("Program received.", "程式接收完成。"),
    # Files
    111: ("Loading file...", "讀取檔案中..."),
    112: ("The program number in the file is not between 1 and 99; the file was not loaded.",
          "檔案中的程式號碼不在1到99之間，檔案未讀入。"),
    113: ("The program name in the file is longer than 8 characters; the file was not loaded.",
          "檔案中的程式名稱超過8個字元，檔案未讀入。"),
    114: ("Lines loaded", "讀入行數"),
    115: ("Loading finished.", "檔案讀取完成。"),
    116: ("Saving file...", "儲存檔案中..."),
    117: ("Saving finished.", "檔案儲存完成。"),
    # Program send, receive, delete
    121: ("The editor is empty: there is no program to send.", "編輯區沒有程式，無法傳送。"),
    122: ("The controller refused the command.", "控制器拒絕此命令。"),
    123: ("Send this program to the controller?", "確定要將此程式傳送到控制器嗎？"),
    124: ("Receive this program from the controller?", "確定要從控制器接收此程式嗎？"),
    125: ("Delete this program on the controller?", "確定要刪除控制器上的此程式嗎？"),
    126: ("Deletion cancelled.", "已取消刪除。"),
    127: ("Deleting the program on the controller...", "刪除控制器上的程式中..."),
    128: ("The controller has deleted the program.", "控制器已刪除程式。"),
    129: ("The controller did not confirm the deletion.", "控制器未確認刪除。"),
    130: ("The controller already holds a program under this number. Delete it before sending?",
          "控制器上已有相同號碼的程式，是否先刪除再傳送？"),
    # Multiple-program transfer
    131: ("Read from controller into files", "從控制器讀出到檔案"),
    132: ("Write files to controller", "從檔案寫入控制器"),
    133: ("Select all", "全選"),
    134: ("Clear all", "全部取消"),
    135: ("Ask before replacing a program on the controller", "覆蓋控制器上的程式前先詢問"),
    # Parameter transfer
    141: ("The editor is empty: there are no parameters to send.", "編輯區沒有參數，無法傳送。"),
    142: ("The controller refused the parameter command.", "控制器拒絕參數命令。"),
    143: ("Send these parameters to the controller?", "確定要將這些參數傳送到控制器嗎？"),
    144: ("Sending parameters...", "開始傳送參數..."),
    145: ("Parameter line format error (expected name(number)=value); sending stopped.",
          "參數格式錯誤(應為 名稱(號碼)=數值)，傳送停止。"),
    146: ("Parameter sending ended.", "參數傳送結束。"),
    147: ("Receiving parameters...", "開始接收參數..."),
    148: ("Parameter receiving ended.", "參數接收結束。"),
    # PLC transfer
    161: ("The PLC editor is empty: there is nothing to send.", "PLC編輯區是空的，沒有可傳送的資料。"),
    162: ("The controller refused the PLC command.", "控制器拒絕PLC命令。"),
    163: ("The controller did not answer the PLC write request.", "控制器未回應PLC寫入要求。"),
    164: ("Sending PLC records...", "傳送PLC資料中..."),
    171: ("All PLC records received; decompiling...", "PLC資料接收完成，開始反組譯..."),
    172: ("Cannot open the received PLC image file.", "無法開啟接收到的PLC映像檔。"),
    173: ("The received PLC image is incomplete: the timer/counter preset table is missing.",
          "接收到的PLC映像不完整：缺少計時器/計數器設定值表。"),
    174: ("The received PLC image is incomplete: the header block is missing.",
          "接收到的PLC映像不完整：缺少表頭區塊。"),
    176: ("Receiving PLC records...", "接收PLC資料中..."),
    # New-directory dialog
    181: ("New folder", "建立新目錄"),
    182: ("Current folder:", "目前目錄:"),
    183: ("New folder name:", "新目錄名稱:"),
    184: ("The folder could not be created. It may exist already, the name may be invalid, "
          "or you may not have write permission here.",
          "無法建立目錄。目錄可能已存在、名稱不正確，或沒有寫入權限。"),
    # Simulator window
    186: ("Single step", "單步執行"),
    187: ("Continuous", "連續執行"),
    188: ("Equal scale", "等比例"),
    189: ("Outputs", "輸出"),
    190: ("Inputs", "輸入"),
    191: ("Nothing was drawn: no part of the path lies at the Z level. Z of the path: ",
          "未繪出路徑：路徑沒有任何部分位於Z軸顯示高度。路徑的Z範圍: "),
    192: ("Step length", "步進量"),
    193: ("Clear", "清除"),
    194: ("Mirror X", "X軸反向"),
    195: ("Mirror Y", "Y軸反向"),
    196: ("0.001 mm", "0.001 mm"),
    197: ("1 mm", "1 mm"),
    198: ("The editor is empty: there is no program to simulate.", "編輯區沒有程式，無法模擬。"),
    # PLC compiler and decompiler: 200 + error code
    202: ("PLC error: unknown instruction.", "PLC錯誤：無法識別的指令。"),
    203: ("PLC error: this instruction does not accept an operand of that type.",
          "PLC錯誤：此指令不接受該類運算元。"),
    204: ("PLC error: too many operands.", "PLC錯誤：運算元過多。"),
    205: ("PLC error: an operand is missing.", "PLC錯誤：缺少運算元。"),
    206: ("PLC error: invalid operand (unknown prefix or wrong digit).",
          "PLC錯誤：運算元格式不正確(字首或數字錯誤)。"),
    207: ("PLC error: operand value out of range.", "PLC錯誤：運算元數值超出範圍。"),
    208: ("PLC error: unknown instruction code or operand out of range. ",
          "PLC錯誤：無法識別的指令碼或運算元超出範圍。 "),
    230: ("PLC error: not enough memory to compile the program.", "PLC錯誤：記憶體不足，無法編譯。"),
    231: ("PLC image error: an instruction is cut short. ", "PLC映像錯誤：指令資料不完整。 "),
    232: ("PLC program decompiled.", "PLC程式反組譯完成。"),
    # Simulator
    234: ("Z level", "Z軸顯示高度"),
    # NC conversion failures, shown as "%s  On Line:N%04d"
    247: ("NC conversion error: too many blocks (at most 6000)", "NC轉換錯誤：單節數超過6000"),
    248: ("NC conversion error: unrecognised word", "NC轉換錯誤：無法識別的字碼"),
    249: ("NC conversion error: malformed word", "NC轉換錯誤：字碼格式錯誤"),
}


def build(language):
    """The catalog's bytes: 0 Chinese (Big5), 1 English (Windows-1252)."""
    out = bytearray()
    for n in range(1, LINES + 1):
        text = MESSAGES[n][1 - language] if n in MESSAGES else PLACEHOLDER
        encoded = f"M{n:03d} {text}".encode("big5" if language == 0 else "cp1252")
        if len(encoded) + 1 > PIECE:
            raise SystemExit(f"message {n} is too long for a catalog line ({len(encoded)} bytes)")
        out += encoded + b"\r\n"
    return bytes(out)


def main():
    data = pathlib.Path(__file__).resolve().parent.parent / "data"
    check = "--check" in sys.argv[1:]
    stale = []
    for language, name in ((0, "Message.C"), (1, "Message.E")):
        content = build(language)
        path = data / name
        if check:
            if not path.exists() or path.read_bytes() != content:
                stale.append(name)
        else:
            path.write_bytes(content)
    if stale:
        raise SystemExit("out of date: " + ", ".join(stale) + " (run scripts/make_catalogs.py)")


if __name__ == "__main__":
    main()
