// How the main dialog paints: which brush each control's background gets, and where the icon goes
// while the dialog is minimised, which images suit the display scale. Pure decisions, kept apart
// from the window code.
#pragma once

#include <cstdint>

#include "check/dialog_surface.h"
#include "platform/platform.h"

// The kinds of control the WM_CTLCOLOR messages are for, in message order. No name here is one that
// windows.h makes a macro of (MessageBox is), so every file sees the same enum.
enum class ColourKind { MessageBoxes, Edit, ListBox, Button, Dialog, ScrollBar, Static };

struct ColourChoice {
    bool listBrush = false;       // the list's white brush; otherwise the background brush
    bool setTextBackground = false;  // static texts print on the background colour
};

ColourChoice ChooseControlColour(ColourKind kind, int controlId);

// The dialog's own colours (0x00BBGGRR): the background (red 153, green 186, blue 190) and the
// white of the result list.
inline constexpr std::uint32_t kOwnBackgroundColour = 153u | 186u << 8 | 190u << 16;
inline constexpr std::uint32_t kOwnListColour = 0xFFFFFFu;

// What the dialog draws with: its own colours, or with Windows' high-contrast setting on the
// system's window and text colours, which the user chose to be able to read the screen.
struct DialogColours {
    std::uint32_t background = kOwnBackgroundColour;  // the dialog and its texts
    std::uint32_t list = kOwnListColour;
    bool systemText = false;  // texts are drawn in `text` rather than in the controls' own colour
    std::uint32_t text = 0;
};
DialogColours ChooseDialogColours(const DisplayColours& display);

struct IconPosition {
    int x;
    int y;
};

// Centred, rounding the offset up by half a pixel before truncating.
IconPosition CentredIconPosition(int clientWidth, int clientHeight, int iconWidth, int iconHeight);

using ImageHandle = std::uintptr_t;

// The three mark images the dialog loaded; 0 for one that did not load.
struct MarkImages {
    ImageHandle pass = 0;
    ImageHandle fail = 0;
    ImageHandle blank = 0;
};

// The image that draws a mark; 0 when it did not load, and then the mark keeps what it showed,
// after a run and after an import alike.
ImageHandle MarkImage(Mark mark, const MarkImages& images);

// What a screen reader says of a mark: its verdict in words, "Not checked" while its item is not
// judged and after an import that gives it no verdict.
const char16_t* MarkName(Mark mark);
// A row's accessible name, which its value carries: the label beside it as the dialog shows it,
// the value, then its mark's verdict ("Locale: English; Passes"), so that the row the keyboard
// reaches says all a sighted user sees of it.
CString ValueName(const CString& label, const CString& value, Mark mark);

// The images are drawn for 100, 125, 150 and 200 % display scale. The program uses the largest set
// not above the screen's scale at start, so an image never outgrows the box that dialog units give
// it; below 96 DPI the 100 % set.
int ImageScaleForDpi(int dpi);

// The resource id of an image (IDB_PASS, IDB_FAIL, IDB_BLANK, IDB_LOGO) drawn for `scale` percent.
int ScaledImageId(int imageId, int scale);

// The About box's icon, in pixels, at `scale` percent.
int AboutIconSize(int scale);
