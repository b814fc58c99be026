// The desktop's crowd: hidden top-level windows held by child copies of this program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win32/Handles.h"

namespace bench {

// The child's side ("activation_bench hold"): hidden top-level windows of varied classes,
// styles and titles over a few threads, until the release event is set or the parent ends.
int Hold(int windows, int threads, const char* readyName, const char* releaseName, DWORD parentId);

// The window holders started by this process; they all end when the object goes.
class Holders {
  public:
    Holders();
    ~Holders();
    Holders(const Holders&) = delete;
    Holders& operator=(const Holders&) = delete;

    // Adds `windows` hidden top-level windows in a few new processes; returns once they all
    // exist.
    bool Add(int windows);
    int processes() const { return static_cast<int>(processes_.size()); }
    int threads() const;

  private:
    std::string tag_;
    win32::Handle release_;
    std::vector<win32::Handle> processes_;
};

}  // namespace bench
