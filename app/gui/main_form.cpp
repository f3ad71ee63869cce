#include "app/gui/main_form.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace iploc {
namespace {

// Shown until the first single lookup replaces it.
const char* const kInitialLabelText = "查询结果显示在这里";

QString ChineseFamily() {
    const QStringList covering = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const char* preferred : {"Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Micro Hei",
                                  "WenQuanYi Zen Hei", "Droid Sans Fallback"}) {
        if (covering.contains(QString::fromUtf8(preferred))) return QString::fromUtf8(preferred);
    }
    return covering.isEmpty() ? QString() : covering.front();
}

void Place(QWidget& widget, const char* name, const QRect& geometry) {
    widget.setObjectName(QString::fromUtf8(name));
    widget.setGeometry(geometry);
}

QPushButton* MakeButton(QWidget& parent, const char* name, const char* caption, const QRect& geometry) {
    auto* button = new QPushButton(QString::fromUtf8(caption), &parent);
    Place(*button, name, geometry);
    button->setAutoDefault(false);
    return button;
}

} // namespace

QFont ChineseFont(int characterHeight) {
    QFont font = QApplication::font();
    if (const QString family = ChineseFamily(); !family.isEmpty()) font.setFamilies({family});
    font.setPixelSize(characterHeight);
    return font;
}

FormControls BuildForm(QWidget& window) {
    FormControls form;
    form.edit = new QLineEdit(&window);
    Place(*form.edit, "编辑框1", {8, 32, 360, 40});
    form.edit->setFont(ChineseFont(19));
    // Drops anywhere on the window, the edit box included, go to the window's handler.
    form.edit->setAcceptDrops(false);

    form.importButton = MakeButton(window, "按钮_导入文件", "导入文件", {376, 32, 64, 40});

    form.label = new QLabel(QString::fromUtf8(kInitialLabelText), &window);
    Place(*form.label, "标签_显示", {8, 88, 440, 64});
    form.label->setFont(ChineseFont(21));
    // The service's answer is shown as it is, never read as markup.
    form.label->setTextFormat(Qt::PlainText);
    form.label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    form.label->setWordWrap(true);

    form.lookupButton = MakeButton(window, "按钮_查询", "单次查询", {16, 176, 96, 32});

    form.group = new QGroupBox(&window);
    Place(*form.group, "分组框1", {120, 160, 328, 56});
    form.exportButton = MakeButton(*form.group, "按钮_导出", "导出", {125, 16, 72, 32});
    form.clearButton = MakeButton(*form.group, "按钮_清空数据库", "清空数据库", {208, 16, 112, 32});

    // The window's own button, lying over the group box's left part.
    form.batchButton = MakeButton(window, "按钮_批量查询", "批量查询", {136, 176, 96, 32});
    form.batchButton->raise();
    return form;
}

} // namespace iploc
