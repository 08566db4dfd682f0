// Message boxes, the web link, the plug-in folder and the diagnostic log.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/message_box.h"
#include "support/plugin_path.h"
#include "support/subprocess.h"
#include "support/web_link.h"
#include "test_helpers.h"

namespace {
using Args = std::vector<std::string>;

bool waitForRuns(const FakeDialogProgram& fake, size_t count) {
    for (int i = 0; i < 500; ++i) {
        if (fake.runs().size() >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// A copy of the module in a folder of its own, so its log lands where the test looks.
struct ModuleInFolder {
    TemporaryFolder folder;
    std::unique_ptr<PluginModule> module;
    ModuleInFolder() {
        std::filesystem::copy_file(LUMERIC_MODULE_PATH, folder.file("lumeric.so"));
        std::string error;
        module = PluginModule::open(folder.file("lumeric.so"), &error);
        EXPECT_NE(module, nullptr) << error;
    }
    std::string logPath() const { return folder.file("LumericLog.txt"); }
};

std::vector<std::string> constructionLines(bool withEditor) {
    if (withEditor)
        return {"PxAudio::PxAudio start", "PxEditor::PxEditor start", "PxEditor::PxEditor end",
                "PxAudio::PxAudio end"};
    return {"PxAudio::PxAudio start", "PxAudio::PxAudio end"};
}
} // namespace

TEST(MessageBoxes, InformationBoxRunsZenityWithPlainTextAndOneButton) {
    FakeDialogProgram zenity;
    showMessageBox_OK("Invalid file selected", "Value %d of <b>%s</b>", 42, "file");
    ASSERT_EQ(zenity.runs().size(), 1u);
    EXPECT_EQ(zenity.runs()[0], (Args{"--info", "--title=Invalid file selected",
                                      "--text=Value 42 of <b>file</b>", "--no-markup", "--ok-label=Ok"}));
}

TEST(MessageBoxes, QuestionAnswersFollowTheDialogsExitStatus) {
    FakeDialogProgram zenity("zenity", 0);
    EXPECT_TRUE(MessBoxYesNo("Visit", "Visit %s?", "us"));
    zenity.answer(1);
    EXPECT_FALSE(MessBoxYesNo("Visit", "Visit?"));
    zenity.answer(5); // closed by the window manager
    EXPECT_FALSE(MessBoxYesNo("Visit", "Visit?"));
    ASSERT_EQ(zenity.runs().size(), 3u);
    EXPECT_EQ(zenity.runs()[0], (Args{"--question", "--title=Visit", "--text=Visit us?", "--no-markup",
                                      "--ok-label=Yes", "--cancel-label=No"}));
    EXPECT_EQ(showMessageBox("t", "m", "A", "B", 7), 0); // unknown style: no box
    EXPECT_EQ(zenity.runs().size(), 3u);
}

TEST(MessageBoxes, LongMessagesAreCutNotOverrun) {
    FakeDialogProgram zenity;
    std::string huge(5000, 'q');
    showMessageBox_OK("Long", "%s", huge.c_str());
    ASSERT_EQ(zenity.runs().size(), 1u);
    EXPECT_EQ(zenity.runs()[0][2], "--text=" + std::string(1023, 'q'));
}

TEST(MessageBoxes, KdialogIsTheSecondChoice) {
    FakeDialogProgram kdialog("kdialog", 0);
    EXPECT_TRUE(MessBoxYesNo("Title", "Question"));
    ASSERT_EQ(kdialog.runs().size(), 1u);
    EXPECT_EQ(kdialog.runs()[0],
              (Args{"--title", "Title", "--yesno", "Question", "--yes-label", "Yes", "--no-label", "No"}));
}

TEST(MessageBoxes, WithoutADialogProgramTheMessageGoesToStandardErrorAndQuestionsAreNo) {
    NoDialogPrograms none;
    testing::internal::CaptureStderr();
    showMessageBox_OK("Warning", "Nothing to show it with");
    const bool answer = MessBoxYesNo("Question", "Visit?");
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(answer);
    EXPECT_NE(printed.find("Warning: Nothing to show it with"), std::string::npos);
    EXPECT_NE(printed.find("Question: Visit?"), std::string::npos);
}

TEST(MessageBoxes, DetachedBoxDoesNotWaitAndLeavesNoZombie) {
    FakeDialogProgram zenity;
    zenity.delay(1);
    showMessageBoxDetached("Warning", "Rate not supported");
    EXPECT_TRUE(zenity.runs().empty()); // returned before the dialog did anything
    ASSERT_TRUE(waitForRuns(zenity, 1));
    EXPECT_EQ(zenity.runs()[0], (Args{"--info", "--title=Warning", "--text=Rate not supported", "--no-markup",
                                      "--ok-label=Ok"}));
    int status = 0;
    for (int i = 0; i < 200; ++i) {
        reapFinishedPrograms();
        if (waitpid(-1, &status, WNOHANG) < 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1); // no child left, finished or not
}

TEST(WebLink, OnlyAbsoluteUrlsAreOpened) {
    FakeDialogProgram xdgOpen("xdg-open");
    for (const char* notUrl : {"", "lumeric.example", "no scheme here", "http:", ":missing",
                               "https://a b.example/", "1http://x", "javascript\x01:x"})
        showURL(notUrl);
    showURL(nullptr);
    showURL("https://lumeric.example/");
    ASSERT_TRUE(waitForRuns(xdgOpen, 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(xdgOpen.runs().size(), 1u);
    EXPECT_EQ(xdgOpen.runs()[0], (Args{"https://lumeric.example/"}));
    EXPECT_TRUE(isAbsoluteUrl("mailto:someone@lumeric.example"));
}

TEST(PluginPath, IsTheModulesFolderWithASlashAndNeverOverruns) {
    char path[4096];
    getPluginPath(path, sizeof(path));
    std::string folder(path);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    char small[26];
    std::memset(small, 'x', sizeof(small));
    getPluginPath(small, 10);
    EXPECT_EQ(std::strlen(small), 9u);
    EXPECT_EQ(small[10], 'x');
    getPluginPath(small, 0); // nothing written, no failure
}

TEST(DiagnosticLog, OneInstanceWritesItsLifeInOrder) {
    ModuleInFolder module;
    auto plugin = PluginInstance::create(*module.module);
    ASSERT_NE(plugin, nullptr);
    const bool withEditor = plugin->effect()->flags & effFlagsHasEditor;
    auto lines = readLines(module.logPath());
    ASSERT_EQ(lines.size(), 2 + constructionLines(withEditor).size());
    EXPECT_EQ(lines[0].rfind("Logfile created on ", 0), 0u);
    int day = 0, month = 0, year = 0, hour = -1, minute = -1, second = -1;
    EXPECT_EQ(std::sscanf(lines[0].c_str(), "Logfile created on %d %d %d", &day, &month, &year), 3);
    EXPECT_EQ(std::sscanf(lines[1].c_str(), "%d:%d:%d", &hour, &minute, &second), 3);
    EXPECT_TRUE(day >= 1 && day <= 31 && month >= 1 && month <= 12 && year >= 2024);
    EXPECT_TRUE(hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 61);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()), constructionLines(withEditor));

    plugin->setSampleRate(48000.0f);
    lines = readLines(module.logPath());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "PxAudio::setSampleRate start");
    EXPECT_EQ(lines.back(), "PxAudio::setSampleRate end");

    const size_t before = lines.size();
    plugin->close();
    lines = readLines(module.logPath());
    ASSERT_GE(lines.size(), before + 2);
    EXPECT_EQ(lines[before], "PxAudio::~PxAudiostart");
    EXPECT_EQ(lines[before + 1], "PxAudio::~PxAudio end");
}

TEST(DiagnosticLog, ASecondInstanceTruncatesAndTheFirstAppendsAfterIt) {
    ModuleInFolder module;
    auto first = PluginInstance::create(*module.module);
    first->setSampleRate(48000.0f);
    auto second = PluginInstance::create(*module.module);
    const size_t afterSecond = readLines(module.logPath()).size();
    first->setSampleRate(44100.0f);
    auto lines = readLines(module.logPath());
    ASSERT_EQ(lines.size(), afterSecond + 2);
    EXPECT_EQ(lines[2], "PxAudio::PxAudio start");
    for (size_t i = 0; i < afterSecond; ++i)
        EXPECT_NE(lines[i], "PxAudio::setSampleRate start");
    EXPECT_EQ(lines.back(), "PxAudio::setSampleRate end");
}

TEST(DiagnosticLog, AnUnwritableFolderMeansNoLogAndNoFailure) {
    ModuleInFolder module;
    // A directory in the log file's place cannot be opened for writing, even by root.
    std::filesystem::create_directory(module.logPath());
    {
        auto plugin = PluginInstance::create(*module.module);
        ASSERT_NE(plugin, nullptr);
        plugin->start(48000.0f);
        std::vector<float> left(512, 0.1f), right(512, 0.1f);
        plugin->process(left.data(), right.data(), 512);
        EXPECT_EQ(plugin->programName(), "Enhance general medium");
    }
    EXPECT_TRUE(std::filesystem::is_directory(module.logPath()));
    std::filesystem::remove(module.logPath());

    if (geteuid() != 0) {
        std::filesystem::permissions(module.folder.path(),
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        auto plugin = PluginInstance::create(*module.module);
        ASSERT_NE(plugin, nullptr);
        plugin->close();
        EXPECT_FALSE(std::filesystem::exists(module.logPath()));
    }
}
