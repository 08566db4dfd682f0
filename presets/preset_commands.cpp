#include "presets/preset_commands.h"

#include <string>
#include <vector>

#include "engine/px_audio.h"
#include "gui/cfileselector.h"
#include "presets/preset_files.h"
#include "presets/preset_images.h"
#include "support/atomic_file.h"
#include "support/message_box.h"

namespace {

struct DialogSetup {
    CNewFileSelector::Style style;
    const char* title;
    const char* description;
    const char* extension;
};

const DialogSetup kLoadProgram = {CNewFileSelector::kSelectFile, "Load a fxp program (.fxp file)",
                                  "Program file (.fxp file)", "fxp"};
const DialogSetup kLoadBank = {CNewFileSelector::kSelectFile, "Load a fxb bank (.fxb file)",
                               "fxb bank (.fxb file)", "fxb"};
const DialogSetup kSaveProgram = {CNewFileSelector::kSelectSaveFile, "Save a fxp program", "Program file",
                                  "fxp"};
const DialogSetup kSaveBank = {CNewFileSelector::kSelectSaveFile, "Save a fxb bank", "Program bank", "fxb"};

// Runs the dialog; false (and path untouched) when no selector exists or the user cancelled.
bool askForFile(const DialogSetup& dialog, CFrame* frame, std::string& path) {
    CNewFileSelector* selector = CNewFileSelector::create(frame, dialog.style);
    if (!selector) return false;
    selector->addFileExtension(
        CFileExtension(dialog.description, dialog.extension, "application/octet-stream"));
    selector->setDefaultExtension(CFileExtension(dialog.description, dialog.extension));
    selector->setTitle(dialog.title);
    selector->runModal();
    const char* chosen = selector->getSelectedFile(0);
    const bool ok = chosen && *chosen;
    if (ok) path = chosen;
    selector->forget();
    return ok;
}

bool saveImage(const DialogSetup& dialog, PxAudio& effect, CFrame* frame,
               void (*writeImage)(PxAudio&, unsigned char*, size_t*)) {
    std::string path;
    if (!askForFile(dialog, frame, path)) return false;
    std::vector<unsigned char> image(kBankImageSize, 0);
    size_t size = 0;
    writeImage(effect, image.data(), &size);
    return writeFileAtomically(withExtension(path, dialog.extension), image.data(), size);
}

} // namespace

bool loadProgramFile(PxAudio& effect, CFrame* frame) {
    std::string path;
    if (!askForFile(kLoadProgram, frame, path)) return false;
    if (!endsWithExtension(path, "fxp")) {
        showMessageBox_OK("Invalid file selected", "This file can not be loaded! Please select a fxp file!");
        return false;
    }
    std::vector<unsigned char> bytes;
    if (!readPresetFile(path, bytes)) return false;
    // A refused image loads no values, but the program still takes the file's name.
    fxpLoadBytesFromBuf(effect, bytes.data(), bytes.size());
    std::string name = programNameFromPath(path);
    effect.setProgramName(name.data());
    effect.setProgram(effect.getProgram());
    return true;
}

bool loadBankFile(PxAudio& effect, CFrame* frame) {
    std::string path;
    if (!askForFile(kLoadBank, frame, path)) return false;
    if (!endsWithExtension(path, "fxb")) {
        showMessageBox_OK("Invalid file selected", "This file can not be loaded! Please select a fxb file!");
        return false;
    }
    std::vector<unsigned char> bytes;
    return readPresetFile(path, bytes) && fxbLoadBytesFromBuf(effect, bytes.data(), bytes.size());
}

bool saveProgramFile(PxAudio& effect, CFrame* frame) {
    return saveImage(kSaveProgram, effect, frame, &fxpSaveBytesToBuf);
}

bool saveBankFile(PxAudio& effect, CFrame* frame) {
    return saveImage(kSaveBank, effect, frame, &fxbSaveBytesToBuf);
}
