// The application object: builds everything at start, tears it down at exit.
#pragma once

#include <cstdint>
#include <memory>

namespace ui {
class frmmain;
}

class clstamewin {
  public:
    clstamewin();  // the whole start-up
    ~clstamewin();
    clstamewin(const clstamewin&) = delete;
    clstamewin& operator=(const clstamewin&) = delete;

    // Frame register: the browser frames open at start, kept in colFrames and in the
    // Instances registry key.
    void ClearInstances();
    void RegisterOpenFrames();
    void AddInstance(int32_t threadId);
    void RemoveInstance(int32_t threadId);

    void RegisterToolbarButton();

    // Deletes the start's register values and releases what the object holds.
    void Teardown();
    // The main form's ExitForm event: removes the icon, tears down and ends the process.
    void NewMain_ExitForm();

    std::unique_ptr<ui::frmmain> NewMain;
};
