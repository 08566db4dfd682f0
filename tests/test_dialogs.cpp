// The desktop's dialogs (zenity, else kdialog, else standard error), the web link, the detached warning,
// the plug-in folder and the diagnostic log.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sys/wait.h>
#include <thread>

#include "editor/px_editor.h"
#include "engine/px_audio.h"
#include "gui/cfileselector.h"
#include "presets/preset_commands.h"
#include "support/message_box.h"
#include "support/plugin_path.h"
#include "support/subprocess.h"
#include "support/web_link.h"
#include "test_helpers.h"
#include "x11_test_host.h"

namespace {

using Args = std::vector<std::string>;

// Waits until every child has ended and been collected by the module; false if one is still there.
bool noChildLeft() {
    for (int i = 0; i < 500; ++i) {
        reapFinishedPrograms();
        siginfo_t info{};
        if (waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}
std::string selectFile(CNewFileSelector::Style style) {
    CNewFileSelector* selector = CNewFileSelector::create(nullptr, style);
    selector->addFileExtension(CFileExtension("Program bank", "fxb", "application/octet-stream"));
    selector->setTitle("Pick");
    const std::string chosen = selector->runModal() ? selector->getSelectedFile(0) : "";
    EXPECT_EQ(selector->getSelectedFile(1), nullptr);
    selector->forget();
    return chosen;
}
template <bool (*command)(PxAudio&, CFrame*)> std::string runCommand() {
    PxAudio effect(nullptr);
    return std::to_string(command(effect, nullptr));
}
std::string each(const std::vector<Args>& runs) {
    std::string all;
    for (const Args& run : runs)
        for (const std::string& argument : run)
            all += argument + (&argument == &run.back() ? "\n" : "|");
    return all;
}

const std::string kLong(5000, 'q');
const auto information = [] {
    return std::to_string(showMessageBox_OK("Bad file", "Value %d of <b>%s</b>", 42, "x"));
};
const auto question = [] { return std::to_string(MessBoxYesNo("Visit", "Visit %s?", "us")); };
const auto critical = [] { return std::to_string(showMessageBox("T", "M", "A", "", kBoxCritical)); };
const auto noStyle = [] { return std::to_string(showMessageBox("T", "M", "A", "B", 7)); };
const auto longText = [] { return std::to_string(showMessageBox_OK("Long", "%s", kLong.c_str())); };
const auto open = [] { return selectFile(CNewFileSelector::kSelectFile); };
const auto save = [] { return selectFile(CNewFileSelector::kSelectSaveFile); };
const auto link = [] { return showURL("https://lumeric.example/?q=1"), std::string(); };
const auto notLinks = [] {
    for (const char* text :
         {"", "lumeric.example", "no scheme", "http:", ":x", "https://a b.example/", "1http://x",
          "javascript\x01:x", "mailto:a\x7f", static_cast<const char*>(nullptr)})
        showURL(text);
    return std::string();
};

// A call with one dialog program on PATH ("none": none at all) answering with an exit status and the path
// below; what the caller learns; the program's argument lists, one a line (without one: standard error).
struct Dialog {
    const char* program;
    int exitStatus;
    std::string (*call)();
    const char* answer;
    std::string runs;
};
const Dialog kDialogs[] = {
    {"zenity", 0, information, "1",
     "--info|--title=Bad file|--text=Value 42 of <b>x</b>|--no-markup|--ok-label=Ok\n"},
    {"zenity", 0, question, "1",
     "--question|--title=Visit|--text=Visit us?|--no-markup|--ok-label=Yes|--cancel-label=No\n"},
    {"zenity", 1, question, "0",
     "--question|--title=Visit|--text=Visit us?|--no-markup|--ok-label=Yes|--cancel-label=No\n"},
    {"zenity", 5, question, "0",
     "--question|--title=Visit|--text=Visit us?|--no-markup|--ok-label=Yes|--cancel-label=No\n"},
    {"zenity", 0, critical, "1", "--error|--title=T|--text=M|--no-markup|--ok-label=A\n"},
    {"zenity", 0, noStyle, "0", ""},
    {"zenity", 0, longText, "1",
     "--info|--title=Long|--text=" + kLong.substr(0, 1023) + "|--no-markup|--ok-label=Ok\n"},
    {"kdialog", 0, question, "1", "--title|Visit|--yesno|Visit us?|--yes-label|Yes|--no-label|No\n"},
    {"kdialog", 0, information, "1", "--title|Bad file|--msgbox|Value 42 of <b>x</b>\n"},
    {"none", 0, information, "1", "Bad file: Value 42 of <b>x</b>\n"},
    {"none", 0, question, "0", "Visit: Visit us?\n"},
    {"zenity", 0, open, "/home/me/Warm Master.fxb",
     "--file-selection|--title=Pick|--file-filter=Program bank | *.fxb\n"},
    {"zenity", 1, open, "", "--file-selection|--title=Pick|--file-filter=Program bank | *.fxb\n"},
    {"kdialog", 0, save, "/home/me/Warm Master.fxb", "--title|Pick|--getsavefilename|.|*.fxb|Program bank\n"},
    {"none", 0, save, "", ""},
    {"zenity", 1, runCommand<loadProgramFile>, "0",
     "--file-selection|--title=Load a fxp program (.fxp file)|--file-filter=Program file (.fxp file) | "
     "*.fxp\n"},
    {"zenity", 1, runCommand<loadBankFile>, "0",
     "--file-selection|--title=Load a fxb bank (.fxb file)|--file-filter=fxb bank (.fxb file) | *.fxb\n"},
    {"zenity", 1, runCommand<saveProgramFile>, "0",
     "--file-selection|--save|--title=Save a fxp program|--file-filter=Program file | *.fxp\n"},
    {"kdialog", 1, runCommand<saveBankFile>, "0",
     "--title|Save a fxb bank|--getsavefilename|.|*.fxb|Program bank\n"},
    {"xdg-open", 0, link, "", "https://lumeric.example/?q=1\n"},
    {"xdg-open", 0, notLinks, "", ""},
};

} // namespace

TEST(Dialogs, EachCallRunsTheFirstDialogProgramFoundWithItsArguments) {
    for (const Dialog& d : kDialogs) {
        SCOPED_TRACE(std::string(d.program) + ", row " + std::to_string(&d - kDialogs));
        std::unique_ptr<FakeDialogProgram> fake;
        std::unique_ptr<NoDialogPrograms> none;
        if (std::strcmp(d.program, "none") == 0) {
            none = std::make_unique<NoDialogPrograms>();
        } else {
            fake = std::make_unique<FakeDialogProgram>(d.program, d.exitStatus, "/home/me/Warm Master.fxb\n");
            // Missing folders around the one with the program: PATH is searched in order.
            setenv("PATH", ("/no/such/bin:" + fake->folder() + ":/no/such/sbin").c_str(), 1);
        }
        testing::internal::CaptureStderr();
        EXPECT_EQ(d.call(), d.answer);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(noChildLeft());
        EXPECT_EQ(fake ? each(fake->runs()) : printed, d.runs);
    }
}

TEST(Dialogs, TheDetachedWarningReturnsBeforeItsDialogRunsAndLeavesNoZombie) {
    FakeDialogProgram zenity;
    zenity.delay(1);
    showMessageBoxDetached("Warning", "Rate not supported");
    EXPECT_TRUE(zenity.runs().empty());
    EXPECT_TRUE(noChildLeft());
    EXPECT_EQ(each(zenity.runs()),
              "--info|--title=Warning|--text=Rate not supported|--no-markup|--ok-label=Ok\n");
}

// True while a finished child in this process's group (the effect's programs, not the host's) is uncollected.
bool zombieInOurGroup() {
    siginfo_t info{};
    return waitid(P_PGID, getpgrp(), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

TEST(Dialogs, FinishedDialogsAndBrowsersAreCollectedAtIdleSuspendAndCloseButNoChildOfTheHosts) {
    const pid_t hostsOwn = fork(); // ends at once, in a group of its own
    if (hostsOwn == 0) _exit(setpgid(0, 0));
    enum Collect { kIdle, kSuspend, kClose };
    // The browser or the audio thread's warning (zenity), and when the effect may collect it.
    const std::pair<std::string, Collect> kRows[] = {
        {"xdg-open", kIdle}, {"zenity", kIdle}, {"zenity", kSuspend}, {"zenity", kClose}};
    for (auto [program, collect] : kRows) {
        FakeDialogProgram fake(program);
        auto effect = std::make_unique<PxAudio>(nullptr);
        auto* editor = static_cast<PxEditor*>(effect->getEditor());
        if (collect == kIdle) editor->open(nullptr);
        if (program == "xdg-open") {
            editor->fileMenu->choose(kVisitWebSite);
        } else {
            std::vector<float> silence(101); // an odd block at a half rate warns once
            float* io[2] = {silence.data(), silence.data()};
            effect->setSampleRate(96000.0f);
            effect->setParameter(kVirtualSurround, 0.6f);
            effect->processReplacing(io, io, 101);
        }
        ASSERT_TRUE(pumpUntil([] {}, zombieInOurGroup)) << program;
        if (collect == kIdle) editor->idle();
        if (collect == kSuspend) effect->suspend();
        if (collect == kClose) effect.reset();
        EXPECT_FALSE(zombieInOurGroup()) << program << collect;
    }
    EXPECT_EQ(waitpid(hostsOwn, nullptr, 0), hostsOwn);
}

TEST(PluginPath, IsTheModulesFolderWithASlashAndNeverOverruns) {
    char path[4096];
    getPluginPath(path, sizeof(path));
    EXPECT_EQ(path, std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/");
    // A buffer one byte short of the folder's name gets all it can hold and its terminator, no more.
    const size_t length = std::strlen(path);
    char small[4096];
    std::memset(small, 'x', sizeof(small));
    getPluginPath(small, length);
    EXPECT_EQ(std::string(small), std::string(path, length - 1));
    EXPECT_EQ(small[length], 'x');
    getPluginPath(small, 0); // nothing written, no failure
}

namespace {

// A copy of the module in a folder of its own, so that its log lands where the test looks.
struct ModuleInFolder {
    TemporaryFolder folder;
    std::unique_ptr<PluginModule> module;
    ModuleInFolder() {
        std::filesystem::copy_file(LUMERIC_MODULE_PATH, folder.file("lumeric.so"));
        std::string error;
        module = PluginModule::open(folder.file("lumeric.so"), &error);
        EXPECT_NE(module, nullptr) << error;
    }
    std::vector<std::string> log() const { return readLines(folder.file("LumericLog.txt")); }
};
const Args kConstruction = {"PxAudio::PxAudio start", "PxEditor::PxEditor start", "PxEditor::PxEditor end",
                            "PxAudio::PxAudio end"};
const Args kRateChange = {"PxAudio::setSampleRate start", "PxAudio::setSampleRate end"};

} // namespace

TEST(DiagnosticLog, EachInstanceRestartsItAndEveryLiveOneAppends) {
    ModuleInFolder module;
    auto first = PluginInstance::create(*module.module);
    Args lines = module.log();
    ASSERT_EQ(lines.size(), 6u);
    // Day, month and four-digit year; hour, minute and second without leading zeros.
    EXPECT_TRUE(std::regex_match(
        lines[0], std::regex("Logfile created on ([1-9]|[12][0-9]|3[01]) ([1-9]|1[0-2]) 2[0-9]{3}")));
    EXPECT_TRUE(std::regex_match(lines[1], std::regex("(1?[0-9]|2[0-3]):[1-5]?[0-9]:[1-6]?[0-9]")));
    EXPECT_EQ(Args(lines.begin() + 2, lines.end()), kConstruction);

    first->setSampleRate(48000.0f);
    auto second = PluginInstance::create(*module.module); // starts the log afresh
    first->setSampleRate(44100.0f);
    second->close();
    lines = module.log();
    ASSERT_GE(lines.size(), 10u);
    Args expected = kConstruction;
    expected.insert(expected.end(), kRateChange.begin(), kRateChange.end());
    expected.insert(expected.end(), {"PxAudio::~PxAudiostart", "PxAudio::~PxAudio end"});
    EXPECT_EQ(Args(lines.begin() + 2, lines.begin() + 10), expected);
}

TEST(DiagnosticLog, AnUnwritableFolderMeansNoLogAndNoFailure) {
    ModuleInFolder module;
    // A folder in the log file's place cannot be opened for writing, even by root.
    std::filesystem::create_directory(module.folder.file("LumericLog.txt"));
    {
        auto plugin = PluginInstance::create(*module.module);
        plugin->start(48000.0f);
        std::vector<float> left(512, 0.1f), right(512, 0.1f);
        plugin->process(left.data(), right.data(), 512);
        EXPECT_EQ(plugin->programName(), "Enhance general medium");
    }
    EXPECT_TRUE(std::filesystem::is_directory(module.folder.file("LumericLog.txt")));
}
