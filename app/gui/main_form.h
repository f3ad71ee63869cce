// The main window's form: its controls, with the names, captions, positions, sizes and
// fonts of the tool's fixed layout.
#pragma once

#include <QFont>
#include <QRect>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace iploc {

// The window's outer frame on the screen (frame included), as the form gives it.
inline constexpr QRect kFormFrame{50, 50, 462, 256};
// The smallest client area that shows every control whole (the label's and the group
// box's right edges, the group box's bottom edge, plus the form's 8-pixel margin).
inline constexpr QSize kFormMinimumClient{456, 224};

// The controls of the form; the window owns them.
struct FormControls {
    QLineEdit* edit = nullptr;           // 编辑框1
    QPushButton* importButton = nullptr; // 按钮_导入文件
    QLabel* label = nullptr;             // 标签_显示
    QPushButton* lookupButton = nullptr; // 按钮_查询
    QGroupBox* group = nullptr;          // 分组框1
    QPushButton* exportButton = nullptr; // 按钮_导出, inside 分组框1
    QPushButton* clearButton = nullptr;  // 按钮_清空数据库, inside 分组框1
    QPushButton* batchButton = nullptr;  // 按钮_批量查询, the window's, over 分组框1
};

// Creates the form's controls on `window` at their client-area positions. Each widget's
// objectName is its control name. The edit box and the label take their own fonts; every
// other control keeps the default font.
FormControls BuildForm(QWidget& window);

// A font of `characterHeight` pixels (Qt's pixel size, the em height) in a Simplified
// Chinese face: the first of the usual CJK families that is installed, else any installed
// family that covers Simplified Chinese, else the default family.
QFont ChineseFont(int characterHeight);

} // namespace iploc
