// What the end-to-end tests of CDQuorrel.exe share: its ids, its layout units, test
// discs in the virtual drive, and a fixture that starts the program in a scratch folder.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "disc.h"
#include "discgen.h"
#include "harness.h"
#include "layout.h"
#include "resource.h"
#include "rig_state.h"
#include "soundcard.h"
#include "toc.h"

namespace quorrel {

// The program's own ids, by shorter names.
enum Id {
    kPlay = IDC_MAIN_PLAY, kSave = IDC_MAIN_SAVE, kPlayBack = IDC_MAIN_PLAYBACK, kStopPlayBack = IDC_MAIN_STOPPLAYBACK,
    kEject = IDC_MAIN_EJECT, kExit = IDC_MAIN_EXIT, kPrevTrack = IDC_MAIN_PREVTRACK, kNextTrack = IDC_MAIN_NEXTTRACK,
    kFirstTrack = IDC_MAIN_FIRSTTRACK, kLastTrack = IDC_MAIN_LASTTRACK, kTracksMenu = IDM_TRACKS,
    kSaveSettings = IDM_SAVESETTINGS, kRecordCd = IDM_RECORDCD, kLineIn = IDM_LINEIN, kPartial = IDM_PARTIAL,
    kConvert = IDM_CONVERT, kRip = IDM_RIP, kWavParams = IDM_WAVPARAMS, kMp3Params = IDM_MP3PARAMS,
    kSongName = IDC_MAIN_SONGNAME, kFlac = IDM_FLAC,
};

const int kTrackButtons[] = {kFirstTrack, kPrevTrack, kNextTrack, kLastTrack};
// The menu items a recording grays until it is saved or abandoned.
const int kRecordingGrays[] = {kWavParams, kRip, kRecordCd, kLineIn, kConvert, kPartial, kTracksMenu, kFlac};

const uint32_t kDiscSeed = 7;   // the material of the discs InsertDisc makes
const char kSavedText[] = "I have saved the song to your hard drive.";
const char kBatchSavedText[] = "I have saved the requested songs to your hard drive.";

// The entries of a list box of another process, in order. Asked in UTF-16: Wine hands
// LB_GETTEXT across processes in the list box's own (wide) characters.
inline std::vector<std::string> ListBoxTexts(HWND list) {
    std::vector<std::string> texts;
    DWORD_PTR count = 0;
    if (!list || !SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 3000, &count)) return texts;
    for (int i = 0; i < static_cast<int>(count); ++i) {
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_NORMAL, 3000, &length) || length > 4096) break;
        std::wstring wide(length + 16, L'\0');   // room to spare for the terminator
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&wide[0]), SMTO_NORMAL, 3000, &copied))
            break;
        wide.resize(std::min<size_t>(copied, length));
        std::string text;
        for (wchar_t c : wide) text += c < 0x80 ? static_cast<char>(c) : '?';
        texts.push_back(text);
    }
    return texts;
}

// The settings file "CDQuorrel.ini": six bytes the reader skips, then the seven fields,
// each a decimal number left-aligned in its width, a shorter one followed by a NUL.
inline std::string SettingsFileBytes(int bits, int rate, int channels, int kbps, int source, bool keepWav,
                                     bool convertToMp3) {
    auto field = [](int value, size_t width) {
        std::string text = std::to_string(value);
        text.resize(width, '\0');
        return text;
    };
    return "CDQRL1" + field(bits, 2) + field(rate, 5) + field(channels, 1) + field(kbps, 3) + field(source, 1) +
           (keepWav ? "1" : "0") + (convertToMp3 ? "1" : "0");
}

// A canonical 44-byte-header PCM WAV file as the sound card saves it.
struct WavFile {
    int channels = 0, rate = 0, bits = 0;
    uint32_t byteRate = 0;
    int blockAlign = 0;
    std::string data;
};

inline ::testing::AssertionResult ReadWavFile(const std::string& path, WavFile* wav) {
    std::string bytes;
    if (!harness::ReadFile(path, &bytes)) return ::testing::AssertionFailure() << "cannot read " << path;
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") || bytes.compare(8, 8, "WAVEfmt ") ||
        bytes.compare(36, 4, "data"))
        return ::testing::AssertionFailure() << path << " has no canonical WAV header";
    auto u16 = [&](size_t at) { return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8; };
    auto u32 = [&](size_t at) { return static_cast<uint32_t>(u16(at)) | static_cast<uint32_t>(u16(at + 2)) << 16; };
    if (u32(16) != 16 || u16(20) != 1) return ::testing::AssertionFailure() << path << ": not a PCM format chunk";
    wav->channels = u16(22);
    wav->rate = static_cast<int>(u32(24));
    wav->byteRate = u32(28);
    wav->blockAlign = u16(32);
    wav->bits = u16(34);
    uint32_t size = u32(40);
    if (44 + size + (size & 1) != bytes.size() || u32(4) != bytes.size() - 8)
        return ::testing::AssertionFailure() << path << ": the sizes in the header do not match the file";
    wav->data = bytes.substr(44, size);
    return ::testing::AssertionSuccess();
}

// Whether `data` holds `expected` (aligned to `blockAlign`) with nothing but `silence`
// before and after it: a recording of one play and nothing else.
inline ::testing::AssertionResult HoldsBetweenSilence(const std::string& data, const std::string& expected,
                                                      int blockAlign, char silence = '\0') {
    if (expected.empty()) return ::testing::AssertionFailure() << "nothing expected";
    size_t at = data.find(expected);
    if (at == std::string::npos)
        return ::testing::AssertionFailure() << "the " << expected.size() << " expected bytes are not in the "
                                             << data.size() << " recorded bytes";
    if (at % blockAlign != 0) return ::testing::AssertionFailure() << "found at byte " << at << ", not on a sample";
    size_t before = data.find_first_not_of(silence);
    if (before < at) return ::testing::AssertionFailure() << "sound at byte " << before << " before the play at " << at;
    size_t after = data.find_first_not_of(silence, at + expected.size());
    if (after != std::string::npos)
        return ::testing::AssertionFailure() << "sound at byte " << after << " after the play ended at byte "
                                             << at + expected.size();
    return ::testing::AssertionSuccess() << "after " << at << " bytes of silence";
}

// Where `data` begins within `track` (a block-aligned offset), when `data` is a stretch
// of it, possibly followed by silence once the track has ended; npos otherwise.
inline size_t StretchOf(const std::string& track, const std::string& data, size_t blockAlign,
                        std::string* why) {
    const size_t probe = 4096;
    if (data.size() < probe) {
        *why = "only " + std::to_string(data.size()) + " bytes recorded";
        return std::string::npos;
    }
    size_t at = track.find(data.substr(0, probe));
    if (at == std::string::npos || at % blockAlign != 0) {
        *why = "the recording does not begin with a stretch of the track";
        return std::string::npos;
    }
    size_t inTrack = std::min(data.size(), track.size() - at);
    if (data.compare(0, inTrack, track, at, inTrack) != 0) {
        size_t from = 0;
        while (data[from] == track[at + from]) ++from;
        *why = "the recording departs from the track " + std::to_string(from) + " bytes in (of " +
               std::to_string(data.size()) + "; from there " +
               (data.find_first_not_of('\0', from) == std::string::npos ? "silence" : "sound") + ")";
        return std::string::npos;
    }
    if (data.find_first_not_of('\0', inTrack) != std::string::npos) {
        *why = "sound after the end of the track";
        return std::string::npos;
    }
    return at;
}

// A WAV file of CD audio whose samples never repeat within it: a line input.
inline std::string LineInPcm(size_t pairs) {
    std::string pcm(pairs * 4, '\0');
    for (size_t i = 0; i < pairs * 2; ++i) {
        int16_t v = static_cast<int16_t>((i * 7919 + i / 3) % 20000 - 10000);
        std::memcpy(&pcm[i * 2], &v, 2);
    }
    return pcm;
}

// The layout units the program measures: its window's default (system) font.
struct Units {
    int cw = 0, lh = 0;
    int X(int tenths) const { return cw * tenths / 10; }
    int Y(int tenths) const { return lh * tenths / 10; }
    // An area of the program's layout in pixels, and its middle.
    RECT Of(const Area& area) const { return {X(area.left), Y(area.top), X(area.right), Y(area.bottom)}; }
    POINT Middle(const Area& area) const { return {X((area.left + area.right) / 2), Y((area.top + area.bottom) / 2)}; }
};

inline Units MeasureUnits() {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return Units{tm.tmAveCharWidth, tm.tmHeight + tm.tmExternalLeading};
}

// The drive's length text of a track, "mm:ss:ff" (the last track one frame short).
inline std::string LengthText(const std::vector<long>& trackFrames, int track) {
    rig::Disc disc;
    long start = 0;
    for (long frames : trackFrames) {
        disc.trackStarts.push_back(start);
        start += frames;
    }
    disc.leadout = start;
    rig::Msf msf = rig::FramesToMsf(rig::TrackLengthFrames(disc, track));
    char text[16];
    snprintf(text, sizeof text, "%02d:%02d:%02d", msf.m, msf.s, msf.f);
    return text;
}

inline LOGFONTA ArialFont(int height, int weight) {
    LOGFONTA font = {};
    font.lfHeight = height;
    font.lfWeight = weight;
    snprintf(font.lfFaceName, sizeof font.lfFaceName, "%s", "Arial");
    return font;
}

// `text` as a device context draws it with `font` (null: the system font) in `fg` on an
// opaque `bg`: the pixels of its cell (0x00RRGGBB, top row first).
struct DrawnText {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    COLORREF Pixel(int i, int j) const {
        uint32_t p = pixels[static_cast<size_t>(j) * width + i];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

inline DrawnText DrawTextCell(const std::string& text, const LOGFONTA* font, COLORREF fg, COLORREF bg) {
    DrawnText drawn;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HFONT created = font ? CreateFontIndirectA(font) : nullptr;
    HGDIOBJ oldFont = SelectObject(dc, created ? static_cast<HGDIOBJ>(created) : GetStockObject(SYSTEM_FONT));
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = size.cx > 0 && size.cy > 0 ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0)
                                                : nullptr;
    if (bitmap && bits) {
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        SetTextColor(dc, fg);
        SetBkColor(dc, bg);
        SetBkMode(dc, OPAQUE);
        TextOutA(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        drawn.width = size.cx;
        drawn.height = size.cy;
        drawn.pixels.assign(p, p + static_cast<size_t>(size.cx) * size.cy);
        for (uint32_t& pixel : drawn.pixels) pixel &= 0xFFFFFF;
        SelectObject(dc, oldBitmap);
    }
    if (bitmap) DeleteObject(bitmap);
    SelectObject(dc, oldFont);
    if (created) DeleteObject(created);
    DeleteDC(dc);
    return drawn;
}

// Whether `image` shows `text` at (x, y) exactly as a device context draws it with
// `font` (null: the system font) in `fg` on an opaque `bg`: the test draws the same
// text itself and compares every pixel (only those inside `clip`, when given: a paint
// of one area draws no further).
inline ::testing::AssertionResult ShowsText(const harness::Image& image, int x, int y, const std::string& text,
                                            const LOGFONTA* font, COLORREF fg, COLORREF bg,
                                            const RECT* clip = nullptr) {
    DrawnText drawn = DrawTextCell(text, font, fg, bg);
    if (drawn.pixels.empty()) return ::testing::AssertionFailure() << "cannot measure \"" << text << "\"";
    int mismatches = 0, firstX = 0, firstY = 0;
    for (int j = 0; j < drawn.height; ++j)
        for (int i = 0; i < drawn.width; ++i) {
            POINT at = {x + i, y + j};
            if (clip && !PtInRect(clip, at)) continue;
            if (image.Pixel(at.x, at.y) != drawn.Pixel(i, j) && mismatches++ == 0) {
                firstX = at.x;
                firstY = at.y;
            }
        }
    if (mismatches == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\" is not shown at (" << x << ", " << y << "): "
                                         << mismatches << " of " << drawn.width * drawn.height
                                         << " pixels differ, the first at (" << firstX << ", " << firstY << ")";
}

// A text the status area paints, and the box its glyphs must keep to: its area within
// its frame.
struct PaintedText {
    std::string text;
    const LOGFONTA* font;   // null: the system font
    int x, y;
    COLORREF fg, bg;
    RECT box;
};

// The smallest rectangle holding the pixels that `t`'s glyphs colour where it is drawn.
inline RECT GlyphBox(const PaintedText& t) {
    DrawnText drawn = DrawTextCell(t.text, t.font, RGB(0, 0, 0), RGB(255, 255, 255));
    RECT box = {};
    for (int j = 0; j < drawn.height; ++j)
        for (int i = 0; i < drawn.width; ++i) {
            if (drawn.Pixel(i, j) == RGB(255, 255, 255)) continue;
            RECT pixel = {t.x + i, t.y + j, t.x + i + 1, t.y + j + 1};
            UnionRect(&box, &box, &pixel);
        }
    return box;
}

// Whether `image` shows each text where it is painted, its glyphs inside its box and
// apart from every other text's glyphs.
inline ::testing::AssertionResult TextsInPlace(const harness::Image& image, const std::vector<PaintedText>& texts) {
    std::vector<RECT> glyphs;
    for (const PaintedText& t : texts) {
        ::testing::AssertionResult shown = ShowsText(image, t.x, t.y, t.text, t.font, t.fg, t.bg);
        if (!shown) return shown;
        RECT g = GlyphBox(t), inside;
        if (IsRectEmpty(&g)) return ::testing::AssertionFailure() << "\"" << t.text << "\" has no glyphs";
        if (!IntersectRect(&inside, &g, &t.box) || !EqualRect(&inside, &g))
            return ::testing::AssertionFailure() << "\"" << t.text << "\" (" << g.left << ", " << g.top << ")-("
                                                 << g.right << ", " << g.bottom << ") runs out of its box ("
                                                 << t.box.left << ", " << t.box.top << ")-(" << t.box.right << ", "
                                                 << t.box.bottom << ")";
        for (size_t k = 0; k < glyphs.size(); ++k)
            if (IntersectRect(&inside, &g, &glyphs[k]))
                return ::testing::AssertionFailure() << "\"" << t.text << "\" meets \"" << texts[k].text << "\"";
        glyphs.push_back(g);
    }
    return ::testing::AssertionSuccess();
}

// A value of the program's own key (HKCU\Software\CD Quorrel): `text` as REG_SZ, or
// removed when empty.
inline void SetProgramValue(const char* name, const std::string& text) {
    harness::SetUserString("Software\\CD Quorrel", name, text);
}

// Where no AccurateRip database answers: a port of this machine nothing listens on. The
// tests never let the program reach past the machine.
const char kNoDatabase[] = "http://127.0.0.1:1/";

// While it lives, `folder` takes no new files (and none can be removed from it): made
// immutable on the Linux side, or without write permission where that cannot be done.
// Files already in it can still be written. Given back in any case at the end.
class ReadOnlyFolder {
public:
    ReadOnlyFolder(const std::string& folder, const std::string& workDir)
        : unix_(harness::UnixPath(folder)), workDir_(workDir) {
        int code = -1;
        locked_ = !unix_.empty() &&
                  harness::RunUnixShell("chattr +i '" + unix_ + "' || chmod a-w '" + unix_ + "'", workDir, &code) &&
                  code == 0 && !TakesNewFiles(folder);
    }
    ~ReadOnlyFolder() {
        int code = -1;
        if (unix_.empty()) return;
        harness::RunUnixShell("chattr -i '" + unix_ + "'; chmod u+w '" + unix_ + "'", workDir_, &code);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool Locked() const { return locked_; }

private:
    static bool TakesNewFiles(const std::string& folder) {
        std::string probe = harness::JoinPath(folder, "probe.tmp");
        HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        CloseHandle(file);
        DeleteFileA(probe.c_str());
        return true;
    }
    std::string unix_, workDir_;
    bool locked_ = false;
};

// ---- reading the tag with mutagen ----

// Prints the ID3v2 version and each frame but LAME's encoder frame (TSSE) as
// "ID:encoding=text" ("TXXX:0:description=text"), sorted; "untagged" without a tag.
const char kTagReader[] = R"(import sys
from mutagen.id3 import ID3, ID3NoHeaderError
out = open(sys.argv[2], 'w', encoding='utf-8')
try:
    tag = ID3(sys.argv[1], translate=False, load_v1=False)
except ID3NoHeaderError:
    out.write('untagged\n')
    sys.exit(0)
lines = []
for frame in tag.values():
    if frame.FrameID == 'TSSE':
        continue
    desc = frame.desc + '=' if frame.FrameID == 'TXXX' else ''
    lines.append('%s:%d:%s%s' % (frame.FrameID, frame.encoding, desc, '/'.join(frame.text)))
out.write('ID3v2.%d.%d\n' % tag.version[1:] + ''.join(l + '\n' for l in sorted(lines)))
)";

inline ::testing::AssertionResult ReadTags(const std::string& mp3Path, std::vector<std::string>* lines) {
    std::string dir = mp3Path.substr(0, mp3Path.find_last_of('\\')), script = mp3Path + ".tags.py";
    std::string out = mp3Path + ".tags.txt", text;
    if (!harness::WriteFile(script, kTagReader)) return ::testing::AssertionFailure() << "cannot write " << script;
    int code = -1;
    // Debian's own Python, which python3-mutagen is installed for.
    bool ran = harness::RunUnixShell("/usr/bin/python3 '" + harness::UnixPath(script) + "' '" + harness::UnixPath(mp3Path) +
                                         "' '" + harness::UnixPath(out) + "'",
                                     dir, &code);
    bool read = harness::ReadFile(out, &text);
    DeleteFileA(script.c_str());
    DeleteFileA(out.c_str());
    if (!ran || code != 0 || !read) return ::testing::AssertionFailure() << "mutagen failed (" << code << ")";
    lines->clear();
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines->push_back(text.substr(at, end - at));
    return ::testing::AssertionSuccess();
}

// Starts CDQuorrel.exe in a scratch folder with the rig in a known state.
class QuorrelTest : public ::testing::Test {
protected:
    void SetUp() override {
        rigstate::Reset();
        SetProgramValue("AccurateRipUrl", kNoDatabase);
        SetProgramValue("MusicBrainzUrl", kNoDatabase);   // no name source unless a test serves one
        SetProgramValue("FreedbUrl", kNoDatabase);
        SetProgramValue("ConvertToFlac", "");   // off unless a test turns it on
        SetProgramValue("ReadOffset", "");
        SetProgramValue("DriveOffsets", "");   // no drive list kept from an earlier test
        dir_ = harness::ScratchDir();
        units_ = MeasureUnits();
    }
    void TearDown() override {
        app_.Kill();
        rigstate::Reset();
    }

    // Writes a disc into the scratch folder (a CD-Extra with `dataFrames` sectors of
    // data after the audio tracks); returns its .cue path.
    std::string MakeDisc(const std::string& name, const std::vector<long>& frames, uint32_t seed = kDiscSeed,
                         long dataFrames = 0, const akrip::CdText* text = nullptr) {
        std::string cue = harness::JoinPath(dir_, name + ".cue"), error;
        EXPECT_TRUE(discgen::WriteDisc(cue, frames, seed, &error, dataFrames, text)) << error;
        return cue;
    }
    void InsertDisc(const std::vector<long>& frames, const std::string& name = "disc", long dataFrames = 0,
                    const akrip::CdText* text = nullptr) {
        frames_ = frames;
        rigstate::SetDisc(MakeDisc(name, frames, kDiscSeed, dataFrames, text));
        rigstate::SetDoorOpen(false);
    }

    void WriteSettingsFile(const std::string& bytes) {
        ASSERT_TRUE(harness::WriteFile(harness::JoinPath(dir_, "CDQuorrel.ini"), bytes));
    }
    std::string SettingsFile() { return harness::ReadFileOrEmpty(harness::JoinPath(dir_, "CDQuorrel.ini")); }

    // Starts the program (or another copy of it) and waits for its main window. The
    // encoder library's notice at start-up is answered as it comes.
    bool Launch() { return Launch(app_); }
    bool Launch(harness::Program& copy) {
        if (!copy.Start(harness::BinPath("CDQuorrel.exe"), dir_)) return false;
        copy.AutoAnswer({"MP3 Error", "", "OK"});
        return copy.WaitForWindow("CDQuorl") != nullptr;
    }
    // Waits until the start-up check or the poll has read the disc (Play enabled) and the
    // program is done with it: the names of a new disc are looked up on the same tick, after
    // Play comes on, so keys sent before the window answers again would wait for the lookup.
    ::testing::AssertionResult DiscRead(DWORD timeoutMs = 8000) {
        const DWORD start = GetTickCount();
        ::testing::AssertionResult enabled = harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, timeoutMs);
        if (!enabled) return enabled;
        const DWORD spent = GetTickCount() - start;
        return Answers(spent < timeoutMs ? timeoutMs - spent : 1);
    }
    // Waits until the program's thread takes messages again (what it was doing, a lookup
    // or a conversion, has ended).
    ::testing::AssertionResult Answers(DWORD timeoutMs) {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutA(app_.Window(), WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "CD Quorrel's window did not answer within " << timeoutMs << " ms";
    }
    // Exit, answering "No" to the save question if it comes; the exit code.
    DWORD ExitProgram() {
        app_.PostCommand(kExit);
        DWORD code = 0xFFFF;
        EXPECT_TRUE(app_.WaitForExit(10000, &code)) << "CD Quorrel did not end after Exit";
        return code;
    }

    bool TrackButtonsEnabled() {
        for (int id : kTrackButtons)
            if (!app_.IsEnabled(id)) return false;
        return true;
    }
    bool TrackButtonsDisabled() {
        for (int id : kTrackButtons)
            if (app_.IsEnabled(id)) return false;
        return true;
    }

    // The client area once the program has painted it.
    harness::Image Screen() { return app_.CaptureClientSettled(); }

    // Whether the track-length area shows `length` (its first five characters).
    ::testing::AssertionResult ShowsLength(const std::string& length) {
        LOGFONTA font = ArialFont(14, FW_NORMAL);
        RECT area = units_.Of(kTrackLengthArea);
        return ShowsText(Screen(), units_.X(225), units_.Y(114), length.substr(0, 5), &font, RGB(0, 0, 0),
                         GetSysColor(COLOR_BTNFACE), &area);
    }
    // Whether the time display shows the current track `track`.
    ::testing::AssertionResult ShowsTrack(const std::string& track) {
        LOGFONTA font = ArialFont(32, FW_BOLD);
        return ShowsText(Screen(), units_.X(track.size() == 2 ? 30 : 40), units_.Y(7), track, &font,
                         RGB(0, 255, 0), RGB(0, 0, 0));
    }

    // ---- recordings ----

    std::string ScratchPath(const std::string& name) const { return harness::JoinPath(dir_, name); }

    // The raw bytes of the first `frames` frames of `track` of the disc in the drive
    // (all of it when frames is negative).
    std::string TrackPcm(int track, long frames = -1) const {
        std::vector<uint8_t> bytes;
        discgen::TrackFrames(kDiscSeed, track, 0, frames < 0 ? frames_[track - 1] : frames, &bytes);
        return std::string(bytes.begin(), bytes.end());
    }

    // Gives the line input a WAV file of CD audio with `pairs` sample pairs; its data.
    std::string SetLineIn(size_t pairs) {
        std::string pcm = LineInPcm(pairs);
        std::vector<uint8_t> file = rig::MakeWavFile(rig::kCdFormat, std::vector<uint8_t>(pcm.begin(), pcm.end()));
        std::string path = ScratchPath("line-in source.wav");
        EXPECT_TRUE(harness::WriteFile(path, std::string(file.begin(), file.end())));
        rigstate::SetLineIn(path);
        return pcm;
    }

    // Types `song` into the song name field and presses Play.
    void PressPlayFor(const std::string& song) {
        ASSERT_TRUE(app_.SetControlText(kSongName, song));
        ASSERT_TRUE(app_.ClickButton(kPlay)) << "Play is not enabled";
    }
    // Waits until a recording runs (Save enabled).
    ::testing::AssertionResult Recording(DWORD timeoutMs = 5000) {
        return harness::WaitUntil([&] { return app_.IsEnabled(kSave) && !app_.IsEnabled(kPlay); }, timeoutMs);
    }
    // Waits for the notice of a saved single recording, which is titled with its file
    // name, and answers it; then waits until Play is offered again.
    ::testing::AssertionResult Saved(const std::string& title, DWORD timeoutMs = 8000) {
        harness::MessageBoxInfo box = app_.WaitForMessageBox("", timeoutMs);
        if (!box.box) return ::testing::AssertionFailure() << "no notice that " << title << " was saved";
        ::testing::AssertionResult answered = app_.Answer(box, "OK");
        if (!answered) return answered;
        if (box.title != title || box.text != kSavedText)
            return ::testing::AssertionFailure() << "expected \"" << title << "\": \"" << kSavedText << "\", saw \""
                                                 << box.title << "\": \"" << box.text << "\"";
        if (!harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, 3000))
            return ::testing::AssertionFailure() << "Play was not offered again after the save";
        return ::testing::AssertionSuccess();
    }
    // Waits for the notice that ends a batch of tracks (it must be the first box to come)
    // and answers it; then waits until Play is offered again.
    ::testing::AssertionResult BatchSaved(DWORD timeoutMs) {
        harness::MessageBoxInfo box = app_.WaitForMessageBox("", timeoutMs);
        if (!box.box) return ::testing::AssertionFailure() << "no notice that the batch was saved";
        ::testing::AssertionResult answered = app_.Answer(box, "OK");
        if (!answered) return answered;
        if (box.title != "Saved!" || box.text != kBatchSavedText)
            return ::testing::AssertionFailure() << "expected \"Saved!\": \"" << kBatchSavedText << "\", saw \""
                                                 << box.title << "\": \"" << box.text << "\"";
        if (!harness::WaitUntil([&] { return app_.IsEnabled(kPlay); }, 3000))
            return ::testing::AssertionFailure() << "Play was not offered again after the batch";
        return ::testing::AssertionSuccess();
    }
    // Presses Save on a running recording and waits for its notice.
    ::testing::AssertionResult SaveNow(const std::string& title) {
        if (!app_.ClickButton(kSave)) return ::testing::AssertionFailure() << "Save is not enabled";
        return Saved(title);
    }

    // The control that has the keyboard focus in the program's user-interface thread.
    HWND FocusedControl() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        DWORD thread = GetWindowThreadProcessId(app_.Window(), nullptr);
        return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
    }

    // A click inside the time display (the black panel at the top).
    bool ClickTimeDisplay() { return app_.Click(units_.X(100), units_.Y(15)); }
    // Whether the clock shows `minutes`:`seconds` as the clock tick draws it.
    ::testing::AssertionResult ShowsClock(const harness::Image& image, const std::string& minutes,
                                          const std::string& seconds) {
        LOGFONTA font = ArialFont(32, FW_BOLD);
        RECT beforeColon = {units_.X(200), 0, units_.X(247), units_.Y(30)};   // ":" is drawn over its right edge
        ::testing::AssertionResult m =
            ShowsText(image, units_.X(200), units_.Y(7), minutes, &font, RGB(0, 255, 0), RGB(0, 0, 0), &beforeColon);
        if (!m) return m;
        return ShowsText(image, units_.X(262), units_.Y(7), seconds, &font, RGB(0, 255, 0), RGB(0, 0, 0));
    }

    // Whether the prompt line above the song name field reads `text`.
    ::testing::AssertionResult ShowsPrompt(const std::string& text) {
        return ShowsText(Screen(), units_.X(kPromptLineArea.left), units_.Y(kPromptLineArea.top), text, nullptr,
                         RGB(131, 31, 58),
                         GetSysColor(COLOR_BTNFACE));
    }

    // Every item of kRecordingGrays grayed (or none of them, for `grayed` false).
    ::testing::AssertionResult RecordingItemsGrayed(bool grayed) {
        for (int id : kRecordingGrays)
            if (app_.MenuGrayed(id) != grayed)
                return ::testing::AssertionFailure() << "menu item " << id << (grayed ? " is not" : " is") << " grayed";
        return ::testing::AssertionSuccess();
    }

    harness::Program app_;
    std::string dir_;
    Units units_;
    std::vector<long> frames_;
};

}  // namespace quorrel
