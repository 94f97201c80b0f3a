#include "app/network_port_text.h"

#include <cerrno>

QString NetworkPortDescription(const NetworkAddress& address) {
    const std::string path = NetworkPath(address);
    const QString where = QString::fromStdString(path.substr(path.find("://") + 3));
    return (address.kind == NetworkKind::RawTcp ? QStringLiteral("网络端口（TCP）：%1")
                                                : QStringLiteral("网络串口（RFC 2217）：%1"))
        .arg(where);
}

QString NetworkOpenFailure(const CFileException& e) {
    const std::optional<NetworkAddress> address = ParseNetworkAddress(e.m_strFileName);
    const QString host = address ? QString::fromStdString(address->host) : QString();
    QString reason;
    switch (e.m_step) {
        case OpenStep::Lookup:
            reason = e.m_nErrno == ETIMEDOUT
                         ? QStringLiteral("无法解析主机名 %1：5 秒内没有得到名称服务器的回答。")
                               .arg(host)
                         : QStringLiteral(
                               "无法解析主机名 %1。请检查名称是否拼写正确，以及网络和 DNS 设置。")
                               .arg(host);
            break;
        case OpenStep::Connect:
            switch (e.m_nErrno) {
                case ECONNREFUSED:
                    reason = QStringLiteral("服务器拒绝连接：该端口上没有服务。");
                    break;
                case ENETUNREACH:
                case EHOSTUNREACH:
                case EHOSTDOWN:
                    reason = QStringLiteral("无法到达服务器：网络不通，或主机不在线。");
                    break;
                case ETIMEDOUT:
                    reason = QStringLiteral("连接服务器超时：5 秒内没有应答。");
                    break;
                default:
                    reason = QStringLiteral("无法连接到服务器。");
                    break;
            }
            break;
        case OpenStep::Negotiate:
            switch (e.m_nErrno) {
                case EPROTONOSUPPORT:
                    reason = QStringLiteral(
                        "该服务器不是 RFC 2217 "
                        "串口服务器，它拒绝了串口控制选项（COM-PORT-OPTION）。"
                        "如果它只转发数据，请改用 tcp:// 地址打开。");
                    break;
                case ETIMEDOUT:
                    reason = QStringLiteral("服务器在 5 秒内没有完成 RFC 2217 协商。");
                    break;
                default:
                    reason = QStringLiteral("服务器在协商过程中断开了连接。");
                    break;
            }
            break;
        case OpenStep::Device:
            reason = QStringLiteral("无法打开该网络端口。");
            break;
    }
    return reason + QStringLiteral("\n（系统：%1）").arg(QString::fromStdString(e.m_strSystem));
}
