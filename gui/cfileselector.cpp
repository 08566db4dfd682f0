#include "gui/cfileselector.h"

#include "support/subprocess.h"

CFileExtension::CFileExtension(const char* desc, const char* ext, const char* mime, int)
    : description(desc ? desc : ""), extension(ext ? ext : ""), mimeType(mime ? mime : "") {}

CNewFileSelector* CNewFileSelector::create(CFrame*, Style style) {
    return new CNewFileSelector(style);
}

void CNewFileSelector::setDefaultExtension(const CFileExtension& extension) {
    defaultExtension.assign(1, extension);
}

const char* CNewFileSelector::getSelectedFile(long index) const {
    return index >= 0 && index < getNumSelectedFiles() ? selected[static_cast<size_t>(index)].c_str()
                                                       : nullptr;
}

std::vector<std::string> CNewFileSelector::zenityArguments() const {
    std::vector<std::string> argv = {"zenity", "--file-selection"};
    if (style == kSelectSaveFile) argv.push_back("--save");
    if (style == kSelectDirectory) argv.push_back("--directory");
    if (!title.empty()) argv.push_back("--title=" + title);
    std::string start = initialDirectory.empty() ? "" : initialDirectory + "/";
    if (style == kSelectSaveFile && !defaultSaveName.empty()) start += defaultSaveName;
    if (!start.empty()) argv.push_back("--filename=" + start);
    for (const CFileExtension& extension : extensions)
        argv.push_back("--file-filter=" + extension.getDescription() + " | *." + extension.getExtension());
    return argv;
}

std::vector<std::string> CNewFileSelector::kdialogArguments() const {
    std::vector<std::string> argv = {"kdialog"};
    if (!title.empty()) {
        argv.push_back("--title");
        argv.push_back(title);
    }
    argv.push_back(style == kSelectSaveFile    ? "--getsavefilename"
                   : style == kSelectDirectory ? "--getexistingdirectory"
                                               : "--getopenfilename");
    std::string start = initialDirectory.empty() ? "." : initialDirectory;
    if (style == kSelectSaveFile && !defaultSaveName.empty()) start += "/" + defaultSaveName;
    argv.push_back(start);
    if (style != kSelectDirectory) {
        std::string filter;
        for (const CFileExtension& extension : extensions) {
            if (!filter.empty()) filter += "\n";
            filter += "*." + extension.getExtension() + "|" + extension.getDescription();
        }
        if (!filter.empty()) argv.push_back(filter);
    }
    return argv;
}

bool CNewFileSelector::runModal() {
    selected.clear();
    ProgramResult result;
    if (programOnPath("zenity"))
        result = runProgram(zenityArguments());
    else if (programOnPath("kdialog"))
        result = runProgram(kdialogArguments());
    else
        return false;
    if (!result.launched || result.exitStatus != 0) return false;
    std::string path = result.output;
    // One path on the first line; the line end is not part of it.
    size_t end = path.find('\n');
    if (end != std::string::npos) path.erase(end);
    if (!path.empty() && path.back() == '\r') path.pop_back();
    if (path.empty()) return false;
    selected.push_back(path);
    return true;
}
