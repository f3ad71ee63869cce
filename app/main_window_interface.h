// The narrow interface through which the workflows talk to the main window.
//
// The Qt window, the command line and the tests each implement it, so all three
// drive the same workflow code. Every text is code page 936.
//
// Threads. The application calls these from two kinds of thread:
// - the UI thread: start-up, the clear and export handlers, the close handler;
// - worker threads: the single lookups and the batch run.
// Calls marked "any thread" may come from a worker while the UI thread is busy;
// an implementation whose toolkit is single-threaded hands them to its UI thread,
// keeping the order in which one thread made them. Calls marked "UI thread" are
// only ever made on the thread that calls Application's On... handlers.
#pragma once

#include "text/text.h"

namespace iploc {

// The buttons whose enabled state the workflows change, named after the form's controls.
enum class Button {
    Import, // 按钮_导入文件
    Lookup, // 按钮_查询
    Batch,  // 按钮_批量查询
    Export, // 按钮_导出
    Clear,  // 按钮_清空数据库
};

class MainWindowInterface {
public:
    virtual ~MainWindowInterface() = default;

    // Any thread, returns at once. The window caption, which is the tool's status line.
    virtual void SetCaption(const Text& caption) = 0;
    // Any thread, returns at once. The text of the label 标签_显示.
    virtual void SetLabelText(const Text& text) = 0;
    // Any thread, returns at once. The text of the edit box 编辑框1.
    virtual void SetEditText(const Text& text) = 0;
    // Any thread, returns at once.
    virtual void SetButtonEnabled(Button button, bool enabled) = 0;

    // Any thread. A modal message box titled "信息：" with an OK button; returns once it
    // is dismissed. `ownedByWindow` is false for the boxes that have no owner window.
    // When called from a worker, the implementation must also return (as if dismissed)
    // once the window is being destroyed, because closing the window joins the workers.
    virtual void ShowMessage(const Text& text, bool ownedByWindow) = 0;
    // UI thread. A modal box titled "信息：" with OK and Cancel, Cancel the default;
    // true only when the user chose OK (Escape and closing the box count as Cancel).
    virtual bool Confirm(const Text& text) = 0;

    // UI thread. Serves the window's pending events (repaints) during the modal export;
    // user input should stay excluded so no handler runs inside another.
    virtual void ProcessPendingEvents() = 0;
    // UI thread. Destroys the main window, which ends the program; the export ends this way.
    // The implementation's close path calls Application::OnAboutToBeDestroyed.
    virtual void DestroyWindow() = 0;
};

} // namespace iploc
