// Build without an editor: the effect runs headless.
#include "engine/editor_link.h"

AEffEditor* createEditor(AudioEffectX*) {
    return nullptr;
}
void setProgramListDirty(AEffEditor*) {}
