#include "app/appearance.h"

#include "app/res/resource.h"

ColourChoice ChooseControlColour(ColourKind kind, int controlId)
{
    ColourChoice choice;
    if (kind == ColourKind::Static)
        choice.setTextBackground = true;
    else if (kind == ColourKind::ListBox && controlId == IDC_LIST_RESULTS)
        choice.listBrush = true;
    return choice;
}

IconPosition CentredIconPosition(int clientWidth, int clientHeight, int iconWidth, int iconHeight)
{
    return {(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}
