#include "split/split_settings.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "app/control_model.h"

namespace qs {

namespace split_controls {
const Text& PartsRadio() {
    static const Text& name = U("单选框按份数");
    return name;
}
const Text& BytesRadio() {
    static const Text& name = U("单选框按字节");
    return name;
}
const Text& LinesRadio() {
    static const Text& name = U("单选框按行数");
    return name;
}
const Text& CharsRadio() {
    static const Text& name = U("单选框按字符数");
    return name;
}
const Text& SeparatorRadio() {
    static const Text& name = U("单选框按字符串");
    return name;
}
const Text& PartCountEdit() {
    static const Text& name = U("编辑框份数");
    return name;
}
const Text& ByteSizeEdit() {
    static const Text& name = U("编辑框字节");
    return name;
}
const Text& ByteUnitCombo() {
    static const Text& name = U("组合框字节单位");
    return name;
}
const Text& LineMinEdit() {
    static const Text& name = U("编辑框行数1");
    return name;
}
const Text& LineMaxEdit() {
    static const Text& name = U("编辑框行数2");
    return name;
}
const Text& CharMinEdit() {
    static const Text& name = U("编辑框字数1");
    return name;
}
const Text& CharMaxEdit() {
    static const Text& name = U("编辑框字数2");
    return name;
}
const Text& SeparatorButton() {
    static const Text& name = U("按钮输入字符串");
    return name;
}
const Text& ChapterCheck() {
    static const Text& name = U("选择框按章节标题分割");
    return name;
}
const Text& EpubBookCheck() {
    static const Text& name = U("选择框生成EPUB电子书");
    return name;
}
const Text& ChapterExpressionEdit() {
    static const Text& name = U("编辑框章节标题");
    return name;
}
const Text& ChaptersPerPieceEdit() {
    static const Text& name = U("编辑框每份章数");
    return name;
}
const Text& IgnoreBlankLinesCheck() {
    static const Text& name = U("选择框忽略空行");
    return name;
}
const Text& RandomRenameCheck() {
    static const Text& name = U("选择框随机改名");
    return name;
}
const Text& SubfolderCheck() {
    static const Text& name = U("选择框子目录保存");
    return name;
}
const Text& DeleteSourceCheck() {
    static const Text& name = U("选择框分割后删除文件");
    return name;
}
const Text& FileTypeEdit() {
    static const Text& name = U("编辑框文件类型");
    return name;
}
const Text& SplitButton() {
    static const Text& name = U("按钮分割文件");
    return name;
}
const Text& ProgressBar() {
    static const Text& name = U("进度条");
    return name;
}
const Text& StatusLabel() {
    static const Text& name = U("透明标签");
    return name;
}
}  // namespace split_controls

namespace {

std::size_t SkipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    return i;
}

}  // namespace

std::int32_t ParseLeadingInt(std::string_view text) {
    std::size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) {
            value = kLimit;
        }
        ++i;
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<std::int32_t>::max()) {
        value = std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(value);
}

float ParseLeadingFloat(std::string_view text) {
    std::size_t i = SkipBlanks(text);
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    bool digits = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        ++i;
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
            digits = true;
        }
    }
    if (!digits) {
        return 0.0f;
    }
    const std::string number(text.substr(start, i - start));
    const float value = std::strtof(number.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0f;
}

SplitMode SplitOptions::Mode() const {
    using namespace split_controls;
    if (CheckedOf(PartsRadio()))
        return SplitMode::SplitByParts;
    if (CheckedOf(BytesRadio()))
        return SplitMode::SplitByBytes;
    if (CheckedOf(LinesRadio()))
        return SplitMode::SplitByLines;
    if (CheckedOf(CharsRadio()))
        return SplitMode::SplitByChars;
    if (CheckedOf(SeparatorRadio()))
        return CheckedOf(ChapterCheck()) ? SplitMode::SplitByChapters : SplitMode::SplitBySeparator;
    return SplitMode::None;
}

std::int32_t SplitOptions::PartCount() const {
    return IntOf(split_controls::PartCountEdit());
}

float SplitOptions::ByteSize() const {
    const Control* c = m_form.Find(split_controls::ByteSizeEdit());
    return c ? ParseLeadingFloat(c->text) : 0.0f;
}

std::int32_t SplitOptions::ByteUnitIndex() const {
    const Control* c = m_form.Find(split_controls::ByteUnitCombo());
    return c ? c->selectedIndex : 0;
}

std::int64_t SplitOptions::PieceByteSize() const {
    std::int32_t unit = ByteUnitIndex();
    // No selection counts as bytes; there are only four units.
    unit = unit < 0 ? 0 : (unit > 3 ? 3 : unit);
    const double size = static_cast<double>(ByteSize()) * std::ldexp(1.0, 10 * unit);
    if (size >= 9.2e18) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (size <= -9.2e18) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(size);
}

std::int32_t SplitOptions::LineMin() const {
    return IntOf(split_controls::LineMinEdit());
}
std::int32_t SplitOptions::LineMax() const {
    return IntOf(split_controls::LineMaxEdit());
}
std::int32_t SplitOptions::CharMin() const {
    return IntOf(split_controls::CharMinEdit());
}
std::int32_t SplitOptions::CharMax() const {
    return IntOf(split_controls::CharMaxEdit());
}

Text SplitOptions::Separator() const {
    const Control* c = m_form.Find(split_controls::SeparatorButton());
    return c ? c->tag : Text();
}

bool SplitOptions::ChapterHeadings() const {
    return CheckedOf(split_controls::ChapterCheck());
}

bool SplitOptions::EpubBook() const {
    return CheckedOf(split_controls::EpubBookCheck());
}

Text SplitOptions::ChapterExpression() const {
    const Control* c = m_form.Find(split_controls::ChapterExpressionEdit());
    return c ? c->text : Text();
}

std::int32_t SplitOptions::ChaptersPerPiece() const {
    const std::int32_t n = IntOf(split_controls::ChaptersPerPieceEdit());
    return n < 1 ? 1 : n;
}

bool SplitOptions::IgnoreBlankLines() const {
    return CheckedOf(split_controls::IgnoreBlankLinesCheck());
}
bool SplitOptions::RandomRename() const {
    return CheckedOf(split_controls::RandomRenameCheck());
}
bool SplitOptions::SubfolderPerSource() const {
    return CheckedOf(split_controls::SubfolderCheck());
}
bool SplitOptions::DeleteSource() const {
    return CheckedOf(split_controls::DeleteSourceCheck());
}

Text SplitOptions::FileTypePattern() const {
    const Control* c = m_form.Find(split_controls::FileTypeEdit());
    return c ? c->text : Text();
}

std::int32_t SplitOptions::IntOf(std::string_view control) const {
    const Control* c = m_form.Find(control);
    return c ? ParseLeadingInt(c->text) : 0;
}

bool SplitOptions::CheckedOf(std::string_view control) const {
    const Control* c = m_form.Find(control);
    return c && c->checked;
}

}  // namespace qs
