#pragma once

// The window's texts as the driver expects to find them, written down here on their own so that
// a wrong character in the program shows as a difference.
namespace vesktest::expected {

inline constexpr char16_t className[] = u"VeskNetworkCheckWindow";
inline constexpr char16_t title[] = u"Vesk 更新连接检测工具";
inline constexpr char16_t note[] = u"请在官网提交检测报告；本工具不会自动上传。";
inline constexpr char16_t retryButton[] = u"重新检测";
inline constexpr char16_t saveButton[] = u"保存检测报告";
inline constexpr char16_t copyButton[] = u"复制报告";
inline constexpr char16_t timeButton[] = u"打开日期和时间";

inline constexpr char16_t runningStatus[] = u"正在检测，请稍候……";
inline constexpr char16_t runningText[] =
    u"正在检查更新清单、签名和 Windows 证书路径，请稍候。\r\n\r\n检测完成后，这里会直接显示您需要做的操作。\r\n\r\n"
    u"检测过程中不会安装软件或修改电脑设置。";
inline constexpr char16_t finishedStatus[] = u"检测结束，请按下面的建议操作";
inline constexpr char16_t closingStatus[] = u"正在结束检测，请稍候……";
inline constexpr char16_t runFailedAdvice[] = u"检测未能完成，请关闭工具后重试。";

inline constexpr char16_t saveDialogTitle[] = u"保存检测报告后，请在官网提交这个检测报告";
inline constexpr char16_t saveFailed[] = u"未能保存。请换一个文件名或保存位置后重试，也可以点击“复制报告”。";
inline constexpr char16_t saveFailedCaption[] = u"保存检测报告";
inline constexpr char16_t savedPrefix[] = u"报告已保存，请在官网提交以下检测报告：\r\n\r\n";
inline constexpr char16_t savedCaption[] = u"报告已保存";
inline constexpr char16_t copied[] = u"报告已复制，可以在官网粘贴提交检测报告。";
inline constexpr char16_t copyFailed[] = u"复制失败，请使用“保存检测报告”。";
inline constexpr char16_t copyCaption[] = u"复制报告";
inline constexpr char16_t timeSettingsManual[] = u"请右键点击电脑右下角的时间，选择“调整日期/时间”。";
inline constexpr char16_t timeSettingsCaption[] = u"打开时间设置";

}  // namespace vesktest::expected
