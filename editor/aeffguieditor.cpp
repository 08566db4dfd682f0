#include "editor/aeffguieditor.h"

#include "host/audioeffectx.h"

namespace {

// The widgets take the host's key and modifier numbers as they are; only the record is their own.
CKeyCode widgetKey(const VstKeyCode& key) {
    return CKeyCode{key.character, key.virt, key.modifier};
}

} // namespace

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect) : AEffEditor(effect) {}

AEffGUIEditor::~AEffGUIEditor() {
    if (frame) {
        delete frame;
        frame = nullptr;
    }
}

AudioEffectX* AEffGUIEditor::getEffectX() const {
    return static_cast<AudioEffectX*>(effect);
}

bool AEffGUIEditor::getRect(ERect** result) {
    *result = &rect;
    return true;
}

bool AEffGUIEditor::open(void* ptr) {
    AEffEditor::open(ptr);
    return true;
}

void AEffGUIEditor::idle() {
    if (frame) frame->idle();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) {
    CKeyCode key = widgetKey(keyCode);
    return frame && frame->onKeyDown(key) == 1;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) {
    CKeyCode key = widgetKey(keyCode);
    return frame && frame->onKeyUp(key) == 1;
}

bool AEffGUIEditor::setKnobMode(VstInt32 value) {
    knobMode = value;
    return true;
}

void AEffGUIEditor::beginEdit(long index) {
    if (effect) getEffectX()->beginEdit(static_cast<VstInt32>(index));
}

void AEffGUIEditor::endEdit(long index) {
    if (effect) getEffectX()->endEdit(static_cast<VstInt32>(index));
}

void AEffGUIEditor::doIdleStuff() {
    if (effect) effect->masterIdle();
}
