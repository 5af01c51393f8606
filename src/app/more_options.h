#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "app/control_model.h"
#include "encoding/text_format.h"
#include "job/merge_params.h"
#include "job/split_params.h"

namespace qs {

class App;

// Names of the 更多选项 window and its controls (UTF-8; pass them through U()).
namespace more_names {
inline constexpr std::string_view Form = "更多选项";
inline constexpr std::string_view OutputEncoding = "组合框输出编码";
inline constexpr std::string_view Zh = "组合框繁简";
inline constexpr std::string_view SourceEncoding = "组合框源文件编码";
inline constexpr std::string_view OutputFolder = "编辑框输出文件夹";
inline constexpr std::string_view ChooseOutputFolder = "按钮选择输出文件夹";
inline constexpr std::string_view Manifest = "选择框生成校验清单";
inline constexpr std::string_view Verify = "按钮校验还原";
inline constexpr std::string_view Chapters = "选择框按章节标题分割";
inline constexpr std::string_view ChapterRule = "编辑框标题规则";
inline constexpr std::string_view RuleFile = "编辑框规则列表";
inline constexpr std::string_view ChooseRuleFile = "按钮选择规则列表";
inline constexpr std::string_view PerPiece = "编辑框每份章节数";
inline constexpr std::string_view PerVolume = "选择框每卷一份";
inline constexpr std::string_view Epub = "选择框生成EPUB电子书";
inline constexpr std::string_view Preview = "按钮预览";
inline constexpr std::string_view Close = "按钮关闭";
}  // namespace more_names

// The options the command line has beyond the main window's panels, as a form of their own
// with its controls at their places and their default states, nothing wired.
std::unique_ptr<Form> BuildMoreOptions();

// What the command line would be told by the form: --to and --zh, --manifest, --chapters and
// its options. rules reads a rule-list file (empty: none, or it cannot be read).
using RuleReader = std::function<std::vector<ChapterRuleParams>(const Text& path)>;
void ApplyMoreOptions(const Form& more, SplitParams& params, const RuleReader& rules = {});
void ApplyMoreOptions(const Form& more, MergeParams& params);
// --from: Undetected detects.
TextEncoding SourceEncodingOf(const Form& more);
// --output-dir: empty writes beside the sources.
Text OutputFolderOf(const Form& more);
bool SplitsAtChapters(const Form& more);

// What differs from the defaults, for the status line ("更多选项：输出 UTF-8，按章节标题分割");
// empty when nothing does.
Text MoreOptionsNote(const Form& more);

// The window's handlers: the choosers, the chapter options' enabling, preview, verify, close.
void WireMoreOptions(App& app);
// Opens the 更多选项 window of the app modally; its state stays in the app's form.
void ShowMoreOptions(App& app);

}  // namespace qs
