#include "app/port_failure_text.h"

#include <cerrno>
#include <cstring>

#include "serial/open_port.h"

namespace {

QString SystemWords(int err) {
    return QStringLiteral("（系统：%1）").arg(QString::fromLocal8Bit(std::strerror(err)));
}

}  // namespace

QString OpenFailureReason(int err) {
    QString reason;
    switch (err) {
        case EACCES:
        case EPERM:
            reason = QStringLiteral(
                "没有访问该串口的权限。请把当前用户加入 dialout 组"
                "（sudo usermod -aG dialout $USER），然后重新登录。");
            break;
        case EBUSY:
            reason = QStringLiteral("该串口正被其他程序占用。");
            break;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            reason = QStringLiteral("该串口不存在，或设备已被拔出。");
            break;
        case ENOTTY:
        case EINVAL:
            reason = QStringLiteral("这不是串口设备。");
            break;
        case EIO:
            reason = QStringLiteral("设备没有响应（输入/输出错误），请检查连接。");
            break;
        case EISDIR:
            reason = QStringLiteral("这是一个目录，不是串口设备。");
            break;
        default:
            reason = QStringLiteral("无法打开该串口。");
            break;
    }
    return reason + u'\n' + SystemWords(err);
}

QString PortGoneReason(const std::string& path, int error) {
    // A local port's hang-up carries no cause worth telling: the device or its cable went.
    if (!IsNetworkPortPath(path)) return QStringLiteral("设备已被移除或断开。");
    if (error == 0) return QStringLiteral("服务器关闭了连接。");
    return QStringLiteral("网络错误，连接已中断。\n") + SystemWords(error);
}
