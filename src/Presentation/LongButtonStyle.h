#pragma once

#include <QString>

// The style sheet of the long push buttons of the forms and dialogs: the
// CBLong images with 3-pixel stretched borders, one image per button state.
inline QString LongButtonStyleSheet()
{
    return QStringLiteral(
        "QPushButton{border:0px;border-width:3px;"
        "border-image:url(:/QuarvelPCSoftware/Resources/UI/Button/CBLong_Available.png) 3 3 3 3 "
        "stretch stretch;color:rgb(0, 0, 0);background-color:rgba(255, 255, 255, 0);}"
        "QPushButton:hover{border-width:3px;"
        "border-image:url(:/QuarvelPCSoftware/Resources/UI/Button/CBLong_Hover.png) 3 3 3 3 "
        "stretch stretch;}"
        "QPushButton:pressed{border-width:3px;color:rgb(255, 255, 255);"
        "border-image:url(:/QuarvelPCSoftware/Resources/UI/Button/CBLong_Press.png) 3 3 3 3 "
        "stretch stretch;}"
        "QPushButton:disabled{border-width:3px;color:rgb(136, 136, 136);"
        "border-image:url(:/QuarvelPCSoftware/Resources/UI/Button/CBLong_Invalid.png) 3 3 3 3 "
        "stretch stretch;}");
}
