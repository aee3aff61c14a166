#pragma once

#include <QString>

namespace moviecat::role {

// What each fixed control of the main window does, by the name the layout tables give
// it. The names stay exactly as the layouts have them (tests and the end-to-end client
// find controls by them); code outside the layout tables asks for a role.

inline QString mainForm()
{
    return QStringLiteral("Form1");
}
inline QString aboutForm()
{
    return QStringLiteral("Form2");
}

inline QString folderView()
{
    return QStringLiteral("ExplorerList1");
}
inline QString backButton()
{
    return QStringLiteral("Command2");
}
// The four view-mode buttons, large icons first.
inline QString viewModeButton(int index)
{
    return QStringLiteral("Command%1").arg(3 + index);
}
inline constexpr int viewModeButtonCount = 4;
// The category buttons, numbered from 0 as the category file lists them.
inline QString categoryButton(int index)
{
    return QStringLiteral("Label%1").arg(index + 1);
}
inline QString categoryLabel()
{
    return QStringLiteral("Label22");
}

inline QString searchBox()
{
    return QStringLiteral("Text1");
}
inline QString searchButton()
{
    return QStringLiteral("Command7");
}
inline QString resultsToggle()
{
    return QStringLiteral("Command1");
}
inline QString resultsList()
{
    return QStringLiteral("List3");
}
inline QString searchBusyPicture()
{
    return QStringLiteral("Image9");
}
inline QString searchPollTimer()
{
    return QStringLiteral("Timer2");
}

inline QString clockTimer()
{
    return QStringLiteral("Timer1");
}
inline QString clockLabel()
{
    return QStringLiteral("Label19");
}
inline QString pathLabel()
{
    return QStringLiteral("Label24");
}

inline QString exitLabel()
{
    return QStringLiteral("Label20");
}
inline QString rightsLabel()
{
    return QStringLiteral("Label25");
}
inline QString topPicture()
{
    return QStringLiteral("Image2");
}

} // namespace moviecat::role
