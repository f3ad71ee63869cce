#include "app/messages.h"

#include "text/encoding.h"

namespace iploc {
namespace {

// prefix + number + "个数据", the pattern of every counting caption. The batch run makes
// one per row, so the converted prefixes are kept.
Text Counted(const Text& prefix, std::int64_t number) {
    static const Text suffix = Utf8ToText("个数据");
    return prefix + NumberText(number) + suffix;
}

} // namespace

Text CountCaption(std::int64_t count) {
    static const Text prefix = Utf8ToText("当前数据库共");
    return Counted(prefix, count);
}

Text ProcessingCaption(std::int64_t row) {
    static const Text prefix = Utf8ToText("正在处理第");
    return Counted(prefix, row);
}

Text ProcessedMessage(std::int64_t count) {
    static const Text prefix = Utf8ToText("已处理");
    return Counted(prefix, count);
}

Text ExportedCaption(std::int64_t index) {
    static const Text prefix = Utf8ToText("已导出");
    return Counted(prefix, index);
}

const Text& StoreCreateFailedMessage() {
    static const Text text = Utf8ToText("临时数据库创建不成功");
    return text;
}

const Text& ClearQuestion() {
    static const Text text = Utf8ToText("确定清空数据库数据？");
    return text;
}

const Text& ClearedMessage() {
    static const Text text = Utf8ToText("已清空当前数据库！");
    return text;
}

const Text& ExportSucceededMessage() {
    static const Text text = Utf8ToText("导出成功");
    return text;
}

const Text& ClearRefusedMessage() {
    static const Text text = Utf8ToText("批量查询正在进行，不能清空数据库");
    return text;
}

const Text& BatchRefusedMessage() {
    static const Text text = Utf8ToText("另一个批量查询正在进行，请等它结束");
    return text;
}

const Text& ExportFailedMessage() {
    static const Text text = Utf8ToText("导出失败：结果文件未能保存");
    return text;
}

Text StoreWriteFailedMessage(std::int64_t row) {
    return Utf8ToText("数据库写入失败，批量查询停在第") + NumberText(row) + Utf8ToText("个数据");
}

} // namespace iploc
