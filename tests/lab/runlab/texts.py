"""The report's fixed texts, and every advice a headless run in the lab can reach, as this suite
expects them: typed here on their own rather than taken from the program, so that a change to the
program's texts shows up as a failing case."""
import re

HEADER = "Vesk 更新连接检测工具 1.0.3（基于更新器 1.1.5）"
STAMP = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d"
SCOPE = ("范围：GET 清单及签名；直连；证书和主机名校验开启；验证清单签名及格式。",
         "未覆盖：系统代理、WinHTTP 路径、全部 CDN 节点、游戏文件下载/磁盘/权限/安装、自更新通道。",
         "环境：不判定杀毒软件或网络设备是否正在拦截 HTTPS；不判定系统损坏。",
         "时间：仅记录本机时间；未与独立可信时间源比对，不能据此认定时钟正确或错误。")
SYSTEM = {"native": re.escape("系统：Windows（版本检测失败，不执行系统修改）"),
          "windows": r"系统：(Windows (7|8|8\.1|10|11)|Windows（未验证版本）)( SP\d+)? / "
                     r"(x64|x86|其他架构（尚未验收）) / 构建 \d+"}
# Under Wine the Windows program says so, with the version Wine reports; natively there is no line.
COMPATIBILITY = {"native": [], "windows": [re.compile(r"兼容层：Wine [0-9][0-9A-Za-z.\-]*")]}
# The libcurl the build links, with the TLS back end of its platform.
COMPONENTS = {"native": r"下载组件：{version} / OpenSSL/\S+", "windows": r"下载组件：{version} / Schannel"}
CERTIFICATE_HEADING = ("证书路径自动检查：按实际连接 IP 去重，再用相同主机名独立发起 TLS 1.2 握手。"
                       "同一 IP 的两次连接也可能收到不同证书。各层状态来自本机 Windows，原请求结果见上。")
NO_ADDRESS = "未取得可检查的连接地址。"
FOOTER = ("本工具不修改系统代理、证书、注册表或安全软件，不上传诊断报告。",
          "报告不包含用户名、电脑名、游戏账号或本机文件路径。")
NO_CERTIFICATE_WORD = "未提供可识别的详细标志"
VERIFIED = "清单签名和格式通过"
REJECTED = "清单签名或格式未通过"
MANIFEST_TARGET, SIGNATURE_TARGET = "清单", "清单签名"

CLOSING = "\r\n\r\n需要进一步协助时，请点击“保存检测报告”，在官网提交保存的检测报告。"
IPV4_LABEL = "直连：IPv4 优先，失败自动切换"
SYSTEM_LABEL = "直连：系统自动选择 IPv4/IPv6"


def one_mode_worked(label):
    return ("有一种连接方式成功，另一种失败。\r\n\r\n请重新打开更新器，在连接方式中尝试“" + label
            + "”，再点重试。\r\n如果仍然失败，请在官网提交检测报告；暂时不需要重装系统。" + CLOSING)


# Every advice text a headless run in the lab can reach, in either build.
ADVICE = {
    "all ok": "本次检测已成功连接更新服务器。\r\n\r\n请关闭更新器后重新打开，再试一次。\r\n"
              "如果更新器仍然失败，请在官网提交本报告和更新器的诊断编号。\r\n"
              "本次已检查安全连接、清单和签名，不代表游戏文件已下载或更新完成。" + CLOSING,
    "IPv4 worked": one_mode_worked(IPV4_LABEL),
    "system-chosen worked": one_mode_worked(SYSTEM_LABEL),
    "no connection": "检测发现：暂时无法连接更新服务器。\r\n\r\n1. 打开浏览器，确认其他网页能正常访问。\r\n"
                     "2. 如果网页也打不开，请先恢复网络连接。\r\n"
                     "3. 如果其他网页正常，稍后重试一次；仍失败请在官网提交检测报告。\r\n"
                     "已经试过手机热点的，不需要重复更换网络。" + CLOSING,
    "not found": "检测发现：服务器上的更新文件不存在。\r\n\r\n"
                 "请在官网提交检测报告，等待更新文件恢复。无需修复电脑或重装系统。" + CLOSING,
    "refused": "检测发现：更新地址拒绝了访问。\r\n\r\n"
               "请在官网提交检测报告，以便核对访问限制；无需自行安装证书。" + CLOSING,
    "unavailable": "检测发现：服务器暂时不可用或请求受到限制。\r\n\r\n"
                   "请稍后再试，不要连续点击重试。如果仍然失败，请在官网提交检测报告。" + CLOSING,
    "redirect": "检测发现：更新地址要求跳转到其他位置。\r\n\r\n"
                "为避免访问错误的下载地址，本工具没有继续跳转。请在官网提交检测报告，无需修改电脑设置。"
                + CLOSING,
    "other status": "安全连接已通过，但服务器没有返回正常的更新响应。\r\n\r\n"
                    "请在官网提交检测报告，以便检查更新地址。无需安装证书或修复系统。" + CLOSING,
    "incomplete": "检测发现：更新文件传输没有完成。\r\n\r\n"
                  "请稍后重新检测一次。仍然失败时，请在官网提交检测报告；已经换过网络的，不用反复尝试。"
                  + CLOSING,
    "manifest": "检测发现：更新清单或签名未通过检查。\r\n\r\n"
                "请暂停更新，在官网提交检测报告，等待更新文件核查。不要使用来源不明的替代文件。" + CLOSING,
    "unknown cause": "本次检测未通过，现有信息还不能确定具体原因。\r\n\r\n"
                     "请在官网提交检测报告，以便继续检查。暂时不用重装系统、安装修复软件或继续关闭杀毒软件。"
                     + CLOSING,
}

# The support desk reader's name of every advice of ADVICE.
READER_NAMES = {
    "all ok": "all-ok",
    "IPv4 worked": "one-mode-worked (ipv4)",
    "system-chosen worked": "one-mode-worked (system-chosen)",
    "no connection": "unreachable",
    "not found": "http-missing",
    "refused": "http-refused",
    "unavailable": "http-unavailable",
    "redirect": "http-redirect",
    "other status": "http-other",
    "incomplete": "transfer-incomplete",
    "manifest": "manifest-rejected",
    "unknown cause": "no-specific-cause",
}
