#include "editor_snapshot.h"

#include "editor/editor_snapshot.h"

bool writeEditorSnapshot(PxAudio& effect, SnapshotMode mode, const std::string& path, std::string* error) {
    return ::writeEditorSnapshot(effect, mode == SnapshotMode::Scope ? 1 : 0, path, error);
}
