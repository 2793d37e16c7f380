#pragma once
#include "app/IniFile.h"
#include "device/PhoneOperations.h"
#include "device/SystemWin.h"
#include "device/TextSplit.h"
#include "device/ToolRunnerWin.h"
#include "device/Win32Handles.h"
#include "image/RgbaImage.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class OpenedBundle;

struct ImageListTraits {
    using Type = HIMAGELIST;
    static Type Invalid() { return nullptr; }
    static void Close(Type list) { ImageList_Destroy(list); }
};
using UniqueImageList = UniqueResource<ImageListTraits>;

// What the window asks of the world outside it. The program uses the real ones; tests replace
// them so that nothing modal blocks a test and nothing leaves the machine.
struct FormSeams {
    // The general error reporting. Default: a modal error box (application title, stop icon).
    std::function<void(const std::string& message)> reportError;
    // The Open dialog. Fills `fileName` and returns true, or returns false when cancelled.
    std::function<bool(std::string& fileName)> chooseApkFile;
    // Shows a web address in the user's browser; throws VarnelError when it can't.
    std::function<void(const std::string& address)> openBrowser;
    // The running program's full path; empty means the real one. Its folder holds the settings
    // file and the "adb" tools folder.
    std::string exePath;
    // The raw command line; used instead of the process's own when `useCommandLine` is set.
    bool useCommandLine = false;
    std::string commandLine;
    // Closing the window ends the program; tests that make many windows turn this off.
    bool endProgramOnClose = true;
    // Ends the message loop (the close button, the end of the exit countdown). Default: a quit
    // request to this thread's loop.
    std::function<void()> terminateApplication;
    // Shows a long text to read (everything adb printed). Default: a message box.
    std::function<void(const std::string& text)> showDetails;
    // Puts a question about the phones, answered Yes (true) or No. Default: a Yes/No box whose
    // default button is No.
    std::function<bool(const std::string& question)> askYesNo;
    // The Open dialog with several files chosen at once; when set it is asked instead of
    // chooseApkFile. Default: the dialog with multiple selection.
    std::function<bool(std::vector<std::string>& fileNames)> chooseApkFiles;
    // Told when another instance started together has handed its packages to this window.
    std::function<void()> packagesArrived;
    // Told of the window as soon as it is made, before it reads a package.
    std::function<void(HWND window)> windowMade;
    // Checks the signatures of each package shown, on a thread of its own. Tests that are about
    // something else turn it off, so that their packages' permission boxes and installs are as
    // they were.
    bool checkSignatures = true;
};

// A text colour: either a system colour (COLOR_WINDOWTEXT...) or a fixed RGB value.
struct TextColor {
    int systemIndex = COLOR_WINDOWTEXT;
    COLORREF rgb = 0;
    bool isSystem = true;
    static TextColor System(int index) { return TextColor{index, 0, true}; }
    static TextColor Rgb(COLORREF value) { return TextColor{0, value, false}; }
    COLORREF Resolve() const { return isSystem ? GetSysColor(systemIndex) : rgb; }
    bool operator==(const TextColor& other) const {
        return isSystem == other.isSystem && (isSystem ? systemIndex == other.systemIndex : rgb == other.rgb);
    }
};

inline const TextColor kWindowTextColor = TextColor::System(COLOR_WINDOWTEXT);
inline const TextColor kRed = TextColor::Rgb(RGB(0xFF, 0x00, 0x00));
inline const TextColor kGreen = TextColor::Rgb(RGB(0x00, 0x80, 0x00));
inline const TextColor kMaroon = TextColor::Rgb(RGB(0x80, 0x00, 0x00));

// The one window of the program: a choose-a-file panel and an install panel sharing the content
// area, a status line and a row of buttons and links. Its handlers read the controls, call the
// package and phone logic (apkinfo/, device/) and write the controls; they are public so that
// tests drive them as the events would.
class TfrmMain {
public:
    // Builds the window and its controls and runs FormCreate, all before the window is shown.
    static std::unique_ptr<TfrmMain> Create(HINSTANCE instance, FormSeams seams = FormSeams());
    ~TfrmMain();
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;

    HWND Handle() const { return handle_; }
    void Show(int showCommand);
    bool IsClosed() const { return closed_; }

    // Runs one handler as an event does: an error that leaves it reaches the general error reporting.
    void Dispatch(const std::function<void()>& handler);

    // ---- Form state ----
    const std::string& GetApkFileName() const { return ApkFileName; }
    const std::string& GetPackageName() const { return PackageName; }
    const StringList& GetPermissionList() const { return PermissionList; }
    std::int32_t GetExitCountdown() const { return ExitCountdown; }
    bool IsTimerExitEnabled() const { return timerExitEnabled_; }
    bool IsInspecting() const { return inspecting_; }
    const std::string& ExeFolder() const { return exeFolder_; }
    const std::string& ExePath() const { return exePath_; }
    // True while imgShowIcon shows the built-in placeholder rather than a package's icon.
    bool ShowsPlaceholderIcon() const { return !apkIcon_; }
    SIZE ApkIconSize() const { return apkIconSize_; }
    // The density the window is laid out for (96 is the layout's own).
    UINT Dpi() const { return dpi_; }
    // The side of the package icon's box at the window's density.
    std::uint32_t IconBox() const;

    // ---- Start-up and the window ----
    void FormCreate();
    void FormResize();
    void FormClose();
    void btnCloseClick();

    // ---- Choosing a package ----
    void btnSelApkFileClick();
    void btnOpenApkClick();
    void FormDropFiles(HDROP drop);

    // ---- Close after install ----
    void ckbIsCloseClick();
    void StartExitCountdown();
    void TimerExitTimer();
    void lblExitClick();
    // The note beside the status line: why phones refused, or how long a run takes. A click shows
    // everything adb printed.
    void lblReasonClick();
    const std::string& ReasonDetails() const { return reasonDetails_; }
    // "打开" beside the status line after an install: opens the app on every phone that took it.
    void lblOpenAppClick();
    // The last install's outcome, phone by phone (empty while none has ended since the last run).
    const InstallResults& LastResults() const { return installResults_; }
    // The table of the last install's outcome, open while it is shown (null otherwise).
    HWND ResultsWindow() const { return resultsWindow_; }
    // The bundle on show (.apks, .xapk, .apkm), or none.
    const OpenedBundle* Bundle() const { return bundle_.get(); }

    // ---- The list of packages ----
    // Several packages chosen together show as a list where the permission box stands; the facts
    // panel shows the selected row's. One package chosen alone shows as it always did.
    bool ShowsShelf() const { return shelfShown_; }
    std::size_t ShelfCount() const;
    const std::string& ShelfPath(std::size_t row) const;
    // Why a row can't be installed (damaged, a bundle without a base); empty for a good one.
    const std::string& ShelfProblem(std::size_t row) const;
    // Puts the list in place of what is on show (a new choice), or adds to the list on show (a
    // drop onto it). Folders give the packages directly inside them.
    void ShowShelf(const std::vector<std::string>& paths);
    void AddToShelf(const std::vector<std::string>& paths);
    void SelectShelfRow(std::size_t row);
    // Del: the selected rows leave the list.
    void RemoveSelectedRows();
    // A double-click on a row: its permissions, in a window of their own.
    void ShowRowPermissions(std::size_t row);
    // The window with a row's permissions while it is open (null otherwise).
    HWND PermissionsWindow() const { return permissionsWindow_; }
    // Where a row's signature verdict goes: the text of its signature column, and whether an install
    // of the list asks first (a row not intact is installed only when the user says so).
    void SetRowSignature(std::size_t row, const std::string& label, bool intact);
    const std::string& ShelfSignature(std::size_t row) const;
    // Waits for the rows' verdicts, as an install does; false when the window closed meanwhile.
    bool AwaitShelfSignatures();
    // Packages that another instance started together handed over (WM_COPYDATA).
    void TakeHandedOver(const std::vector<std::string>& paths);
    // ---- The package's signatures ----
    // Checked after the facts show, on a worker thread; the verdict is the permission box's first
    // block, and a click on that block shows every certificate.
    enum class SignatureState { None, Checking, Done };
    SignatureState GetSignatureState() const { return signatureState_; }
    const std::string& SignatureSummaryText() const { return signatureSummary_; }
    const std::string& SignatureDetailsText() const { return signatureDetails_; }
    // True when the verdict is that phones will refuse the package (damaged, altered, unsigned).
    bool SignatureRefused() const { return signatureState_ == SignatureState::Done && signatureRefused_; }
    void SignatureBlockClick();
    // Dispatches messages until the check of the package on show has ended.
    void AwaitSignatureCheck();

    // ---- Phone operations ----
    void btnInstallClick();
    void btnUninstallClick();
    bool IsDeviceConnected(const StringList& lines) const;
    bool HasDoubleByteChars(const std::string& text) const;
    void MakeTempApkPath(std::string& path) const;

    // ---- Links ----
    // The five link labels behave alike; each label's handlers name it.
    void LinkMouseEnter(HWND label);
    void LinkMouseLeave(HWND label);
    void LinkClick(HWND label);
    void lblGoMarketMouseEnter() { LinkMouseEnter(lblGoMarket); }
    void lblGoMarketMouseLeave() { LinkMouseLeave(lblGoMarket); }
    void lblGoMarketClick() { LinkClick(lblGoMarket); }
    void lblDownDriverMouseEnter() { LinkMouseEnter(lblDownDriver); }
    void lblDownDriverMouseLeave() { LinkMouseLeave(lblDownDriver); }
    void lblDownDriverClick() { LinkClick(lblDownDriver); }
    void lblHelpMouseEnter() { LinkMouseEnter(lblHelp); }
    void lblHelpMouseLeave() { LinkMouseLeave(lblHelp); }
    void lblHelpClick() { LinkClick(lblHelp); }
    void lblCheckUpdateMouseEnter() { LinkMouseEnter(lblCheckUpdate); }
    void lblCheckUpdateMouseLeave() { LinkMouseLeave(lblCheckUpdate); }
    void lblCheckUpdateClick() { LinkClick(lblCheckUpdate); }
    void lblDownHintMouseEnter() { LinkMouseEnter(lblDownHint); }
    void lblDownHintMouseLeave() { LinkMouseLeave(lblDownHint); }
    void lblDownHintClick() { LinkClick(lblDownHint); }

    // ---- Package facts ----
    void InspectApk(const std::string& path);
    void ShowFileSize(const std::string& path);
    void ParseBadging(const StringList& lines);
    void ShowPermissions();
    void AppendPermissionInfo(const std::string& name);
    void ShowApkIcon(const std::string& apkPath, const std::string& memberName);

    // ---- Console tools ----
    // Runs a tool; returns false (output untouched) when it could not be started.
    bool RunCommandText(const std::string& commandLine, std::string& output);
    StringList RunCommandLines(const std::string& commandLine);

    // ---- Controls and their looks ----
    void SetCaption(HWND control, const std::string& text);
    std::string GetCaption(HWND control) const;
    void SetFontColor(HWND control, const TextColor& color);
    TextColor GetFontColor(HWND control) const;
    bool IsTicked(HWND checkBox) const;
    // Changes the check box; a change of state runs its click handler, as a user's click does.
    void SetTicked(HWND checkBox, bool ticked);
    // The application-wide cursor, which overrides every control's own (null: the default).
    void SetAppCursor(HCURSOR cursor);
    HCURSOR AppCursor() const { return appCursor_; }

    HWND PanelDefault = nullptr;
    HWND GBoxInfo = nullptr;
    HWND Image2 = nullptr;
    HWND btnSelApkFile = nullptr;
    HWND PanelInstall = nullptr;
    HWND GroupBoxPermission = nullptr;
    HWND txtPermissionInfo = nullptr;
    HWND GroupBoxBasic = nullptr;
    HWND imgShowIcon = nullptr;
    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HWND Label3 = nullptr;
    HWND Label4 = nullptr;
    HWND Label5 = nullptr;
    HWND lblAppName = nullptr;
    HWND lblAppVersion = nullptr;
    HWND lblSysRequest = nullptr;
    HWND lblFileSize = nullptr;
    HWND lblPackageName = nullptr;
    HWND PanelBtn = nullptr;
    HWND lblGoMarket = nullptr;
    HWND lblDownDriver = nullptr;
    HWND lblHelp = nullptr;
    HWND lblCheckUpdate = nullptr;
    HWND btnInstall = nullptr;
    HWND btnUninstall = nullptr;
    HWND btnClose = nullptr;
    HWND btnOpenApk = nullptr;
    HWND ckbIsClose = nullptr;
    HWND PanelStatus = nullptr;
    HWND GroupBox1 = nullptr;
    HWND Image1 = nullptr;
    HWND lblHintInfo = nullptr;
    HWND lblExit = nullptr;
    HWND lblDownHint = nullptr;
    HWND lblReason = nullptr;
    HWND lblOpenApp = nullptr;
    HWND GroupBoxPackages = nullptr;
    HWND lvPackages = nullptr;

    // The layout's client area at 96 DPI, which every system must give the window (scaled to
    // the window's density).
    static constexpr int kClientWidth = 567;
    static constexpr int kClientHeight = 331;
    // The side of the square the package's icon is fitted into, at 96 DPI.
    static constexpr std::uint32_t kIconBox = 72;

private:
    struct ControlLook;
    struct LayoutRow;
    class PhoneView;
    struct ShelfRow;
    struct ShelfSignatureWork;
    struct SignatureWork;
    enum class FontKind { Default, Link, Status };

    // Every control of the window, in creation order, placed in pixels at 96 DPI.
    static const LayoutRow kLayout[];

    explicit TfrmMain(HINSTANCE instance, FormSeams seams);
    void CreateControls();
    void CreateControl(const LayoutRow& row);
    void ApplyTabOrder(const std::vector<HWND>& order);
    void AutoSizeLabel(HWND label);
    HFONT Font(FontKind kind) const;
    int Scaled(int value) const;
    // Fonts and pictures made for the window's density.
    void CreateFonts();
    void LoadLogos();
    // Puts every control at its place for the window's density, in its font.
    void LayOutControls();
    // Gives the window its outer size for the density, at `topLeft` (or where it is).
    void PlaceWindow(const POINT* topLeft);
    void SetRichEditZoom();
    void RefitApkIcon();
    // WM_DPICHANGED: the window moved to a monitor of another density, or the density changed.
    void ChangeDpi(UINT dpi, const RECT* suggested);
    ControlLook* LookOf(HWND control) const;
    void ReportError(const std::string& message);
    void ResetFacts();
    void SetApkIcon(UniqueGdiObject bitmap, SIZE size);
    void DrawImage(const DRAWITEMSTRUCT& item);
    void SetTimerExitEnabled(bool enabled);
    void TerminateApplication();
    void ChooseAndInspect(bool fromButtonRow);
    // Shows (or, with an empty text, hides) the note beside the status line.
    void ShowPhoneReason(const std::string& text, const std::string& details);
    void PlaceReason();
    // Keeps an install's outcome, and shows "打开" when some phone took the package.
    void ShowInstallResults(const InstallResults& results);
    void ShowDetails(const std::string& text);
    // The table behind the note, modal to the window.
    void ShowResultsTable();
    // The package on show as an install needs it.
    PackageToInstall PackageOnShow() const;
    // The signature check of the package on show: started once its facts show, stopped (and its
    // thread ended) when another package is chosen or the window closes.
    void StartSignatureCheck();
    void StopSignatureCheck();
    void SignatureCheckEnded(WPARAM generation);
    // The permission box's first block while a check runs or once it has ended.
    void WriteSignatureBlock();
    // Asks before an install of a package whose signatures phones will refuse; false: don't install.
    bool ConfirmInstallOfRefusedPackage();
    static LRESULT CALLBACK PermissionSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                                   DWORD_PTR data);
    // Puts the status line to its "ready to install" text, unless the last inspection found no
    // tool to read the package with, which the status line keeps saying.
    void ShowReadyStatus();
    // The note that says the package on show is a bundle, and its pieces for the details.
    std::string BundleNote(std::string& details) const;
    bool IsLink(HWND control) const;
    // The list: reading its rows' facts, showing them, and running it onto the phones.
    void ReadShelfRows(std::size_t first);
    void FillShelfItem(std::size_t row);
    void ShowShelfFacts(std::size_t row);
    void LayOutShelf();
    void EnterShelf(bool shown);
    void HandleShelfNotify(const NMHDR& header);
    void InstallShelfClick();
    void UninstallShelfClick();
    // The rows' signature verdicts, on a thread of their own; the list changing abandons the check
    // and starts it again for the rows still without a verdict.
    void StartShelfSignatures();
    void StopShelfSignatures();
    void ShelfSignaturesArrived(WPARAM generation);
    // Writes permission blocks into any rich edit box, as the permission box shows them.
    void WritePermissionRuns(HWND box, const StringList& names);
    // A permission box's base format: the layout's base font in the GB2312 character set, room for
    // any package.
    static void PreparePermissionBox(HWND box);

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void HandleCommand(HWND control, WORD code);
    static LRESULT CALLBACK ReasonSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                               DWORD_PTR data);
    static LRESULT CALLBACK LinkSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                             DWORD_PTR data);

    // Form state shared by the operations.
    std::string ApkFileName;
    std::string PackageName;
    std::unique_ptr<::IniFile> IniFile;
    StringList PermissionList;
    std::int32_t ExitCountdown = 0;

    HINSTANCE instance_;
    FormSeams seams_;
    std::string exePath_;
    std::string exeFolder_;
    ISystem& system_;
    WindowsToolRunner runner_;
    PhoneTools phoneTools_;
    HWND handle_ = nullptr;
    bool closed_ = false;
    bool inspecting_ = false;
    bool timerExitEnabled_ = false;
    bool timerExitDestroyed_ = false;
    HCURSOR appCursor_ = nullptr;
    bool aaptMissing_ = false;
    std::string requiredAndroid_; // the Android version the package on show needs, for the phones' refusals
    // What the phones are asked about the package on show, and what opens it.
    std::int64_t versionCode_ = -1;
    std::string versionName_;
    std::string appName_;
    std::string launchableActivity_;
    InstallResults installResults_;
    HWND resultsWindow_ = nullptr;
    std::string reasonDetails_;
    // The bundle on show, with the APKs taken out of it so far; an install holds on to it while it
    // runs, whatever is chosen meanwhile.
    std::shared_ptr<OpenedBundle> bundle_;
    std::string bundleError_; // why the bundle on show could not be opened
    HWND tooltip_ = nullptr;
    std::unique_ptr<SignatureWork> signatureWork_;
    WPARAM signatureGeneration_ = 0;
    SignatureState signatureState_ = SignatureState::None;
    bool signatureRefused_ = false;
    std::string signatureSummary_;
    std::string signatureDetails_;
    std::optional<std::uint32_t> signatureSigner_; // of the finished check, for telling phones' copies apart
    LONG signatureBlockChars_ = 0; // the block's length in the permission box, for clicks on it

    UniqueGdiObject defaultFont_;
    UniqueGdiObject linkFont_;
    UniqueGdiObject statusFont_;
    UniqueGdiObject faceBrush_;
    UniqueIcon logo128_;
    UniqueIcon logo64_;
    UniqueIcon logo32_;
    UniqueGdiObject apkIcon_; // a 32-bit premultiplied picture, or none while the placeholder shows
    SIZE apkIconSize_ = {0, 0};
    // Where the icon on show came from, to fit it again to the box of another density.
    std::string apkIconPackage_;
    std::string apkIconMember_;
    UINT dpi_ = 96;
    bool holdingSize_ = false;
    // Shared: a row stays whole for a handler that is reading it while messages run, whatever
    // happens to the list meanwhile.
    std::vector<std::shared_ptr<ShelfRow>> shelf_;
    std::uint64_t nextShelfRowId_ = 0;
    std::unique_ptr<ShelfSignatureWork> shelfSignatureWork_;
    WPARAM shelfSignatureGeneration_ = 0;
    bool shelfShown_ = false;
    UniqueImageList shelfIcons_; // the list's icons, at the window's density
    HWND permissionsWindow_ = nullptr;
    std::vector<std::string> handedOver_; // packages arrived while the window was busy
    std::vector<std::unique_ptr<ControlLook>> looks_;
    HWND hoveredLink_ = nullptr;
};

// Removes and dispatches every pending message of this thread (keyboard navigation included); a
// quit request is put back for the message loop and ends the dispatch.
void ProcessPendingMessages();
// A decoded picture as the image controls draw it: 32-bit, top-down, alpha premultiplied.
UniqueGdiObject MakeIconBitmap(const RgbaImage& image);
// Dispatches one message as the program's message loop does.
void DispatchWindowMessage(MSG& message);
