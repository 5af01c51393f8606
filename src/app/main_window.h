#pragma once

#include <memory>
#include <string_view>

#include "app/control_model.h"

namespace qs {

// Names of the main window and its controls (UTF-8; pass them through U()).
namespace names {
inline constexpr std::string_view MainForm = "主界面";
inline constexpr std::string_view Header = "图片框1";
inline constexpr std::string_view LogoTimer = "时钟官网";
inline constexpr std::string_view HeaderRule = "标签10";
inline constexpr std::string_view Logo = "图片Qirn软件";
inline constexpr std::string_view SavePicture = "图片保存配置";
inline constexpr std::string_view SaveLink = "链接保存配置";
inline constexpr std::string_view HomePicture = "图片软件主页";
inline constexpr std::string_view HomeLink = "链接软件主页";
inline constexpr std::string_view MoreLink = "链接更多选项";

inline constexpr std::string_view SplitPanel = "分组框分割";
inline constexpr std::string_view ByParts = "单选框按份数";
inline constexpr std::string_view PartCount = "编辑框份数";
inline constexpr std::string_view ByBytes = "单选框按字节";
inline constexpr std::string_view ByteSize = "编辑框字节";
inline constexpr std::string_view ByteUnit = "组合框字节单位";
inline constexpr std::string_view ByLines = "单选框按行数";
inline constexpr std::string_view LineMin = "编辑框行数1";
inline constexpr std::string_view LineDash = "标签1";
inline constexpr std::string_view LineMax = "编辑框行数2";
inline constexpr std::string_view ByChars = "单选框按字符数";
inline constexpr std::string_view CharMin = "编辑框字数1";
inline constexpr std::string_view CharDash = "标签2";
inline constexpr std::string_view CharMax = "编辑框字数2";
inline constexpr std::string_view ByString = "单选框按字符串";
inline constexpr std::string_view SeparatorButton = "按钮输入字符串";
inline constexpr std::string_view SplitButton = "按钮分割文件";
inline constexpr std::string_view SplitPattern = "编辑框文件类型";
inline constexpr std::string_view SplitDelete = "选择框分割后删除文件";
inline constexpr std::string_view SkipBlankLines = "选择框忽略空行";
inline constexpr std::string_view SubfolderSave = "选择框子目录保存";
inline constexpr std::string_view RandomRename = "选择框随机改名";
inline constexpr std::string_view ChapterSplit = "选择框按章节标题分割";
inline constexpr std::string_view EpubBook = "选择框生成EPUB电子书";

inline constexpr std::string_view MergePanel = "分组框合并";
inline constexpr std::string_view UseString = "单选框使用字符串";
inline constexpr std::string_view LineBreakButton = "按钮输入换行";
inline constexpr std::string_view PasteButton = "按钮粘贴";
inline constexpr std::string_view SeparatorText = "编辑框字符串";
inline constexpr std::string_view UseFile = "单选框使用文件";
inline constexpr std::string_view SeparatorPath = "编辑框文件路径";
inline constexpr std::string_view ChooseFileButton = "按钮选择文件";
inline constexpr std::string_view UseNothing = "单选框合并时不使用";
inline constexpr std::string_view MergeButton = "按钮合并文件";
inline constexpr std::string_view MergePattern = "编辑框文件类型1";
inline constexpr std::string_view MergeDelete = "选择框合并后删除文件";
inline constexpr std::string_view IncludeSubfolders = "选择框遍历子目录";
inline constexpr std::string_view ParentSave = "选择框父目录保存";
inline constexpr std::string_view HandleEncoding = "选择框处理文本编码";

inline constexpr std::string_view Progress = "进度条";
inline constexpr std::string_view Status = "透明标签";
}  // namespace names

inline constexpr std::string_view kHomePageUrl = "https://www.qirn.example/";
inline constexpr std::string_view kProductPageUrl = "https://www.qirn.example/info.asp?id=189";
inline constexpr std::string_view kMainTitle = "Qirnsplit v1.0.1.0 - 可拖放文件或文件夹";

// The main window with every control at its initial value, in creation order. Nothing is
// wired yet.
std::unique_ptr<Form> BuildMainWindow();

// Attaches the handlers that live with the window: both enabling rules on their radio
// buttons, the logo animation on the timer, the header links and pictures, and the two
// simple separator buttons of the merge panel.
void WireMainWindow(Form& form);

void ApplySplitModeRules(Form& form);
void ApplySeparatorRules(Form& form);

// Moves the status label into the progress bar, so the status is drawn over the bar.
void EmbedStatusLabel(Form& form);

// One tick of the header animation; movingRight is the window's direction flag.
void AnimateLogo(Form& form, bool& movingRight);

// Opens a URL or document with the desktop's handler; failures are not reported.
void OpenUrl(const Text& url);

}  // namespace qs
