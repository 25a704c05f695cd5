#pragma once

// The fixed words of the certificate path block and of the probe's failure line: what the probe
// writes around its values and what the reader of submitted reports recognises them by.
#include <string_view>

namespace veskcheck::chainWords {

inline constexpr std::u16string_view blockHeading =
    u"Windows 证书路径（独立 TLS 握手，使用本机现有信任和缓存；未单独查询吊销状态）";
inline constexpr std::u16string_view overallStatus = u"路径总体状态=";
inline constexpr std::u16string_view policyVerdict = u"；主机名和服务器证书策略=";
inline constexpr std::u16string_view path = u"路径 ";
inline constexpr std::u16string_view pathStatus = u"：";
inline constexpr std::u16string_view layer = u"  第";
inline constexpr std::u16string_view layerSubject = u"层 ";
inline constexpr std::u16string_view issuer = u"；颁发者=";
inline constexpr std::u16string_view status = u"；状态=";
inline constexpr std::u16string_view fingerprint = u"；SHA-256=";
inline constexpr std::u16string_view moreLayers = u"  其余层已省略";
inline constexpr std::u16string_view statusOk = u"正常";
inline constexpr std::u16string_view untrustedRoot = u" 根证书不受信任";  // after the status code

inline constexpr std::u16string_view failure = u"证书路径未取得：";
inline constexpr std::u16string_view failureCode = u"（";
inline constexpr std::u16string_view failureEnd = u"）。";
inline constexpr std::u16string_view analysisFailed = u"本机分析失败";
inline constexpr std::u16string_view failureEndWithoutCode = u"。";

}  // namespace veskcheck::chainWords
