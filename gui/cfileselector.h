// File dialogs through the desktop's dialog program (zenity, else kdialog); with neither, a cancel.
#pragma once

#include "gui/creferencecounter.h"

#include <string>
#include <vector>

class CFrame;

class CFileExtension {
  public:
    CFileExtension(const char* description, const char* extension, const char* mimeType = nullptr,
                   int macType = 0);
    const std::string& getDescription() const { return description; }
    const std::string& getExtension() const { return extension; }

  private:
    std::string description;
    std::string extension;
    std::string mimeType;
};

class CNewFileSelector : public CBaseObject {
  public:
    enum Style { kSelectFile, kSelectSaveFile, kSelectDirectory };

    static CNewFileSelector* create(CFrame* parent = nullptr, Style style = kSelectFile);

    void setTitle(const char* newTitle) { title = newTitle ? newTitle : ""; }
    void setDefaultExtension(const CFileExtension& extension);
    void addFileExtension(const CFileExtension& extension) { extensions.push_back(extension); }

    // Runs the dialog and waits for it; true when the user chose a file.
    bool runModal();
    long getNumSelectedFiles() const { return static_cast<long>(selected.size()); }
    // Null when there is no such file (say, the user cancelled).
    const char* getSelectedFile(long index) const;

    // The command lines runModal would start, for each dialog program.
    std::vector<std::string> zenityArguments() const;
    std::vector<std::string> kdialogArguments() const;

  private:
    explicit CNewFileSelector(Style style) : style(style) {}

    Style style;
    std::string title;
    std::string initialDirectory;
    std::string defaultSaveName;
    std::vector<CFileExtension> extensions;
    std::vector<CFileExtension> defaultExtension;
    std::vector<std::string> selected;
};
