// The editor: one window drawn from bitmaps, with the knobs, switches, program list, file menu, analyser,
// bass meter and about screen, following the effect through the parameter echo and the idle cycle.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "engine/parameter_ids.h"
#include "editor/editor_controls.h"
#include "gui/vstgui.h"
#include "editor/aeffguieditor.h"

class PxAudio;
class Wavedisplay;

// Entries of the file menu, by index (separators included).
enum FileMenuEntry {
    kLoadPreset = 0,
    kLoadBank = 1,
    kSavePreset = 3,
    kSaveBank = 4,
    kInitPreset = 6,
    kVisitWebSite = 8,
};

class PxEditor : public AEffGUIEditor, public CControlListener {
  public:
    // --- the effect's thread: created with the effect, deleted by effClose (host's UI thread) ---
    explicit PxEditor(AudioEffect* owner);
    ~PxEditor() override;

    // --- host's UI thread: the thread that opened the window is the only one touching the views ---
    bool open(void* ptr) override;
    void close() override;
    void idle() override;
    bool onKeyDown(VstKeyCode& keyCode) override;
    void valueChanged(CControl* control) override;
    // The rectangle at the editor's current size, which is settled here before the first open.
    bool getRect(ERect** rect) override;
    // Pops up the menu of editor sizes.
    bool onBackgroundRightClick(const CPoint& where) override;

    // --- host's UI thread: the editor's size ---
    // The host's factor, which wins over every other source; false when it is no positive number.
    bool setHostScaleFactor(double factor);
    // Asks the host to resize an open window; when it refuses, the size waits for the next open. The
    // person's own choice is also kept for later editors.
    void changeScale(double wanted, bool personsChoice);

    // --- any thread: the effect's parameter echo; from other threads it waits for idle ---
    void setParameter(VstInt32 index, float value) override;

    // --- host's UI thread (the file menu) ---
    // The preset file commands of the file menu; each runs a file dialog and waits for it.
    bool fxpLoad();
    bool fxbLoad();
    bool fxpSave();
    bool fxbSave();
    // The program and bank images of the effect.
    void fxpSaveBytesToBuf(unsigned char* buffer, size_t* size);
    bool fxpLoadBytesFromBuf(const unsigned char* image, size_t length);
    void fxbSaveBytesToBuf(unsigned char* buffer, size_t* size);
    bool fxbLoadBytesFromBuf(const unsigned char* image, size_t length);

    // --- any thread ---
    // Set by the effect when program names or the current program changed.
    void markProgramListDirty() { programListDirty.store(true, std::memory_order_relaxed); }
    bool isProgramListDirty() const { return programListDirty.load(std::memory_order_relaxed); }
    bool isOpenComplete() const { return frame && openComplete.load(std::memory_order_acquire); }

    // The views of the open window, null while it is closed.
    CKnob* knobs[kNumKnobs] = {};
    COptionMenu* programList = nullptr;
    COptionMenu* fileMenu = nullptr;
    CSplashScreen* aboutScreen = nullptr;
    CKickButton* nextProgramButton = nullptr;
    CKickButton* prevProgramButton = nullptr;
    CKickButton* spectrumButton = nullptr;
    CKickButton* scopeButton = nullptr;
    COnOffButton* bypassButton = nullptr;
    COnOffButton* monoButton = nullptr;
    COnOffButton* leds[kNumLeds] = {};
    Wavedisplay* waveDisplay = nullptr;
    CTooltipSupport* tooltipSupport = nullptr;
    COptionMenu* sizeMenu = nullptr;
    // The control that shows each parameter 0..24 (the knob, bypass or mono switch).
    CControl* parameterControls[kNumUsedParams] = {};

  private:
    PxAudio* audio() const;
    void addControl(const ControlPlace& place);
    CKickButton*& kickButtonWithTag(int tag);
    void fillProgramList();
    void runFileMenuCommand(long entry);
    void forgetViews();
    void settleScale();
    void setRectForScale(double newScale);
    void fillSizeMenu();

    EditorBitmaps bitmaps;
    uint64_t lastDisplayCounter = 0;
    double scale = 1.0;      // window pixels per pixel of the layout
    double pendingScale = 0; // a size the host refused, for the next open; 0: none
    bool scaleSettled = false;
    std::atomic<bool> programListDirty{false};
    // Published with release/acquire: the echo may come on another thread and must see the finished views.
    std::atomic<bool> openComplete{false};
    // Echoes from other threads wait here for idle on the editor's thread (bit i: parameter i): close may
    // delete the controls at any moment on that thread.
    std::atomic<uint32_t> pendingEcho{0};
    // The thread that opened the window, the only one that touches the views.
    std::atomic<std::thread::id> editorThread{};
};
