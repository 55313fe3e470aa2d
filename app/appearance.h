// How the main dialog paints: which brush each control's background gets, and where the icon goes
// while the dialog is minimised. Pure decisions, kept apart from the window code.
#pragma once

enum class ColourKind { MessageBox, Edit, ListBox, Button, Dialog, ScrollBar, Static };

struct ColourChoice {
    bool listBrush = false;       // the list's white brush; otherwise the background brush
    bool setTextBackground = false;  // static texts print on the background colour
};

ColourChoice ChooseControlColour(ColourKind kind, int controlId);

struct IconPosition {
    int x;
    int y;
};

// Centred, rounding the offset up by half a pixel before truncating.
IconPosition CentredIconPosition(int clientWidth, int clientHeight, int iconWidth, int iconHeight);
