#include "dialog/dialog_template.h"

#include "dialog/control_ids.h"

namespace {

using K = ControlKind;

// clang-format off
constexpr ControlTemplate kMainControls[] = {
    {IDC_STATIC, "grpComm", K::GroupBox, "通信设置", 7, 23, 119, 118, 0, nullptr, nullptr},
    {IDC_STATIC, "grpReceive", K::GroupBox, "接收设置", 7, 142, 119, 106, 0, nullptr, nullptr},
    {IDC_STATIC, "grpSend", K::GroupBox, "发送设置", 7, 249, 119, 75, 0, nullptr, nullptr},
    {IDC_STATIC, "lblPort", K::Label, "串口号", 13, 34, 25, 8, 0, nullptr, nullptr},
    {IDC_STATIC, "lblBaud", K::Label, "波特率", 13, 51, 25, 8, 0, nullptr, nullptr},
    {IDC_STATIC, "lblParity", K::Label, "校验位", 13, 70, 25, 8, 0, nullptr, nullptr},
    {IDC_STATIC, "lblDataBits", K::Label, "数据位", 13, 87, 25, 8, 0, nullptr, nullptr},
    {IDC_STATIC, "lblStopBits", K::Label, "停止位", 13, 102, 25, 8, 0, nullptr, nullptr},
    {IDC_COMBO_PORT, "IDC_COMBO_PORT", K::DropDownList, "", 46, 31, 71, 34, 0, nullptr, "串口号"},
    {IDC_COMBO_BAUD, "IDC_COMBO_BAUD", K::DropDownList, "", 46, 49, 71, 62, 0, nullptr, "波特率"},
    {IDC_COMBO_PARITY, "IDC_COMBO_PARITY", K::DropDownList, "", 46, 67, 71, 33, 0, nullptr, "校验位"},
    {IDC_COMBO_DATABITS, "IDC_COMBO_DATABITS", K::DropDownList, "", 46, 84, 71, 30, 0, nullptr, "数据位"},
    {IDC_COMBO_STOPBITS, "IDC_COMBO_STOPBITS", K::DropDownList, "", 46, 101, 71, 30, 0, nullptr, "停止位"},
    {IDC_BTN_OPEN, "IDC_BTN_OPEN", K::PushButton, "开   启", 40, 118, 79, 17, 0, nullptr, nullptr},
    {IDC_CHK_SAVE, "IDC_CHK_SAVE", K::CheckBox, "保存数据", 14, 191, 46, 10, 0, nullptr, nullptr},
    {IDC_CHK_WRAP, "IDC_CHK_WRAP", K::CheckBox, "自动换行显示", 14, 204, 61, 10, 0, nullptr, nullptr},
    {IDC_CHK_HEXSHOW, "IDC_CHK_HEXSHOW", K::CheckBox, "十六进制显示", 14, 166, 61, 10, 0, nullptr, nullptr},
    {IDC_CHK_PAUSE, "IDC_CHK_PAUSE", K::CheckBox, "暂停接收显示", 14, 217, 61, 10, 0, nullptr, nullptr},
    {IDC_BTN_CLEAR_RX, "IDC_BTN_CLEAR_RX", K::PushButton, "清除接收区", 14, 228, 102, 14, 0, nullptr, nullptr},
    {IDC_CHK_HEXSEND, "IDC_CHK_HEXSEND", K::CheckBox, "十六进制发送", 15, 260, 61, 10, 0, nullptr, nullptr},
    {IDC_CHK_CYCLE, "IDC_CHK_CYCLE", K::CheckBox, "循环发送", 15, 272, 46, 10, 0, nullptr, nullptr},
    {IDC_EDIT_INTERVAL, "IDC_EDIT_INTERVAL", K::Edit, "", 50, 283, 51, 14, 0, "发送间隔", nullptr},
    {IDC_STATIC, "lblInterval", K::Label, "发送间隔", 15, 287, 31, 8, 0, nullptr, nullptr},
    {IDC_STATIC, "lblMs", K::Label, "ms", 106, 286, 9, 8, 0, nullptr, nullptr},
    {IDC_BTN_CLEAR_TX, "IDC_BTN_CLEAR_TX", K::PushButton, "清除发送区", 15, 302, 100, 17, 0, nullptr, nullptr},
    {IDC_BTN_SEND, "IDC_BTN_SEND", K::PushButton, "发 送", 347, 252, 25, 71, kDisabled, nullptr, nullptr},
    {IDC_GRP_RX, "IDC_GRP_RX", K::GroupBox, "接收区", 129, 1, 240, 245, 0, nullptr, nullptr},
    {IDC_GRP_TX, "IDC_GRP_TX", K::GroupBox, "发送区", 129, 249, 213, 75, 0, nullptr, nullptr},
    {IDC_CHK_TIMESTAMP, "IDC_CHK_TIMESTAMP", K::CheckBox, "加入时间戳", 14, 152, 53, 10, 0, nullptr, nullptr},
    {IDC_LAMP, "IDC_LAMP", K::Bitmap, "", 15, 116, 20, 20, 0, "串口状态", nullptr},
    {IDC_EDIT_TX, "IDC_EDIT_TX", K::MultiLineEdit, "", 134, 260, 198, 59, 0, "发送区", nullptr},
    {IDC_LBL_RX, "IDC_LBL_RX", K::Label, "RX:", 159, 338, 13, 8, 0, nullptr, nullptr},
    {IDC_BTN_RESET, "IDC_BTN_RESET", K::PushButton, "复位", 301, 334, 30, 29, 0, nullptr, nullptr},
    {IDC_EDIT_RX, "IDC_EDIT_RX", K::ReceiveArea, "", 135, 16, 227, 224, 0, "接收区", nullptr},
    {IDC_EDIT_TRIGGER, "IDC_EDIT_TRIGGER", K::Edit, "", 96, 177, 27, 14, kDisabled, "触发字符", nullptr},
    {IDC_TXT_TXCOUNT, "IDC_TXT_TXCOUNT", K::Counter, "静态", 185, 353, 75, 8, 0, nullptr, "TX:"},
    {IDC_LBL_TX, "IDC_LBL_TX", K::Label, "TX:", 158, 354, 13, 8, 0, nullptr, nullptr},
    {IDC_TXT_RXCOUNT, "IDC_TXT_RXCOUNT", K::Counter, "静态", 185, 339, 74, 8, 0, nullptr, "RX:"},
    {IDC_CHK_CHAR_TS, "IDC_CHK_CHAR_TS", K::CheckBox, "根据字符插入时间戳", 14, 179, 79, 10, kDisabled, nullptr, nullptr},
    {IDC_LOGO, "IDC_LOGO", K::Picture, "", 7, 1, 118, 21, 0, "Corvala", nullptr},
    {IDC_BTN_TOHEX, "IDC_BTN_TOHEX", K::PushButton, "To 16进制", 59, 349, 47, 14, 0, nullptr, nullptr},
    {IDC_BTN_TOSTR, "IDC_BTN_TOSTR", K::PushButton, "To 字符串", 11, 349, 45, 14, 0, nullptr, nullptr},
    {IDC_CHK_CONV_TX, "IDC_CHK_CONV_TX", K::CheckBox, "发送区", 15, 335, 38, 10, 0, nullptr, nullptr},
    {IDC_CHK_CONV_RX, "IDC_CHK_CONV_RX", K::CheckBox, "接收区", 64, 335, 38, 10, 0, nullptr, nullptr},
    {IDC_STATIC, "grpConvert", K::GroupBox, "进制转换", 7, 325, 118, 42, 0, nullptr, nullptr},
    {IDC_BTN_HELP, "IDC_BTN_HELP", K::PushButton, "帮 助", 346, 334, 25, 29, 0, nullptr, nullptr},
    {IDC_GRP_STATS, "IDC_GRP_STATS", K::GroupBox, "统计区", 129, 325, 212, 42, 0, nullptr, nullptr},
};

constexpr ControlTemplate kHelpControls[] = {
    {IDC_EDIT_HELP, "IDC_EDIT_HELP", K::MultiLineEdit, "", 7, 7, 251, 193, 0, "帮助", nullptr},
};

constexpr ControlTemplate kAboutControls[] = {
    {IDC_STATIC, "aboutIcon", K::Bitmap, "", 11, 17, 21, 21, 0, "Corvala", nullptr},
    {IDC_STATIC, "aboutName", K::Label, "Corvala", 40, 10, 119, 8, 0, nullptr, nullptr},
    {IDC_STATIC, "aboutNotice", K::Label, "© 2026 Corvala 开发者  免费软件", 40, 25, 119, 8, 0, nullptr, nullptr},
    {IDOK, "IDOK", K::PushButton, "确定", 178, 7, 50, 16, 0, nullptr, nullptr},
    {IDC_STATIC, "aboutContact", K::Label, "问题反馈请访问项目主页", 40, 40, 85, 8, 0, nullptr, nullptr},
};
// clang-format on

}  // namespace

const DialogTemplate kMainDialogTemplate{"Corvalav1.0.5 简体中文绿色单文件免费版", 379, 374,
                                         kMainControls};

const DialogTemplate kHelpDialogTemplate{"帮助   作者：Corvala 开发者  反馈：项目主页", 265, 207,
                                         kHelpControls};

const DialogTemplate kAboutDialogTemplate{"关于 Corvala", 235, 55, kAboutControls};
