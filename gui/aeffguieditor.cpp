#include "gui/aeffguieditor.h"

#include "host/audioeffectx.h"

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
    return frame && frame->onKeyDown(keyCode) == 1;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) {
    return frame && frame->onKeyUp(keyCode) == 1;
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
