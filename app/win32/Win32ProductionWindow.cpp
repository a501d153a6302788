#include "app/win32/Win32ProductionWindow.h"

#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <stdexcept>

#include "app/production/ProductionTexts.h"
#include "app/win32/ClientImage.h"
#include "app/win32/ResourceIds.h"
#include "app/win32/WindowDpi.h"
#include "app/win32/WindowPlumbing.h"
#include "platform/WindowsText.h"

#undef MessageBox

namespace velt::production {

namespace {

constexpr wchar_t kWindowClass[] = L"VeltUsbProductionWindow";
constexpr char kWindowTitle[] = "Velt-USB Production";
// The tiles are painted on the window itself, around the set-up controls.
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;
// Wakes the message loop so that it sees the window closed.
constexpr UINT kWakeMessage = WM_APP + 1;
// The logic's timer, beyond those of After.
constexpr UINT_PTR kLogicTimer = ~static_cast<UINT_PTR>(0);
constexpr int kFirstControlId = 100;

// Sizes in pixels at 96 DPI, scaled to the window's.
constexpr int kClientWidth = 960;
constexpr int kClientHeight = 660;
constexpr int kMinimumWidth = 560;
constexpr int kMinimumHeight = 440;
constexpr int kMargin = 8;
constexpr int kRowHeight = 24;
constexpr int kRowGap = 6;
constexpr int kLabelWidth = 130;
constexpr int kRightColumn = 150;  // "Choose…" over "Arm"
constexpr int kTileMinWidth = 340;
constexpr int kTileNarrowest = 240;  // narrower than this, more tiles would not be readable
constexpr int kTileSpacing = 12;
constexpr int kTilePadding = 10;

// Type sizes in points at the window's DPI: the state word is read from a metre away, the
// rest of a tile from a little closer.
constexpr int kStatePoints = 30;
constexpr int kTileTextPoints = 15;
constexpr int kCountersPoints = 16;

constexpr COLORREF kPassColour = RGB(27, 122, 46);
constexpr COLORREF kFailColour = RGB(190, 30, 30);
constexpr COLORREF kBarColour = RGB(40, 90, 200);

struct FieldInfo {
    const wchar_t* windowClass;
    const char* caption;
    DWORD style;
};

constexpr DWORD kLabelStyle = SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS | SS_CENTERIMAGE;
constexpr DWORD kEditStyle = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;

// In the order of Win32ProductionWindow::Field, which is also the tab order.
constexpr FieldInfo kFields[] = {
    {L"STATIC", "Image:", kLabelStyle},
    {L"EDIT", "", kEditStyle},
    {L"BUTTON", "Choose…", BS_PUSHBUTTON | WS_TABSTOP},
    {L"STATIC", "", kLabelStyle},
    {L"STATIC", "Expected SHA-256:", kLabelStyle},
    {L"EDIT", "", kEditStyle},
    {L"STATIC", "Record file:", kLabelStyle},
    {L"EDIT", "", kEditStyle},
    {L"STATIC", "Station:", kLabelStyle},
    {L"EDIT", "", kEditStyle},
    {L"STATIC", "Expected count:", kLabelStyle},
    {L"EDIT", "", kEditStyle | ES_NUMBER},
    {L"BUTTON", "Arm", BS_PUSHBUTTON | WS_TABSTOP},
    {L"STATIC", "", kLabelStyle},
    {L"STATIC", "", kLabelStyle},
};

// `base` at `points` (in hundredths with `percent`) at `dpi`.
HFONT SizedFont(HFONT base, int points, bool bold, unsigned dpi, int percent = 100) {
    LOGFONTW font{};
    GetObjectW(base, sizeof font, &font);
    font.lfHeight = -MulDiv(points * percent, static_cast<int>(dpi), 72 * 100);
    font.lfWidth = 0;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    return CreateFontIndirectW(&font);
}

int LineHeight(HDC dc, HFONT font) {
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    return metrics.tmHeight + metrics.tmExternalLeading;
}

// A tile's type at `percent` of its full size.
struct TileFonts {
    TileFonts(HFONT base, unsigned dpi, int percent)
        : title(SizedFont(base, kTileTextPoints, true, dpi, percent)),
          text(SizedFont(base, kTileTextPoints, false, dpi, percent)),
          state(SizedFont(base, kStatePoints, true, dpi, percent)) {}
    ~TileFonts() {
        DeleteObject(title);
        DeleteObject(text);
        DeleteObject(state);
    }
    TileFonts(const TileFonts&) = delete;
    TileFonts& operator=(const TileFonts&) = delete;

    HFONT title;  // location and reason
    HFONT text;   // serial and version
    HFONT state;  // the largest
};

void FrameRectangle(HDC dc, const RECT& box, int thickness, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    RECT edge = box;
    for (int i = 0; i < thickness; ++i) {
        FrameRect(dc, &edge, brush);
        InflateRect(&edge, -1, -1);
    }
    DeleteObject(brush);
}

// Draws `text` in `box` with `font`; returns the height it took.
int DrawLine(HDC dc, HFONT font, const std::string& text, RECT box, UINT format) {
    HGDIOBJ old = SelectObject(dc, font);
    const std::wstring wide = Utf16(text);
    RECT measured = box;
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &measured,
              format | DT_CALCRECT | DT_NOPREFIX);
    box.bottom = std::min(box.bottom, box.top + (measured.bottom - measured.top));
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &box, format | DT_NOPREFIX);
    SelectObject(dc, old);
    return box.bottom - box.top;
}

}  // namespace

// The window procedure's way into the object it belongs to.
struct Win32ProductionProcedure {
    static LRESULT CALLBACK Run(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            auto* owner = static_cast<Win32ProductionWindow*>(create->lpCreateParams);
            owner->window_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
        }
        auto* owner =
            reinterpret_cast<Win32ProductionWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (owner == nullptr) {
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        return Handle(*owner, message, wParam, lParam);
    }

    static LRESULT Handle(Win32ProductionWindow& window, UINT message, WPARAM wParam,
                          LPARAM lParam);
    static void Command(Win32ProductionWindow& window, int id, int code);
};

Win32ProductionWindow::Win32ProductionWindow() {
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    CreateTopWindow(kWindowClass, &Win32ProductionProcedure::Run, kWindowTitle, kWindowStyle,
                    kWindowExStyle, this);
    if (window_ == nullptr) {
        throw std::runtime_error("cannot create the window");
    }
    BuildControls();
    ApplyDpi(WindowDpi(window_));

    // The size the tiles want, within the screen's work area, centred on it.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    int width = 0;
    int height = 0;
    FrameSizeForClient(Scaled(kClientWidth), Scaled(kClientHeight), kWindowStyle, kWindowExStyle,
                       dpi_, width, height);
    width = std::min<int>(width, work.right - work.left);
    height = std::min<int>(height, work.bottom - work.top);
    SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

Win32ProductionWindow::~Win32ProductionWindow() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
    for (HFONT font : {font_, lineFont_, boldFont_}) {
        DeleteObject(font);
    }
}

int Win32ProductionWindow::Scaled(int pixelsAt96) const {
    return MulDiv(pixelsAt96, static_cast<int>(dpi_), 96);
}

void Win32ProductionWindow::BuildControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (int i = 0; i < kFieldCount; ++i) {
        const FieldInfo& info = kFields[i];
        controls_[i] = CreateWindowExW(
            0, info.windowClass, Utf16(info.caption).c_str(), WS_CHILD | WS_VISIBLE | info.style, 0,
            0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)),
            instance, nullptr);
    }
    EnableWindow(controls_[ArmButton], FALSE);
}

void Win32ProductionWindow::ApplyDpi(unsigned dpi) {
    dpi_ = dpi;
    HFONT message = CreateMessageFont(dpi_);
    HFONT line = SizedFont(message, kCountersPoints, true, dpi_);
    HFONT bold = SizedFont(message, kTileTextPoints, true, dpi_);
    for (int i = 0; i < kFieldCount; ++i) {
        const HFONT font = i == CountersLabel                   ? line
                           : i == StatusLabel || i == ArmButton ? bold
                                                                : message;
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    for (HFONT old : {font_, lineFont_, boldFont_}) {
        DeleteObject(old);
    }
    font_ = message;
    lineFont_ = line;
    boldFont_ = bold;
    Place();
}

// The set-up strip in five rows with "Choose…" and "Arm" in a column at the right; the
// counters and status lines at the bottom; the tiles between them.
void Win32ProductionWindow::Place() {
    RECT client{};
    GetClientRect(window_, &client);
    const int margin = Scaled(kMargin);
    const int row = Scaled(kRowHeight);
    const int step = row + Scaled(kRowGap);
    const int label = Scaled(kLabelWidth);
    const int right = client.right - margin;
    const int column = right - Scaled(kRightColumn);
    const int fieldLeft = margin + label;
    const int fieldRight = column - Scaled(kRowGap);
    const auto place = [&](Field field, int x, int y, int width, int height) {
        SetWindowPos(controls_[field], nullptr, x, y, std::max(0, width), height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    const auto rowTop = [&](int index) { return margin + index * step; };

    place(ImageLabel, margin, rowTop(0), label, row);
    place(ImageEdit, fieldLeft, rowTop(0), fieldRight - fieldLeft, row);
    place(ChooseButton, column, rowTop(0), right - column, row);
    place(FactsLabel, fieldLeft, rowTop(1), right - fieldLeft, row);
    place(ShaLabel, margin, rowTop(2), label, row);
    place(ShaEdit, fieldLeft, rowTop(2), fieldRight - fieldLeft, row);
    place(RecordLabel, margin, rowTop(3), label, row);
    place(RecordEdit, fieldLeft, rowTop(3), fieldRight - fieldLeft, row);
    // Station and expected count share the last row.
    const int half = (fieldRight - margin) / 2;
    place(StationLabel, margin, rowTop(4), label, row);
    place(StationEdit, fieldLeft, rowTop(4), margin + half - fieldLeft - Scaled(kRowGap), row);
    place(ExpectedLabel, margin + half, rowTop(4), label, row);
    place(ExpectedEdit, margin + half + label, rowTop(4), fieldRight - (margin + half + label),
          row);
    place(ArmButton, column, rowTop(2), right - column, rowTop(4) + row - rowTop(2));

    HDC dc = GetDC(window_);
    const int countersHeight = LineHeight(dc, lineFont_) + Scaled(4);
    const int statusHeight = LineHeight(dc, boldFont_) + Scaled(4);
    ReleaseDC(window_, dc);
    const int statusTop = client.bottom - margin - statusHeight;
    const int countersTop = statusTop - countersHeight;
    place(CountersLabel, margin, countersTop, right - margin, countersHeight);
    place(StatusLabel, margin, statusTop, right - margin, statusHeight);
    tilesTop_ = rowTop(5);
    tilesBottom_ = countersTop - Scaled(kRowGap);
    InvalidateRect(window_, nullptr, FALSE);
}

std::string Win32ProductionWindow::Text(Field field) const {
    const HWND control = controls_[field];
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
}

// Only a changed text is set, so that a field being typed in keeps its caret. Setting it
// clears the edit's modified flag: what the logic shows is no edit.
void Win32ProductionWindow::SetText(Field field, const std::string& text) {
    if (Text(field) != text) {
        SetWindowTextW(controls_[field], Utf16(text).c_str());
    }
}

void Win32ProductionWindow::ShowSetup(const Setup& setup) {
    setup_ = setup;
    SetText(ImageEdit, setup.image);
    SetText(FactsLabel, setup.imageFacts);
    SetText(ShaEdit, setup.expectedSha256);
    SetText(RecordEdit, setup.record);
    SetText(StationEdit, setup.station);
    SetText(ExpectedEdit, setup.expected ? std::to_string(*setup.expected) : std::string());
}

void Win32ProductionWindow::ShowArmed(bool armed, bool canArm) {
    armed_ = armed;
    canArm_ = canArm;
    UpdateLockState();
}

void Win32ProductionWindow::UpdateLockState() {
    for (Field field : {ImageEdit, ChooseButton, ShaEdit, RecordEdit, StationEdit, ExpectedEdit}) {
        EnableWindow(controls_[field], armed_ ? FALSE : TRUE);
    }
    SetWindowTextW(controls_[ArmButton], armed_ ? L"Disarm" : L"Arm");
    EnableWindow(controls_[ArmButton], armed_ || canArm_ ? TRUE : FALSE);
}

void Win32ProductionWindow::ShowTiles(const std::vector<Tile>& tiles) {
    tiles_ = tiles;
    RECT area{0, tilesTop_, 0, tilesBottom_};
    GetClientRect(window_, &area);
    area.top = tilesTop_;
    area.bottom = tilesBottom_;
    InvalidateRect(window_, &area, FALSE);
}

void Win32ProductionWindow::ShowCounters(const Counters& counters) {
    SetText(CountersLabel, CountersLine(counters));
}

void Win32ProductionWindow::ShowStatus(const std::string& text) {
    SetText(StatusLabel, text);
}

int Win32ProductionWindow::MessageBoxRun(const std::string& text, const std::string& title,
                                         unsigned style) {
    if (messageBoxObserver_) {
        messageBoxObserver_(title, text);
    }
    const bool owned = IsWindowVisible(window_) != FALSE;
    return MessageBoxW(owned ? window_ : nullptr, Utf16(text).c_str(), Utf16(title).c_str(),
                       style | (owned ? 0 : MB_TASKMODAL));
}

void Win32ProductionWindow::Alert(const std::string& text, const std::string& title) {
    MessageBoxRun(text, title, MB_OK | MB_ICONERROR);
}

bool Win32ProductionWindow::Ask(const std::string& question, const std::string& title) {
    // Enter alone does not say yes.
    return MessageBoxRun(question, title, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void Win32ProductionWindow::StartTimer(std::uint32_t intervalMs) {
    SetTimer(window_, kLogicTimer, intervalMs, nullptr);
}

void Win32ProductionWindow::Close(int exitStatus) {
    if (closed_) {
        return;
    }
    closed_ = true;
    exitStatus_ = exitStatus;
    KillTimer(window_, kLogicTimer);
    ::ShowWindow(window_, SW_HIDE);
    // The loop ends once control is back in it, after the handler that closed returns.
    PostMessageW(window_, kWakeMessage, 0, 0);
}

void Win32ProductionWindow::After(unsigned milliseconds, std::function<void()> action) {
    SetTimer(window_, delayed_.Add(std::move(action)), milliseconds, nullptr);
}

bool Win32ProductionWindow::SaveClientArea(const std::string& path) const {
    return velt::SaveClientArea(window_, path);
}

void Win32ProductionWindow::ImageEdited() {
    if (events_ != nullptr && !closed_) {
        events_->OnImageChosen(Text(ImageEdit));
    }
}

void Win32ProductionWindow::SetupEdited() {
    if (events_ == nullptr || closed_) {
        return;
    }
    Setup setup = setup_;
    setup.expectedSha256 = Text(ShaEdit);
    setup.record = Text(RecordEdit);
    setup.station = Text(StationEdit);
    const std::string expected = Text(ExpectedEdit);
    int count = 0;
    const auto [end, error] =
        std::from_chars(expected.data(), expected.data() + expected.size(), count);
    setup.expected =
        !expected.empty() && error == std::errc() && end == expected.data() + expected.size()
            ? std::optional<int>(count)
            : std::nullopt;
    events_->OnSetupEdited(setup);
}

void Win32ProductionWindow::ChooseImage() {
    std::wstring file(32768, L'\0');
    const std::wstring current = Utf16(Text(ImageEdit));
    std::copy_n(current.begin(), std::min(current.size(), file.size() - 1), file.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = L"Firmware images (*.bin)\0*.bin\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = L"Choose the firmware image";
    dialog.Flags =
        OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) {
        return;
    }
    file.resize(wcslen(file.c_str()));
    SetWindowTextW(controls_[ImageEdit], file.c_str());
    ImageEdited();
}

// The tiles in rows, as many to a row as the width holds at their least width, more when
// the rows would not fit the height, down to a width still readable; where even that does
// not fit, the tiles and their type shrink, down to half their size.
void Win32ProductionWindow::PaintTiles(HDC dc) const {
    RECT client{};
    GetClientRect(window_, &client);
    const int margin = Scaled(kMargin);
    const int areaWidth = client.right - 2 * margin;
    const int areaHeight = tilesBottom_ - tilesTop_;
    const int count = static_cast<int>(tiles_.size());
    if (count == 0 || areaWidth <= 0 || areaHeight <= 0) {
        return;
    }
    std::unique_ptr<TileFonts> fonts;
    int percent = 100;
    int columns = 1;
    int tileHeight = 0;
    int spacing = 0;
    int padding = 0;
    int text = 0;
    for (;; percent -= 10) {
        fonts = std::make_unique<TileFonts>(font_, dpi_, percent);
        const auto sized = [&](int pixelsAt96) { return Scaled(pixelsAt96 * percent / 100); };
        spacing = sized(kTileSpacing);
        padding = sized(kTilePadding);
        text = LineHeight(dc, fonts->text);
        // Location, serial and version; the state; then the bar or two lines of reason,
        // which a state too long for one line takes instead.
        tileHeight = 2 * padding + 3 * text + LineHeight(dc, fonts->state) + 2 * text + sized(4);
        const auto rowsFit = [&](int c) {
            return ((count + c - 1) / c) * (tileHeight + spacing) - spacing <= areaHeight;
        };
        columns = std::max(1, (areaWidth + spacing) / (sized(kTileMinWidth) + spacing));
        while (columns < count && !rowsFit(columns) &&
               (areaWidth - columns * spacing) / (columns + 1) >= sized(kTileNarrowest)) {
            ++columns;
        }
        if (rowsFit(columns) || percent <= 50) {
            break;
        }
    }
    columns = std::min(columns, count);
    const int tileWidth = (areaWidth - (columns - 1) * spacing) / columns;
    const int line = std::max(1, Scaled(2));

    // A last row cut off stops at the counters.
    IntersectClipRect(dc, 0, tilesTop_, client.right, tilesBottom_);
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < count; ++i) {
        const Tile& tile = tiles_[static_cast<std::size_t>(i)];
        RECT box{margin + (i % columns) * (tileWidth + spacing),
                 tilesTop_ + (i / columns) * (tileHeight + spacing), 0, 0};
        box.right = box.left + tileWidth;
        box.bottom = box.top + tileHeight;
        if (box.top >= tilesBottom_) {
            break;
        }
        const bool settled = tile.state == TileState::Passed || tile.state == TileState::Failed;
        const COLORREF fill = tile.state == TileState::Passed   ? kPassColour
                              : tile.state == TileState::Failed ? kFailColour
                                                                : GetSysColor(COLOR_WINDOW);
        const COLORREF ink = settled ? RGB(255, 255, 255) : GetSysColor(COLOR_WINDOWTEXT);
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(dc, &box, brush);
        DeleteObject(brush);
        FrameRectangle(dc, box, line, GetSysColor(COLOR_BTNSHADOW));
        SetTextColor(dc, ink);

        RECT inside = box;
        InflateRect(&inside, -padding, -padding);
        const UINT single = DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS;
        inside.top += DrawLine(dc, fonts->title, "Location " + tile.location, inside, single);
        inside.top += DrawLine(dc, fonts->text, "Serial " + tile.serial, inside, single);
        if (!tile.versionBefore.empty()) {
            DrawLine(dc, fonts->text, "Version before " + tile.versionBefore, inside, single);
        }
        inside.top += text;
        // A long state word wraps into the room the bar and the reason would take.
        inside.top += DrawLine(dc, fonts->state, StateWords(tile), inside, DT_LEFT | DT_WORDBREAK);
        inside.top += Scaled(4 * percent / 100);
        if (tile.state == TileState::Writing) {
            RECT trough{inside.left, inside.top, inside.right,
                        std::min<LONG>(inside.bottom, inside.top + text)};
            RECT bar = trough;
            bar.right = bar.left +
                        MulDiv(trough.right - trough.left, std::clamp(tile.percent, 0, 100), 100);
            HBRUSH barBrush = CreateSolidBrush(kBarColour);
            FillRect(dc, &bar, barBrush);
            DeleteObject(barBrush);
            FrameRectangle(dc, trough, line, GetSysColor(COLOR_WINDOWTEXT));
        } else if (tile.state == TileState::Failed) {
            DrawLine(dc, fonts->title, tile.reason, inside,
                     DT_LEFT | DT_WORDBREAK | DT_END_ELLIPSIS | DT_EDITCONTROL);
        }
    }
}

void Win32ProductionWindow::Dispatch(MSG& message) {
    DispatchToWindow(window_, message);
}

int Win32ProductionWindow::Run(ProductionEvents& events) {
    events_ = &events;
    events.OnLoad();
    if (closed_) {
        return exitStatus_;
    }
    // The first show honours how the program was started (a shortcut's "Maximised").
    ::ShowWindow(window_, SW_SHOWDEFAULT);
    UpdateWindow(window_);
    MSG message;
    while (!closed_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            return got == 0 ? static_cast<int>(message.wParam) : 1;
        }
        Dispatch(message);
    }
    return exitStatus_;
}

void Win32ProductionProcedure::Command(Win32ProductionWindow& window, int id, int code) {
    using W = Win32ProductionWindow;
    if (window.events_ == nullptr || window.closed_) {
        return;
    }
    const int field = id - kFirstControlId;
    if (id == IDOK) {
        // Enter in a field: what was typed counts now rather than when the field is left.
        const HWND focus = GetFocus();
        for (W::Field edit :
             {W::ImageEdit, W::ShaEdit, W::RecordEdit, W::StationEdit, W::ExpectedEdit}) {
            if (window.controls_[edit] == focus) {
                Command(window, kFirstControlId + edit, EN_KILLFOCUS);
            }
        }
        return;
    }
    if (code == BN_CLICKED && field == W::ArmButton) {
        window.events_->OnArmClicked();
    } else if (code == BN_CLICKED && field == W::ChooseButton) {
        window.ChooseImage();
    } else if (code == EN_KILLFOCUS && field >= 0 && field < W::kFieldCount) {
        // A field sends its edit once the operator leaves it, and only when typed in.
        const HWND edit = window.controls_[field];
        if (SendMessageW(edit, EM_GETMODIFY, 0, 0) == 0) {
            return;
        }
        SendMessageW(edit, EM_SETMODIFY, FALSE, 0);
        if (field == W::ImageEdit) {
            window.ImageEdited();
        } else {
            window.SetupEdited();
        }
    }
}

LRESULT Win32ProductionProcedure::Handle(Win32ProductionWindow& window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            // Only a request: the logic decides when the window closes.
            if (window.events_ != nullptr && !window.closed_) {
                window.events_->OnCloseRequest();
            }
            return 0;
        case WM_COMMAND:
            Command(window, LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_TIMER:
            if (wParam != kLogicTimer) {
                KillTimer(window.window_, wParam);
                window.delayed_.Run(wParam);
            } else if (window.events_ != nullptr && !window.closed_) {
                // Also while a message box of the logic's is up: its loop runs the timer.
                window.events_->OnTimer();
            }
            return 0;
        case WM_ACTIVATE:
            // Keys go to the first field the operator can use, as in a dialog.
            if (LOWORD(wParam) != WA_INACTIVE && !IsChild(window.window_, GetFocus())) {
                if (HWND first = GetNextDlgTabItem(window.window_, nullptr, FALSE)) {
                    SetFocus(first);
                    return 0;
                }
            }
            break;
        case WM_SIZE:
            window.Place();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize.x = window.Scaled(kMinimumWidth);
            limits->ptMinTrackSize.y = window.Scaled(kMinimumHeight);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT fills every pixel, through a bitmap so nothing flickers
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window.window_, &paint);
            RECT client{};
            GetClientRect(window.window_, &client);
            HDC memory = CreateCompatibleDC(dc);
            HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max<LONG>(1, client.right),
                                                    std::max<LONG>(1, client.bottom));
            HGDIOBJ old = SelectObject(memory, bitmap);
            FillRect(memory, &client, GetSysColorBrush(COLOR_BTNFACE));
            window.PaintTiles(memory);
            BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteObject(bitmap);
            DeleteDC(memory);
            EndPaint(window.window_, &paint);
            return 0;
        }
        case WM_DPICHANGED: {
            window.ApplyDpi(HIWORD(wParam));
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window.window_, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case kWakeMessage:
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window.window_, message, wParam, lParam);
}

}  // namespace velt::production
