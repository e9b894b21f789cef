// The recording parameter dialogs (Settings menu), what they leave in the settings file
// and in the exit question, and the file choosers behind the song name prompt.
#include "quorrel_session.h"

namespace quorrel {
namespace {

const char kWavTitle[] = "WAV Recording Parameters";
const char kMp3Title[] = "MP3 Recording Parameters";

// Controls of the two dialogs, with the labels the assertions name them by.
struct Choice {
    int id;
    const char* label;
};
const Choice kWavChoices[] = {
    {205, "8 bits"}, {206, "16 bits"}, {207, "11,025"}, {208, "22,050"},
    {209, "44,100"}, {210, "Mono"}, {211, "Stereo"}, {217, "Convert"},
};
const Choice kMp3Choices[] = {{212, "32"}, {213, "64"}, {214, "128"}, {215, "320"}, {216, "Save WAV"}};
const int k8Bits = IDC_RECPARWAV_8BITS, k22050 = IDC_RECPARWAV_22050, kMono = IDC_RECPARWAV_MONO,
          kStereo = IDC_RECPARWAV_STEREO, kConvertBox = IDC_RECPARWAV_CONVERT;
const int k64 = IDC_RECPARMP3_64, k320 = IDC_RECPARMP3_320, kKeepWavBox = IDC_RECPARMP3_KEEPWAV;

BOOL CALLBACK FindEdit(HWND window, LPARAM found) {
    if (harness::ClassName(window) != "Edit") return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The file name field of the system's file dialog: an edit (edt1), or a combo box
// (cmb13, Wine's) somewhere inside which an edit takes the text.
const int kFileNameEdit = 0x480, kFileNameCombo = 0x47C;

std::string Fields(const char* fields, size_t size) { return std::string(fields, size); }

class Dialogs : public QuorrelTest {
protected:
    // Starts the program on a two-track disc and waits until it has read it.
    void Start() {
        InsertDisc({900, 900});
        ASSERT_TRUE(Launch());
        ASSERT_TRUE(DiscRead());
    }
    void SelectSource(int command) {
        app_.PostCommand(command);
        ASSERT_TRUE(harness::WaitUntil([&] { return app_.MenuChecked(command); }, 3000)) << command;
    }

    // Sends a command that opens a dialog and waits for the dialog.
    harness::MessageBoxInfo Open(int command, const char* title) {
        app_.PostCommand(command);
        return app_.WaitForMessageBox(title, 5000);
    }

    // The labels of the checked controls, in the dialog's order, e.g. "16 bits, 44,100, Stereo".
    template <size_t N>
    static std::string Checked(const harness::MessageBoxInfo& dialog, const Choice (&choices)[N]) {
        std::string labels;
        for (const Choice& choice : choices) {
            HWND control = GetDlgItem(dialog.box, choice.id);
            DWORD_PTR state = 0;
            if (!control || !SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_NORMAL, 3000, &state))
                return std::string("no control ") + std::to_string(choice.id);
            if (state == BST_CHECKED) labels += (labels.empty() ? "" : ", ") + std::string(choice.label);
        }
        return labels;
    }
    static std::string WavChecks(const harness::MessageBoxInfo& d) { return Checked(d, kWavChoices); }
    static std::string Mp3Checks(const harness::MessageBoxInfo& d) { return Checked(d, kMp3Choices); }

    // A user's click on a control of a dialog; returns once the dialog has handled it.
    static bool Press(const harness::MessageBoxInfo& dialog, int id) {
        HWND control = GetDlgItem(dialog.box, id);
        DWORD_PTR result = 0;
        return control && SendMessageTimeoutA(control, BM_CLICK, 0, 0, SMTO_NORMAL, 3000, &result);
    }

    // Save Settings; returns bytes 6–19 of the settings file afterwards.
    std::string SaveSettings() {
        app_.PostCommand(kSaveSettings);
        EXPECT_EQ(app_.AnswerMessageBox("Save Settings", "OK").text, "New recording parameters saved.");
        std::string file = SettingsFile();
        return file.size() == 20 ? file.substr(6) : "a file of " + std::to_string(file.size()) + " bytes";
    }

    // Exit when no question is expected: the program ends without a box.
    ::testing::AssertionResult ExitsWithoutQuestion() {
        app_.PostCommand(kExit);
        if (app_.WaitForExit(5000)) return ::testing::AssertionSuccess();
        std::string boxes;
        for (const harness::MessageBoxInfo& box : app_.MessageBoxes()) boxes += " \"" + box.title + "\": " + box.text;
        return ::testing::AssertionFailure() << "the program did not end after Exit; showing:" << boxes;
    }

    // ---- the file choosers ----

    bool ClickSongNamePrompt() {
        POINT at = units_.Middle(kSongNamePrompt);
        return app_.Click(at.x, at.y);
    }

    // The visible file dialog of the program (a dialog that is neither of ours).
    harness::MessageBoxInfo WaitForChooser(const char* title) { return app_.WaitForMessageBox(title, 8000); }

    // Types `path` into the chooser's file name field and presses its OK button (Save or
    // Open); succeeds once the chooser has closed.
    ::testing::AssertionResult ChooseIn(const harness::MessageBoxInfo& chooser, const std::string& path) {
        HWND field = GetDlgItem(chooser.box, kFileNameEdit);
        if (!field || !IsWindowVisible(field)) {
            HWND combo = GetDlgItem(chooser.box, kFileNameCombo);
            field = nullptr;
            if (combo) EnumChildWindows(combo, FindEdit, reinterpret_cast<LPARAM>(&field));
        }
        if (!field) {
            std::string children;
            for (HWND c = GetWindow(chooser.box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                children += " " + harness::ClassName(c) + "#" + std::to_string(GetDlgCtrlID(c)) +
                            (IsWindowVisible(c) ? "" : "(hidden)");
            return ::testing::AssertionFailure() << "the file dialog \"" << chooser.title
                                                 << "\" has no file name field:" << children;
        }
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL, 3000,
                                 &result))
            return ::testing::AssertionFailure() << "cannot type into the file name field";
        return app_.Answer(chooser, IDOK);
    }
};

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

TEST_F(Dialogs, RipAlwaysOpensOnTheCdFormatAndCancelKeepsIt) {
    WriteSettingsFile(SettingsFileBytes(8, 11025, 1, 32, 0, true, false));
    Start();
    ASSERT_TRUE(app_.MenuChecked(kRip));
    harness::MessageBoxInfo wav = Open(kWavParams, kWavTitle);
    ASSERT_TRUE(wav.box);
    EXPECT_EQ(WavChecks(wav), "16 bits, 44,100, Stereo");
    ASSERT_TRUE(Press(wav, k8Bits));
    ASSERT_TRUE(Press(wav, kMono));
    EXPECT_EQ(WavChecks(wav), "8 bits, 44,100, Mono");
    ASSERT_TRUE(app_.Answer(wav, "OK"));
    EXPECT_TRUE(app_.NoMessageBoxWithin(500)) << "MP3 conversion is off: no MP3 dialog";
    EXPECT_TRUE(app_.MenuGrayed(kMp3Params));
    EXPECT_EQ(SaveSettings(), Fields("8\0" "44100" "1" "32\0" "0" "1" "0", 14));

    // The next opening shows the CD format again; Cancel leaves it in the settings.
    wav = Open(kWavParams, kWavTitle);
    ASSERT_TRUE(wav.box);
    EXPECT_EQ(WavChecks(wav), "16 bits, 44,100, Stereo");
    ASSERT_TRUE(app_.Answer(wav, "Cancel"));
    EXPECT_EQ(SaveSettings(), Fields("16" "44100" "2" "32\0" "0" "1" "0", 14));
    EXPECT_TRUE(ExitsWithoutQuestion()) << "saved: nothing left to ask";
}

TEST_F(Dialogs, ConvertBoxResetsTheFormatAndOkGoesOnToTheMp3Dialog) {
    Start();
    EXPECT_TRUE(app_.MenuGrayed(kMp3Params));
    harness::MessageBoxInfo wav = Open(kWavParams, kWavTitle);
    ASSERT_TRUE(wav.box);
    EXPECT_EQ(WavChecks(wav), "16 bits, 44,100, Stereo");
    ASSERT_TRUE(Press(wav, k8Bits));
    ASSERT_TRUE(Press(wav, k22050));
    ASSERT_TRUE(Press(wav, kMono));
    EXPECT_EQ(WavChecks(wav), "8 bits, 22,050, Mono");
    ASSERT_TRUE(Press(wav, kConvertBox));
    EXPECT_EQ(WavChecks(wav), "16 bits, 44,100, Stereo, Convert");
    ASSERT_TRUE(Press(wav, k8Bits));   // still free to choose
    EXPECT_EQ(WavChecks(wav), "8 bits, 44,100, Stereo, Convert");
    ASSERT_TRUE(app_.Answer(wav, "OK"));

    harness::MessageBoxInfo mp3 = app_.WaitForMessageBox(kMp3Title, 3000);
    ASSERT_TRUE(mp3.box) << "OK with conversion on opens the MP3 dialog at once";
    EXPECT_EQ(Mp3Checks(mp3), "128, Save WAV");
    ASSERT_TRUE(Press(mp3, k64));
    ASSERT_TRUE(Press(mp3, kKeepWavBox));
    EXPECT_EQ(Mp3Checks(mp3), "64");
    ASSERT_TRUE(app_.Answer(mp3, "OK"));
    EXPECT_FALSE(app_.MenuGrayed(kMp3Params));
    EXPECT_EQ(SaveSettings(), Fields("8\0" "44100" "2" "64\0" "1" "0" "1", 14));

    // Another bit rate, then Cancel: the rate of the opening comes back, and Cancel
    // changes nothing worth asking about at exit.
    mp3 = Open(kMp3Params, kMp3Title);
    ASSERT_TRUE(mp3.box);
    EXPECT_EQ(Mp3Checks(mp3), "64");
    ASSERT_TRUE(Press(mp3, k320));
    ASSERT_TRUE(app_.Answer(mp3, "Cancel"));
    mp3 = Open(kMp3Params, kMp3Title);
    ASSERT_TRUE(mp3.box);
    EXPECT_EQ(Mp3Checks(mp3), "64");
    ASSERT_TRUE(app_.Answer(mp3, "Cancel"));
    EXPECT_EQ(SaveSettings(), Fields("8\0" "44100" "2" "64\0" "1" "0" "1", 14));
    EXPECT_TRUE(ExitsWithoutQuestion());
}

TEST_F(Dialogs, CancelNeverOpensTheMp3DialogAndRestoresTheFormat) {
    WriteSettingsFile(SettingsFileBytes(8, 22050, 1, 320, 1, true, false));
    Start();
    harness::MessageBoxInfo wav = Open(kWavParams, kWavTitle);
    ASSERT_TRUE(wav.box);
    EXPECT_EQ(WavChecks(wav), "8 bits, 22,050, Mono");
    ASSERT_TRUE(Press(wav, kConvertBox));
    EXPECT_EQ(WavChecks(wav), "16 bits, 44,100, Stereo, Convert");
    ASSERT_TRUE(app_.Answer(wav, "Cancel"));
    EXPECT_TRUE(app_.NoMessageBoxWithin(800));
    EXPECT_TRUE(app_.MenuGrayed(kMp3Params)) << "conversion stays off";
    // The close box cancels too.
    wav = Open(kWavParams, kWavTitle);
    ASSERT_TRUE(wav.box);
    EXPECT_EQ(WavChecks(wav), "8 bits, 22,050, Mono");
    ASSERT_TRUE(Press(wav, kStereo));
    PostMessageA(wav.box, WM_CLOSE, 0, 0);
    EXPECT_TRUE(harness::WaitUntil([&] { return !IsWindow(wav.box); }, 3000));
    EXPECT_TRUE(app_.NoMessageBoxWithin(500));
    EXPECT_EQ(SaveSettings(), Fields("8\0" "22050" "1" "320" "1" "1" "0", 14));
    EXPECT_TRUE(ExitsWithoutQuestion());
}

TEST_F(Dialogs, LineInOffersMp3ParametersOnlyWhileConverting) {
    Start();
    SelectSource(kLineIn);
    harness::MessageBoxInfo wav = Open(kWavParams, kWavTitle);
    ASSERT_TRUE(wav.box);
    ASSERT_TRUE(app_.Answer(wav, "OK"));
    EXPECT_TRUE(app_.MenuGrayed(kMp3Params));

    wav = Open(kWavParams, kWavTitle);
    ASSERT_TRUE(wav.box);
    ASSERT_TRUE(Press(wav, kConvertBox));
    ASSERT_TRUE(app_.Answer(wav, "OK"));
    ASSERT_TRUE(app_.AnswerMessageBox(kMp3Title, "Cancel").box);
    EXPECT_FALSE(app_.MenuGrayed(kMp3Params));

    wav = Open(kWavParams, kWavTitle);
    ASSERT_TRUE(wav.box);
    EXPECT_EQ(WavChecks(wav), "16 bits, 44,100, Stereo, Convert");
    ASSERT_TRUE(Press(wav, kConvertBox));
    EXPECT_EQ(WavChecks(wav), "16 bits, 44,100, Stereo") << "unchecking changes no format";
    ASSERT_TRUE(app_.Answer(wav, "OK"));
    EXPECT_TRUE(app_.NoMessageBoxWithin(500));
    EXPECT_TRUE(app_.MenuGrayed(kMp3Params));
}

TEST_F(Dialogs, ConvertSourceOpensTheBoxCheckedAndKeepsMp3Parameters) {
    Start();
    SelectSource(kConvert);
    EXPECT_FALSE(app_.MenuGrayed(kMp3Params));
    harness::MessageBoxInfo wav = Open(kWavParams, kWavTitle);
    ASSERT_TRUE(wav.box);
    EXPECT_EQ(WavChecks(wav), "16 bits, 44,100, Stereo, Convert");
    ASSERT_TRUE(app_.Answer(wav, "Cancel"));
    EXPECT_TRUE(app_.NoMessageBoxWithin(500));
    EXPECT_FALSE(app_.MenuGrayed(kMp3Params));

    wav = Open(kWavParams, kWavTitle);
    ASSERT_TRUE(wav.box);
    ASSERT_TRUE(Press(wav, kConvertBox));
    ASSERT_TRUE(app_.Answer(wav, "OK"));
    EXPECT_TRUE(app_.NoMessageBoxWithin(500)) << "conversion of recordings is off: no MP3 dialog";
    EXPECT_FALSE(app_.MenuGrayed(kMp3Params));
    EXPECT_EQ(SaveSettings().substr(11), "310");
}

TEST_F(Dialogs, ExitAsksAfterOkAndYesSavesTheSettings) {
    WriteSettingsFile(SettingsFileBytes(16, 44100, 2, 128, 1, true, false));
    Start();
    SelectSource(kLineIn);   // a source change alone is no reason to ask
    harness::MessageBoxInfo wav = Open(kWavParams, kWavTitle);
    ASSERT_TRUE(wav.box);
    ASSERT_TRUE(Press(wav, k8Bits));
    ASSERT_TRUE(Press(wav, k22050));
    ASSERT_TRUE(app_.Answer(wav, "OK"));
    app_.PostCommand(kExit);
    harness::MessageBoxInfo question = app_.AnswerMessageBox("Save", "Yes");
    EXPECT_EQ(question.text, "Do you want to save the new settings?");
    EXPECT_EQ(app_.AnswerMessageBox("Save Settings", "OK").text, "New recording parameters saved.");
    EXPECT_TRUE(app_.WaitForExit(5000));
    EXPECT_EQ(SettingsFile(), "CDQRL1" + Fields("8\0" "22050" "2" "128" "2" "1" "0", 14));
}

TEST_F(Dialogs, ExitQuestionAnsweredNoLeavesTheFile) {
    std::string original = SettingsFileBytes(16, 44100, 2, 128, 1, true, false);
    WriteSettingsFile(original);
    Start();
    harness::MessageBoxInfo mp3 = Open(kMp3Params, kMp3Title);
    ASSERT_TRUE(mp3.box);
    ASSERT_TRUE(Press(mp3, k320));
    ASSERT_TRUE(app_.Answer(mp3, "OK"));
    app_.PostCommand(kExit);
    EXPECT_EQ(app_.AnswerMessageBox("Save", "No").text, "Do you want to save the new settings?");
    EXPECT_TRUE(app_.WaitForExit(5000));
    EXPECT_EQ(SettingsFile(), original);
}

// A settings file with values outside their sets (24 bits, 99,999 Hz, no channels,
// 655 kbit/s, source 9): each reads as its default, so the dialogs show a choice and
// nothing but allowed values is ever written back.
TEST_F(Dialogs, ValuesOutsideTheirSetsReadAsDefaults) {
    WriteSettingsFile("CDQRL1" + Fields("24" "99999" "0" "655" "9" "0" "1", 14));
    Start();
    EXPECT_TRUE(app_.MenuChecked(kRecordCd));
    harness::MessageBoxInfo wav = Open(kWavParams, kWavTitle);
    ASSERT_TRUE(wav.box);
    EXPECT_EQ(WavChecks(wav), "16 bits, 44,100, Stereo, Convert");
    ASSERT_TRUE(app_.Answer(wav, "Cancel"));
    harness::MessageBoxInfo mp3 = Open(kMp3Params, kMp3Title);
    ASSERT_TRUE(mp3.box);
    EXPECT_EQ(Mp3Checks(mp3), "128");
    ASSERT_TRUE(app_.Answer(mp3, "Cancel"));
    EXPECT_EQ(SaveSettings(), Fields("16" "44100" "2" "128" "1" "0" "1", 14));
    EXPECT_TRUE(ExitsWithoutQuestion());
}

TEST_F(Dialogs, SourceChangeAloneDoesNotAskAtExit) {
    Start();
    SelectSource(kLineIn);
    SelectSource(kConvert);
    EXPECT_TRUE(ExitsWithoutQuestion());
    EXPECT_FALSE(harness::FileExists(ScratchPath("CDQuorrel.ini")));
}

TEST_F(Dialogs, SaveChooserPutsTheChosenPathInLowerCase) {
    Start();
    ASSERT_TRUE(CreateDirectoryA(ScratchPath("Music").c_str(), nullptr));
    std::string before = app_.ControlText(kSongName);
    ASSERT_TRUE(ClickSongNamePrompt());
    harness::MessageBoxInfo chooser = WaitForChooser("");
    ASSERT_TRUE(chooser.box);
    ASSERT_TRUE(app_.Answer(chooser, IDCANCEL));
    EXPECT_EQ(app_.ControlText(kSongName), before) << "a cancelled choice leaves the field";

    ASSERT_TRUE(ClickSongNamePrompt());
    chooser = WaitForChooser("");
    ASSERT_TRUE(chooser.box);
    std::string path = ScratchPath("Music\\Song.WAV");
    ASSERT_TRUE(ChooseIn(chooser, path));
    EXPECT_TRUE(harness::WaitUntil([&] { return app_.ControlText(kSongName) == Lower(path); }, 3000))
        << app_.ControlText(kSongName);
    EXPECT_FALSE(app_.IsEnabled(kPlayBack)) << "nothing recorded yet";
    EXPECT_FALSE(harness::FileExists(path)) << "choosing makes no file";
}

TEST_F(Dialogs, OpenChooserInConvertSetsThePlayBackFile) {
    Start();
    SelectSource(kConvert);
    ASSERT_TRUE(CreateDirectoryA(ScratchPath("Tunes").c_str(), nullptr));
    std::string pcm = LineInPcm(44100 * 3);
    std::vector<uint8_t> wav = rig::MakeWavFile(rig::kCdFormat, std::vector<uint8_t>(pcm.begin(), pcm.end()));
    std::string path = ScratchPath("Tunes\\Take One.WAV");
    ASSERT_TRUE(harness::WriteFile(path, std::string(wav.begin(), wav.end())));
    EXPECT_FALSE(app_.IsEnabled(kPlayBack));
    ASSERT_TRUE(ClickSongNamePrompt());
    harness::MessageBoxInfo chooser = WaitForChooser("");
    ASSERT_TRUE(chooser.box);
    ASSERT_TRUE(ChooseIn(chooser, path));
    EXPECT_TRUE(harness::WaitUntil([&] { return app_.ControlText(kSongName) == Lower(path); }, 3000))
        << app_.ControlText(kSongName);
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kPlayBack); }, 3000));
    // Play Back plays the chosen file.
    ASSERT_TRUE(app_.ClickButton(kPlayBack));
    EXPECT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kStopPlayBack); }, 3000));
    EXPECT_TRUE(app_.MessageBoxes().empty());
    ASSERT_TRUE(app_.ClickButton(kStopPlayBack));
}

TEST_F(Dialogs, PromptOffersNoChoiceWhileRecording) {
    Start();
    SelectSource(kLineIn);
    PressPlayFor(ScratchPath("take"));
    ASSERT_TRUE(Recording());
    ASSERT_TRUE(ClickSongNamePrompt());
    EXPECT_TRUE(app_.NoMessageBoxWithin(1000));
    ASSERT_TRUE(ClickTimeDisplay());   // abandon
    ASSERT_TRUE(harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, 3000));
    ASSERT_TRUE(ClickSongNamePrompt());
    harness::MessageBoxInfo chooser = WaitForChooser("");
    ASSERT_TRUE(chooser.box) << "idle again: the prompt offers the chooser";
    EXPECT_TRUE(app_.Answer(chooser, IDCANCEL));
}

}  // namespace
}  // namespace quorrel
