// The captions and messages the workflows show, as code page 936 text.
#pragma once

#include "text/text.h"

#include <cstdint>

namespace iploc {

// "当前数据库共" + count + "个数据": the count caption.
Text CountCaption(std::int64_t count);
// "正在处理第" + row + "个数据": the batch run's caption after a row is stored.
Text ProcessingCaption(std::int64_t row);
// "已处理" + count + "个数据": the batch run's final message and caption.
Text ProcessedMessage(std::int64_t count);
// "已导出" + i + "个数据": the export's caption after record i.
Text ExportedCaption(std::int64_t index);

// Fixed texts.
const Text& StoreCreateFailedMessage(); // "临时数据库创建不成功"
const Text& ClearQuestion();            // "确定清空数据库数据？"
const Text& ClearedMessage();           // "已清空当前数据库！"
const Text& ExportSucceededMessage();   // "导出成功"

// Texts of this build's safeguards (see docs/app.md).
const Text& ClearRefusedMessage();              // a clear asked for while a batch run goes on
const Text& BatchRefusedMessage();              // a batch asked for while another one goes on
const Text& ExportFailedMessage();              // the export file could not be written
Text StoreWriteFailedMessage(std::int64_t row); // a record could not be appended

} // namespace iploc
