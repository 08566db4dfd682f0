// The seam between the effect and its editor, so that the engine builds with or without one.
#pragma once

class AEffEditor;
class AudioEffectX;

// A new editor for the effect (no window yet), or null when the build has none.
AEffEditor* createEditor(AudioEffectX* effect);

// Tells the editor that program names or the current program changed; its idle rebuilds the list.
void setProgramListDirty(AEffEditor* editor);

// The host's scale factor for the editor (its window follows when open); false when it is no factor.
bool setEditorScaleFactor(AEffEditor* editor, float factor);
