#include "job/failure.h"

#include <array>

namespace qs {
namespace {

struct FailureRow {
    FailureKind kind;
    std::string_view name;
    std::string_view label;  // UTF-8
};

constexpr std::array<FailureRow, 13> kFailures = {{
    {FailureKind::Unreadable, "unreadable", "无法读取："},
    {FailureKind::FolderNotCreated, "folder-not-created", "无法创建文件夹："},
    {FailureKind::NotWritten, "not-written", "无法写入："},
    {FailureKind::SourceKept, "source-kept", "未删除原文件："},
    {FailureKind::SourceKeptUnrestorable, "source-kept",
     "未删除原文件（跳过了空行或转换了繁简，分块无法还原原文件）："},
    {FailureKind::NotConverted, "not-converted", "无法转换编码："},
    {FailureKind::Unrecognised, "unrecognised-encoding", "无法识别编码："},
    {FailureKind::Guessed, "encoding-guessed", "编码未能确定："},
    {FailureKind::SizeUnknown, "size-unknown", "大小不明，无法按字节分割："},
    {FailureKind::Missing, "missing", "缺少："},
    {FailureKind::Changed, "changed", "已改动："},
    {FailureKind::Exists, "exists", "已存在，未覆盖："},
    {FailureKind::NotRestorable, "not-restorable", "无法还原原文件："},
}};

const FailureRow& RowOf(FailureKind kind) {
    for (const FailureRow& row : kFailures) {
        if (row.kind == kind) {
            return row;
        }
    }
    return kFailures.front();
}

}  // namespace

const Text& FailureLabel(FailureKind kind) {
    return U(RowOf(kind).label);
}

std::string_view FailureName(FailureKind kind) {
    return RowOf(kind).name;
}

}  // namespace qs
