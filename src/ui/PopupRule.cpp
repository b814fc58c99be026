#include "ui/PopupRule.h"

#include <algorithm>

#include "diagnostics/RuntimeError.h"

namespace ui {

int32_t CheckThreadId(const std::optional<std::vector<std::string>>& names, int32_t threadId) {
    if (!names) {
        return 0;
    }
    int32_t found = 0;
    for (const std::string& name : *names) {
        // A name that is not a number names no thread; it does not stop the comparison.
        if (diagnostics::NumberOf(name) == threadId) {
            found = 1;
        }
    }
    return found;
}

bool FrameBeyondTheStart(const state::WindowRecord& record,
                         const std::vector<state::FrameThread>& startFrames) {
    // A hidden frame is no pop-up: nobody sees it, and a browser may keep one out of sight
    // for a page it shows elsewhere. It is judged when it is shown.
    return record.Visible && record.ClassName == kFrameClass &&
           std::none_of(startFrames.begin(), startFrames.end(),
                        [&](const state::FrameThread& f) { return f.ThreadId == record.ThreadId; });
}

std::vector<HWND> PopupsToClose(const std::vector<state::WindowRecord>& windows,
                                const std::vector<state::FrameThread>& startFrames,
                                const std::optional<std::vector<std::string>>& names) {
    std::vector<HWND> popups;
    for (const state::WindowRecord& record : windows) {
        // The frames open at start are never closed, whatever the register holds now.
        if (FrameBeyondTheStart(record, startFrames) &&
            CheckThreadId(names, record.ThreadId) == 0) {
            popups.push_back(record.Handle);
        }
    }
    return popups;
}

}  // namespace ui
