#include "check/report_text.h"

#include <cstdint>

#include "common/ascii_text.h"
#include "common/decimal_text.h"
#include "tool_version.h"

namespace veskcheck {
namespace {

std::u16string signedDecimal(std::int32_t value) {
    if (value >= 0) return decimalText(static_cast<std::uint32_t>(value));
    // Negate in unsigned arithmetic so that the smallest value has a magnitude too.
    return u"-" + decimalText(0u - static_cast<std::uint32_t>(value));
}

// Any mode byte but zero is the IPv4-only mode.
bool isIpv4Only(ConnectionMode mode) { return mode != ConnectionMode::SystemChosen; }

std::u16string_view diagnosticModeWord(ConnectionMode mode) {
    return isIpv4Only(mode) ? u"IPv4 直连" : u"自动选择地址直连";
}

std::u16string_view classificationModeWord(ConnectionMode mode) { return isIpv4Only(mode) ? u"IPv4" : u"自动地址"; }

std::u16string_view certificateWord(const FetchOutcome& fetch) {
    return fetch.detail.empty() ? std::u16string_view(u"未提供可识别的详细标志") : std::u16string_view(fetch.detail);
}

}  // namespace

std::u16string headerLine() {
    return u"Vesk 更新连接检测工具 " + std::u16string(toolVersion) + u"（基于更新器 1.1.5）\r\n";
}

std::u16string timeLines(std::u16string_view utcStamp, std::u16string_view localStamp) {
    return u"检测开始：" + std::u16string(utcStamp) + u"\r\n电脑显示时间：" + std::u16string(localStamp) + u"\r\n";
}

std::u16string systemLine(std::u16string_view systemDescription) {
    return u"系统：" + std::u16string(systemDescription) + u"\r\n";
}

std::u16string scopeBlock(std::u16string_view cdnHost) {
    return u"目标：https://" + std::u16string(cdnHost) +
           u"/manifest.json\r\n"
           u"范围：GET 清单及签名；直连；证书和主机名校验开启；验证清单签名及格式。\r\n"
           u"未覆盖：系统代理、WinHTTP 路径、全部 CDN 节点、游戏文件下载/磁盘/权限/安装、自更新通道。\r\n"
           u"环境：不判定杀毒软件或网络设备是否正在拦截 HTTPS；不判定系统损坏。\r\n"
           u"时间：仅记录本机时间；未与独立可信时间源比对，不能据此认定时钟正确或错误。\r\n";
}

// libcurl's version texts are ASCII; each byte becomes one unit.
std::u16string componentLine(std::string_view libcurlVersion, std::string_view tlsBackend) {
    return u"下载组件：" + widenedAscii(libcurlVersion) + u" / " + widenedAscii(tlsBackend) + u"\r\n";
}

std::u16string internalErrorLine() { return u"检测工具内部错误；结果可能不完整。\r\n"; }

std::u16string adviceSection(std::u16string_view advice) {
    return u"\r\n给玩家的建议：\r\n" + std::u16string(advice) + u"\r\n\r\n详细诊断记录：\r\n";
}

std::u16string diagnosticLine(const FetchOutcome& fetch) {
    return std::u16string(diagnosticModeWord(fetch.mode)) + u"；对象=" + fetch.target + u"；curl=" +
           decimalText(static_cast<std::uint32_t>(fetch.curlCode)) + u"；HTTP=" + signedDecimal(fetch.httpStatus) +
           u"；耗时=" + decimalText(fetch.elapsedMs) + u"ms；DNS/TCP/TLS累计毫秒=" +
           decimalText(static_cast<std::uint64_t>(fetch.dnsMs)) + u"/" +
           decimalText(static_cast<std::uint64_t>(fetch.connectMs)) + u"/" +
           decimalText(static_cast<std::uint64_t>(fetch.tlsMs)) + u"（0表示未记录）；对端=" + fetch.peerIp +
           u"；证书分类=" + std::u16string(certificateWord(fetch)) + u"\r\n";
}

std::u16string certificateHeading() {
    return u"\r\n证书路径自动检查：按实际连接 IP 去重，再用相同主机名独立发起 TLS 1.2 握手。"
           u"同一 IP 的两次连接也可能收到不同证书。各层状态来自本机 Windows，原请求结果见上。\r\n";
}

std::u16string addressHeading(std::u16string_view peerIp, std::u16string_view cdnHost) {
    return u"对端 " + std::u16string(peerIp) + u" / " + std::u16string(cdnHost) + u"\r\n";
}

std::u16string certificateCheckCancelledLine() { return u"证书路径检查已取消。\r\n"; }

std::u16string noAddressLine() { return u"未取得可检查的连接地址。\r\n"; }

std::u16string finalClassificationLine(const FetchOutcome& attempt) {
    return std::u16string(classificationModeWord(attempt.mode)) + u"最终分类=" +
           signedDecimal(static_cast<std::int32_t>(attempt.category)) + u"；" + attempt.detail + u"\r\n";
}

std::u16string footer() {
    return u"\r\n本工具不修改系统代理、证书、注册表或安全软件，不上传诊断报告。\r\n"
           u"报告不包含用户名、电脑名、游戏账号或本机文件路径。\r\n";
}

}  // namespace veskcheck
