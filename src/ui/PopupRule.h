// The pop-up rule, with no window or registry of its own: from a snapshot of the top-level
// windows, the threads of the frames open at start and the value names of the register, the
// windows to close. The activation handler gathers the three and posts the closes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "state/ProgramState.h"

namespace ui {

// The class of a browser frame, the only windows the rule closes.
inline constexpr char kFrameClass[] = "IEFrame";

// 1 when the thread id is one of the register's value names, compared as numbers, else 0. A
// name that is not a number names no thread; no list (a register that could not be read)
// names none.
int32_t CheckThreadId(const std::optional<std::vector<std::string>>& names, int32_t threadId);

// Whether the window is a visible "IEFrame" window (exact class) of no thread of the start's
// frames.
bool FrameBeyondTheStart(const state::WindowRecord& record,
                         const std::vector<state::FrameThread>& startFrames);

// Every "IEFrame" window (exact class) whose thread is neither one of the start's frame
// threads nor named in the register, in snapshot order.
std::vector<HWND> PopupsToClose(const std::vector<state::WindowRecord>& windows,
                                const std::vector<state::FrameThread>& startFrames,
                                const std::optional<std::vector<std::string>>& names);

}  // namespace ui
