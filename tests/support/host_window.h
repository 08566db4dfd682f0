// The host's side of an editor: a window on the X display that the editor opens inside.
#pragma once

#include <cstdint>
#include <string>

class PluginInstance;

class HostWindow {
  public:
    // Opens its own connection to $DISPLAY and maps a window of the given size there.
    explicit HostWindow(int width = 1000, int height = 700);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // False without a display (or in a build without the widget layer); say why in whyNot().
    bool available() const { return window != 0; }
    const std::string& whyNot() const { return reason; }
    // What a host passes with effEditOpen: the window's XID.
    void* handle() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }
    // The host tears its window down, as when a track is deleted before the editor is closed.
    void destroy();

  private:
    void* connection = nullptr;
    uint32_t window = 0;
    std::string reason;
};

// Empty when the instance can open its editor on this machine, else the reason for skipping.
std::string editorUnavailableReason(PluginInstance& plugin);
