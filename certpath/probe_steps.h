#pragma once

#include <cstdint>

// The words of the probe's failure line, one definition for both platforms: each step's name as
// the report shows it, and the Windows error numbers the probe gives on every platform where the
// system gives none (the Windows files check them against the system's own names).
namespace veskcheck::steps {

inline constexpr char16_t peerAddress[] = u"对端地址";
inline constexpr char16_t createConnection[] = u"创建连接";
inline constexpr char16_t connect[] = u"连接";
inline constexpr char16_t connectToPeer[] = u"连接对端";
inline constexpr char16_t waitForNetwork[] = u"等待网络";
inline constexpr char16_t initialiseTls[] = u"初始化 TLS 1.2";
inline constexpr char16_t sendHandshake[] = u"发送握手数据";
inline constexpr char16_t receiveHandshake[] = u"接收握手数据";
inline constexpr char16_t readServerHandshake[] = u"读取服务器握手";
inline constexpr char16_t readPeerCertificate[] = u"读取对端证书";
inline constexpr char16_t handshakeTooLarge[] = u"握手数据超限";
inline constexpr char16_t handshakeTimedOut[] = u"握手超时";
inline constexpr char16_t cancelled[] = u"已取消";
inline constexpr char16_t buildChain[] = u"Windows 构建证书路径";
inline constexpr char16_t chainPolicy[] = u"Windows 证书策略";

}  // namespace veskcheck::steps

namespace veskcheck::codes {

inline constexpr std::uint32_t cancelled = 1223;      // ERROR_CANCELLED
inline constexpr std::uint32_t timedOut = 258;        // WAIT_TIMEOUT
inline constexpr std::uint32_t bufferOverflow = 111;  // ERROR_BUFFER_OVERFLOW: the input limit
inline constexpr std::uint32_t serverClosed = 38;     // ERROR_HANDLE_EOF

}  // namespace veskcheck::codes
