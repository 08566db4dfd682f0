#include "editor/px_editor.h"

#include <algorithm>
#include <cstring>

#include "editor/editor_controls.h"
#include "editor/editor_scale.h"
#include "editor/tooltexts.h"
#include "editor/wavedisplay.h"
#include "engine/editor_link.h"
#include "engine/product_info.h"
#include "engine/px_audio.h"
#include "presets/preset_commands.h"
#include "presets/preset_images.h"
#include "support/diagnostic_log.h"
#include "support/message_box.h"
#include "support/subprocess.h"
#include "support/web_link.h"

namespace {

constexpr int kProgramNameBuffer = 256;

long clampProgram(long program) {
    return std::clamp(program, 0L, static_cast<long>(kNumPrograms - 1));
}

} // namespace

AEffEditor* createEditor(AudioEffectX* effect) {
    PxAudio* audio = dynamic_cast<PxAudio*>(effect);
    return audio ? new PxEditor(audio) : nullptr;
}

void setProgramListDirty(AEffEditor* editor) {
    if (auto* pxEditor = dynamic_cast<PxEditor*>(editor)) pxEditor->markProgramListDirty();
}

bool setEditorScaleFactor(AEffEditor* editor, float factor) {
    auto* pxEditor = dynamic_cast<PxEditor*>(editor);
    return pxEditor && pxEditor->setHostScaleFactor(factor);
}

PxEditor::PxEditor(AudioEffect* owner) : AEffGUIEditor(owner) {
    printLog("PxEditor::PxEditor start");
    programListDirty.store(false, std::memory_order_relaxed);
    setRectForScale(1.0);
    lastDisplayCounter = 0;
    printLog("PxEditor::PxEditor end");
}

PxEditor::~PxEditor() {
    printLog("PxEditor::~PxEditor start");
    // Then the bitmaps are released (views of a window still open hold their own references), and the base
    // destructor deletes the frame.
    printLog("PxEditor::~PxEditor end");
}

void PxEditor::setRectForScale(double newScale) {
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<int16_t>(scaledLength(bitmaps.background->getHeight(), newScale));
    rect.right = static_cast<int16_t>(scaledLength(bitmaps.background->getWidth(), newScale));
}

// Hosts size their window from the rectangle before the first open, so the size is settled by then.
void PxEditor::settleScale() {
    if (scaleSettled) return;
    scaleSettled = true;
    scale = resolveEditorScale(0);
    setRectForScale(scale);
}

bool PxEditor::getRect(ERect** result) {
    settleScale();
    return AEffGUIEditor::getRect(result);
}

bool PxEditor::setHostScaleFactor(double factor) {
    const double wanted = editorScaleAtOrAbove(factor);
    if (wanted == 0) return false;
    scaleSettled = true;
    changeScale(wanted, false);
    return true;
}

void PxEditor::changeScale(double wanted, bool personsChoice) {
    if (personsChoice) saveEditorScale(wanted);
    pendingScale = 0;
    if (wanted == scale) return;
    // The rectangle is the new one while the host decides: it may read it to size its window.
    setRectForScale(wanted);
    if (frame && !getEffectX()->sizeWindow(rect.right, rect.bottom)) {
        setRectForScale(scale);
        pendingScale = wanted;
        return;
    }
    scale = wanted;
    if (frame) frame->setScaleFactor(scale);
}

void PxEditor::fillSizeMenu() {
    sizeMenu->removeAllEntry();
    sizeMenu->addEntry("Editor size", -1, CMenuItem::kTitle);
    const double chosen = pendingScale ? pendingScale : scale;
    for (int i = 0; i < kNumEditorScales; ++i) {
        const std::string title = std::to_string(std::lround(kEditorScales[i] * 100)) + " %";
        sizeMenu->addEntry(title.c_str());
        if (kEditorScales[i] == chosen) {
            sizeMenu->setCurrent(i + 1);
            sizeMenu->checkEntryAlone(i + 1);
        }
    }
    if (pendingScale) sizeMenu->addEntry("applies when the editor is reopened", -1, CMenuItem::kTitle);
}

bool PxEditor::onBackgroundRightClick(const CPoint& where) {
    if (!isOpenComplete() || !sizeMenu) return false;
    fillSizeMenu();
    sizeMenu->setViewSize(CRect(where, CPoint(0, 0)));
    return sizeMenu->popup();
}

PxAudio* PxEditor::audio() const {
    return static_cast<PxAudio*>(effect);
}

void PxEditor::addControl(const ControlPlace& place) {
    CControl* control = createControl(place, bitmaps, this);
    switch (place.kind) {
    case ControlKind::ProgramList: {
        programList = static_cast<COptionMenu*>(control);
        fillProgramList();
        const long current = audio()->getProgram() % kNumPrograms;
        programList->setCurrent(current, true);
        programList->checkEntryAlone(current);
        break;
    }
    case ControlKind::FileMenu: {
        fileMenu = static_cast<COptionMenu*>(control);
        const std::string visit = std::string("Visit ") + kWebSiteHost;
        for (const char* entry : {"Load preset", "Load bank", "-", "Save preset", "Save bank", "-",
                                  "Init preset", "-", visit.c_str()})
            fileMenu->addEntry(entry);
        break;
    }
    case ControlKind::Knob:
        *std::find(std::begin(knobs), std::end(knobs), nullptr) = static_cast<CKnob*>(control);
        control->setValue(audio()->getParameter(place.tag));
        parameterControls[place.tag] = control;
        break;
    case ControlKind::Switch:
        (place.tag == kBypass ? bypassButton : monoButton) = static_cast<COnOffButton*>(control);
        parameterControls[place.tag] = control;
        break;
    case ControlKind::Button:
        kickButtonWithTag(place.tag) = static_cast<CKickButton*>(control);
        break;
    case ControlKind::Led:
    case ControlKind::RedLed:
        *std::find(std::begin(leds), std::end(leds), nullptr) = static_cast<COnOffButton*>(control);
        break;
    case ControlKind::Analyser: {
        const DisplayFeed& feed = audio()->displayFeed();
        waveDisplay = new Wavedisplay(controlRect(place, nullptr), bitmaps.background, feed.levelDisp,
                                      feed.phaseDisp, feed.peakDisp, feed.magDisp);
        frame->addView(waveDisplay);
        return;
    }
    case ControlKind::AboutScreen:
        aboutScreen = static_cast<CSplashScreen*>(control);
        break;
    }
    frame->addView(control);
}

CKickButton*& PxEditor::kickButtonWithTag(int tag) {
    switch (tag) {
    case kTagSpectrum:
        return spectrumButton;
    case kTagScope:
        return scopeButton;
    case kTagPreviousProgram:
        return prevProgramButton;
    default:
        return nextProgramButton;
    }
}

void PxEditor::fillProgramList() {
    char name[kProgramNameBuffer] = {};
    for (int i = 0; i < kNumPrograms; ++i) {
        audio()->getProgramNameIndexed(0, i, name);
        programList->addEntry(name, -1, 0);
        std::memset(name, 0, sizeof(name));
    }
}

bool PxEditor::open(void* ptr) {
    printLog("PxEditor::open start");
    editorThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
    pendingEcho.store(0, std::memory_order_relaxed);
    // A second open without a close replaces the window.
    if (frame) {
        openComplete.store(false, std::memory_order_release);
        delete frame;
        frame = nullptr;
        forgetViews();
    }
    if (ptr) settleScale();
    const CRect whole(0, 0, bitmaps.background->getWidth(), bitmaps.background->getHeight());
    frame = new CFrame(whole, ptr, this, scale);
    frame->setMouseEnabled(true);
    frame->setMouseableArea(whole);
    AEffGUIEditor::open(ptr);
    frame->setBackground(bitmaps.background);

    for (const ControlPlace& place : kEditorLayout)
        addControl(place);
    // The background's menu: no view of its own to click, it pops up where the right click was.
    sizeMenu = new COptionMenu(CRect(), this, kTagEditorSize, nullptr, nullptr,
                               kPopupStyle | kCheckStyle | kNoDrawStyle);
    sizeMenu->setMouseEnabled(false);
    frame->addView(sizeMenu);

    // Owned by the frame from here on.
    tooltipSupport = new CTooltipSupport(frame, nullptr, 1000);
    for (const ControlPlace& place : kEditorLayout) {
        if (place.helpText == kNoHelp) continue;
        const char* text = tooltexts[place.helpText];
        parameterControls[place.tag]->setAttribute(kCViewTooltipAttribute,
                                                   static_cast<long>(std::strlen(text) + 1), text);
    }

    openComplete.store(true, std::memory_order_release);
    for (int i = 0; i < kNumParams; ++i)
        setParameter(i, audio()->getParameter(i));
    setKnobMode(kLinearMode);
    printLog("PxEditor::open end");
    return true;
}

void PxEditor::forgetViews() {
    std::fill(std::begin(knobs), std::end(knobs), nullptr);
    std::fill(std::begin(leds), std::end(leds), nullptr);
    std::fill(std::begin(parameterControls), std::end(parameterControls), nullptr);
    programList = fileMenu = nullptr;
    aboutScreen = nullptr;
    nextProgramButton = prevProgramButton = spectrumButton = scopeButton = nullptr;
    bypassButton = monoButton = nullptr;
    waveDisplay = nullptr;
    tooltipSupport = nullptr;
    sizeMenu = nullptr;
}

void PxEditor::close() {
    printLog("PxEditor::close start");
    if (frame) {
        openComplete.store(false, std::memory_order_release);
        delete frame;
        frame = nullptr;
        forgetViews();
    }
    if (pendingScale) {
        scale = pendingScale;
        pendingScale = 0;
        setRectForScale(scale);
    }
    AEffGUIEditor::close();
    printLog("PxEditor::close end");
}

bool PxEditor::onKeyDown(VstKeyCode&) {
    return false;
}

static_assert(kNumUsedParams <= 32, "one bit of pendingEcho per parameter");

void PxEditor::setParameter(VstInt32 index, float) {
    if (index < 0 || index >= kNumUsedParams) return;
    if (std::this_thread::get_id() != editorThread.load(std::memory_order_relaxed)) {
        pendingEcho.fetch_or(1u << index, std::memory_order_relaxed);
        return;
    }
    if (!isOpenComplete() || !parameterControls[index]) return;
    // The control shows what the effect holds, whatever value came with the echo.
    parameterControls[index]->setValue(audio()->getParameter(index));
}

void PxEditor::idle() {
    // Dialogs and the browser, once finished, are collected here on the host's user-interface thread.
    reapFinishedPrograms();
    if (!isOpenComplete()) return;
    for (uint32_t pending = pendingEcho.exchange(0, std::memory_order_relaxed); pending;
         pending &= pending - 1) {
        const int index = __builtin_ctz(pending);
        if (parameterControls[index]) parameterControls[index]->setValue(audio()->getParameter(index));
    }
    const DisplayFeed& feed = audio()->displayFeed();
    const int lit = feed.bassLedCount.load(std::memory_order_relaxed);
    for (int i = 0; i < kNumLeds; ++i)
        leds[i]->setValue(i < lit ? 0.0f : 1.0f);

    const uint64_t counter = feed.displayCounter.load(std::memory_order_relaxed);
    if (counter != lastDisplayCounter) {
        waveDisplay->setDirty(true);
        lastDisplayCounter = counter;
    }

    if (programListDirty.load(std::memory_order_relaxed) && programList) {
        programList->removeAllEntry();
        fillProgramList();
        const long current = audio()->getProgram();
        programList->setCurrent(current, false);
        programList->checkEntryAlone(current);
        programList->setDirty(true);
        programListDirty.store(false, std::memory_order_relaxed);
        audio()->updateDisplay();
    }
    AEffGUIEditor::idle();
}

void PxEditor::valueChanged(CControl* control) {
    if (!isOpenComplete() || !control) return;
    const long tag = control->getTag();
    if (tag >= 0 && tag < kNumParams) {
        audio()->setParameterAutomated(static_cast<VstInt32>(tag), control->getValue());
        return;
    }
    switch (tag) {
    case kTagProgramList: {
        const long program = clampProgram(static_cast<long>(programList->getValue()));
        audio()->setProgramS(program);
        programList->setDirty(true);
        audio()->updateDisplay();
        programList->checkEntryAlone(program);
        frame->setDirty(true);
        break;
    }
    case kTagNextProgram:
    case kTagPreviousProgram: {
        const float step = tag == kTagNextProgram ? 1.0f : -1.0f;
        const long program = clampProgram(static_cast<long>(programList->getValue() + step));
        programList->setValue(static_cast<float>(program));
        audio()->setProgramS(program);
        programList->checkEntryAlone(program);
        control->setDirty(true);
        audio()->updateDisplay();
        break;
    }
    case kTagSpectrum:
        waveDisplay->displayMode = AnalyserMode::Spectrum;
        control->setDirty(true);
        break;
    case kTagScope:
        waveDisplay->displayMode = AnalyserMode::Scope;
        control->setDirty(true);
        break;
    case kTagFileMenu:
        runFileMenuCommand(static_cast<long>(control->getValue()));
        if (isOpenComplete() && fileMenu) fileMenu->setDirty(true);
        break;
    case kTagEditorSize: {
        const long index = static_cast<long>(control->getValue()) - 1;
        if (index >= 0 && index < kNumEditorScales) changeScale(kEditorScales[index], true);
        break;
    }
    case kTagAbout:
        if (control->getValue() == 0.0f &&
            MessBoxYesNo(kWebSiteHost,
                         "Do you want to visit %s for more sounds, information, news and updates?",
                         kWebSiteHost))
            showURL(kWebSiteUrl);
        break;
    default:
        break;
    }
}

void PxEditor::runFileMenuCommand(long entry) {
    switch (entry) {
    case kLoadPreset: {
        fxpLoad();
        // The dialog waited on this thread; the window may not have survived it.
        if (!isOpenComplete()) return;
        const long shown = static_cast<long>(programList->getValue());
        char name[kProgramNameBuffer] = {};
        programList->removeEntry(shown);
        audio()->getProgramName(name);
        programList->addEntry(name, shown, 0);
        programList->setDirty(true);
        audio()->updateDisplay();
        break;
    }
    case kLoadBank:
        fxbLoad();
        audio()->updateDisplay();
        break;
    case kSavePreset:
        fxpSave();
        break;
    case kSaveBank:
        fxbSave();
        break;
    case kInitPreset: {
        const long shown = clampProgram(static_cast<long>(programList->getValue()));
        audio()->initPatch(shown);
        audio()->setProgramS(shown);
        audio()->updateDisplay();
        break;
    }
    case kVisitWebSite:
        showURL(kWebSiteUrl);
        break;
    default:
        break;
    }
}

bool PxEditor::fxpLoad() {
    return loadProgramFile(*audio(), frame);
}

bool PxEditor::fxbLoad() {
    return loadBankFile(*audio(), frame);
}

bool PxEditor::fxpSave() {
    return saveProgramFile(*audio(), frame);
}

bool PxEditor::fxbSave() {
    return saveBankFile(*audio(), frame);
}

void PxEditor::fxpSaveBytesToBuf(unsigned char* buffer, size_t* size) {
    ::fxpSaveBytesToBuf(*audio(), buffer, size);
}

bool PxEditor::fxpLoadBytesFromBuf(const unsigned char* image, size_t length) {
    return ::fxpLoadBytesFromBuf(*audio(), image, length);
}

void PxEditor::fxbSaveBytesToBuf(unsigned char* buffer, size_t* size) {
    ::fxbSaveBytesToBuf(*audio(), buffer, size);
}

bool PxEditor::fxbLoadBytesFromBuf(const unsigned char* image, size_t length) {
    return ::fxbLoadBytesFromBuf(*audio(), image, length);
}
