#pragma once

// The report's fixed words: what the report writer puts around the values and what the reader
// of submitted reports recognises them by. One definition, so the two cannot drift apart.
#include <string_view>

namespace veskcheck::reportWords {

inline constexpr std::u16string_view lineBreak = u"\r\n";

inline constexpr std::u16string_view headerStart = u"Vesk 更新连接检测工具 ";
inline constexpr std::u16string_view headerUpdater = u"（基于更新器 ";
inline constexpr std::u16string_view headerEnd = u"）";
inline constexpr std::u16string_view updaterVersion = u"1.1.5";

inline constexpr std::u16string_view startTime = u"检测开始：";
inline constexpr std::u16string_view utcSuffix = u" UTC";
inline constexpr std::u16string_view computerTime = u"电脑显示时间：";
inline constexpr std::u16string_view localSuffix = u"（电脑本地时间）";
inline constexpr std::u16string_view system = u"系统：";
// The system line's parts: "Windows 10 / x64 / 构建 19045".
inline constexpr std::u16string_view systemSeparator = u" / ";
inline constexpr std::u16string_view buildWord = u"构建 ";
// Only under Wine, right after the system line.
inline constexpr std::u16string_view compatibility = u"兼容层：";
inline constexpr std::u16string_view wine = u"Wine ";

inline constexpr std::u16string_view target = u"目标：https://";
inline constexpr std::u16string_view targetEnd = u"/manifest.json";
inline constexpr std::u16string_view scopeLines[] = {
    u"范围：GET 清单及签名；直连；证书和主机名校验开启；验证清单签名及格式。",
    u"未覆盖：系统代理、WinHTTP 路径、全部 CDN 节点、游戏文件下载/磁盘/权限/安装、自更新通道。",
    u"环境：不判定杀毒软件或网络设备是否正在拦截 HTTPS；不判定系统损坏。",
    u"时间：仅记录本机时间；未与独立可信时间源比对，不能据此认定时钟正确或错误。",
};

inline constexpr std::u16string_view component = u"下载组件：";
inline constexpr std::u16string_view componentSeparator = u" / ";
inline constexpr std::u16string_view internalError = u"检测工具内部错误；结果可能不完整。";
inline constexpr std::u16string_view adviceHeading = u"给玩家的建议：";
inline constexpr std::u16string_view diagnosticsHeading = u"详细诊断记录：";

// The diagnostic line: mode word, then these labels before each value, in this order.
inline constexpr std::u16string_view ipv4Diagnostic = u"IPv4 直连";
inline constexpr std::u16string_view systemChosenDiagnostic = u"自动选择地址直连";
inline constexpr std::u16string_view targetLabel = u"；对象=";
inline constexpr std::u16string_view curlLabel = u"；curl=";
inline constexpr std::u16string_view httpLabel = u"；HTTP=";
inline constexpr std::u16string_view elapsedLabel = u"；耗时=";
inline constexpr std::u16string_view phasesLabel = u"ms；DNS/TCP/TLS累计毫秒=";
inline constexpr std::u16string_view phaseSeparator = u"/";
inline constexpr std::u16string_view peerLabel = u"（0表示未记录）；对端=";
inline constexpr std::u16string_view certificateLabel = u"；证书分类=";
inline constexpr std::u16string_view noCertificateWord = u"未提供可识别的详细标志";

inline constexpr std::u16string_view certificateHeading =
    u"证书路径自动检查：按实际连接 IP 去重，再用相同主机名独立发起 TLS 1.2 握手。"
    u"同一 IP 的两次连接也可能收到不同证书。各层状态来自本机 Windows，原请求结果见上。";
inline constexpr std::u16string_view addressHeading = u"对端 ";
inline constexpr std::u16string_view addressHostSeparator = u" / ";
inline constexpr std::u16string_view certificateCheckCancelled = u"证书路径检查已取消。";
inline constexpr std::u16string_view noAddress = u"未取得可检查的连接地址。";

// The final classification line: mode word, label, category number, separator, detail.
inline constexpr std::u16string_view ipv4Classification = u"IPv4";
inline constexpr std::u16string_view systemChosenClassification = u"自动地址";
inline constexpr std::u16string_view classificationLabel = u"最终分类=";
inline constexpr std::u16string_view detailSeparator = u"；";

inline constexpr std::u16string_view footerLines[] = {
    u"本工具不修改系统代理、证书、注册表或安全软件，不上传诊断报告。",
    u"报告不包含用户名、电脑名、游戏账号或本机文件路径。",
};

}  // namespace veskcheck::reportWords
