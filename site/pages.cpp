#include "pages.h"

#include <iconv.h>

namespace pages {

const char* const home = R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>Miravon软件工作室</title></head>
<body><h1>Miravon软件工作室</h1>
<p>欢迎访问 Miravon 软件工作室。我们的 <b>MiravonVPN网络连接器</b> 帮助您提高转网速度,突破网络限制。</p>
<ul><li><a href="/msg.htm">最新公告</a></li><li><a href="/dh.htm">Miravon上网导航</a></li>
<li><a href="/bbs/">软件讨论社区</a></li><li><a href="/writebook.asp">意见建议留言板</a></li></ul>
</body></html>
)";

const char* const bulletin = R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>信息公告</title></head>
<body>
<h3 align="center">MiravonVPN 信息公告</h3>
<table width="100%" border="1" cellspacing="0" cellpadding="4">
<tr><td><b>2026-12-01</b></td><td>新增香港高速节点,欢迎大家测试使用。</td></tr>
<tr><td><b>2026-11-20</b></td><td>网通二区、教育网、移动专线的密码每小时自动更换,连接时程序会自动获取,无需手动输入。</td></tr>
<tr><td><b>2026-11-02</b></td><td>免费线路每次连接最长28分钟(教育网和移动专线18分钟),断开后5分钟可重新连接。</td></tr>
<tr><td><b>2026-10-15</b></td><td>MiravonVPN网络连接器 2.1 版发布,修正了部分系统下无法建立连接的问题。</td></tr>
</table>
<p>遇到问题请到 <a href="/bbs/">软件讨论社区</a> 发帖,或在 <a href="/writebook.asp">意见建议留言板</a> 留言。</p>
</body></html>
)";

const char* const navigation = R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>Miravon上网导航</title></head>
<body><h2>Miravon上网导航</h2>
<p>新闻 · 邮箱 · 音乐 · 视频 · 游戏 · 软件下载 · 网上购物 · 地图 · 天气</p>
</body></html>
)";

const char* const forum = R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>软件讨论社区</title></head>
<body><h2>软件讨论社区</h2>
<ul><li>【置顶】新手必读:如何使用MiravonVPN网络连接器</li>
<li>连接失败,提示"连接失败,请稍候重试."怎么办?</li>
<li>香港高速节点速度测试报告</li></ul>
</body></html>
)";

const char* const guestbook = R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>意见建议留言板</title></head>
<body><h2>意见建议留言板</h2>
<p>欢迎留下您的意见和建议,我们会尽快回复。</p>
<form method="post"><textarea name="content" rows="6" cols="40"></textarea><br>
<input type="submit" value="提交留言"></form>
</body></html>
)";

std::string serverList(const std::string& siteAddress) {
    // A marker server's password field holds the address of its password page.
    const auto markerServer = [&](const char* name, const char* address, const char* marker) {
        return std::string(name) + ":" + address + ";" + marker + "#" + siteAddress + "/vpn/pass/" +
               marker + ".asp\r\n";
    };
    return "电信一区 上海:203.0.113.10;miravon#mv2026\r\n" +
           markerServer("网通二区 北京", "203.0.113.20", "cvpn") +
           markerServer("教育网 武汉", "203.0.113.30", "uvpn") +
           markerServer("移动专线 广州", "203.0.113.40", "avpn") +
           "香港高速节点:198.51.100.8;miravon#mv2026\r\n";
}

std::string hourlyPassword(const std::string& marker, std::time_t now) {
    static const char alphabet[] = "abcdefghjkmnpqrstuvwxyz23456789";
    unsigned long seed = static_cast<unsigned long>(now / 3600);
    for (const char c : marker)
        seed = seed * 131 + static_cast<unsigned char>(c);
    std::string password;
    for (int i = 0; i < 4; ++i) {
        seed = seed * 6364136223846793005UL + 1442695040888963407UL;
        password += alphabet[(seed >> 33) % (sizeof alphabet - 1)];
    }
    return password;
}

std::string passwordPage(const std::string& marker, const std::string& password) {
    // Exactly 84 characters between the marker and the password.
    const std::string notice = "<br>Password of this hour, it changes every hour:";
    const std::string opening = "<b>";
    const std::string filler =
        notice + std::string(84 - notice.size() - opening.size(), ' ') + opening;
    return "<html><head><title>account</title></head><body>" + marker + filler + password +
           "</b></body></html>";
}

std::string lookupPage(const std::string& callerAddress) {
    return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
           "<title>IP地址查询</title></head><body><center>您的IP是:[" +
           callerAddress + "] 来自:本机地址</center></body></html>";
}

std::string toGbk(const std::string& utf8) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* to = out.data();
    size_t outLeft = out.size();
    const size_t done = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1)) return utf8;
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace pages
