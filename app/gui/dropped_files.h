// The text that files dropped on the window put into the edit box.
#pragma once

#include <QString>
#include <optional>

class QMimeData;

namespace iploc {

// True when the data holds at least one local file.
bool HoldsLocalFiles(const QMimeData& data);

// The dropped files' full paths (native separators), in the order delivered: one file
// gives its path alone; several give every path followed by a carriage return and a line
// feed. Items that are not local files (links, text) are left out; nullopt when none is a
// local file, so other dropped data changes nothing.
std::optional<QString> DroppedFilesText(const QMimeData& data);

} // namespace iploc
