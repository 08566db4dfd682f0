#include "editor_snapshot.h"

bool editorSnapshotsAvailable() {
    return false;
}

bool writeEditorSnapshot(PxAudio&, SnapshotMode, const std::string&, std::string* error) {
    *error = "editor snapshots are not available in this build";
    return false;
}
