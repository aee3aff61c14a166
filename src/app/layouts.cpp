#include "app/layouts.h"

#include "ui/fonts.h"

#include <array>

namespace moviecat {

namespace {

using K = ControlKind;

constexpr ControlEntry categoryButton(const char16_t *name, int number)
{
    // One column down the left; the first button is one pixel smaller each way.
    const bool first = number == 1;
    return {.name = name,
            .kind = K::Label,
            .left = 240,
            .top = 1440 + 480 * (number - 1),
            .width = first ? 1920 : 1935,
            .height = first ? 240 : 255,
            .text = name,
            .fontFace = kSongFace,
            .fontPoints = 12,
            .hidden = true};
}

constexpr ControlEntry statusLabel(const char16_t *name, int left, int width, const char16_t *text)
{
    return {.name = name,
            .kind = K::Label,
            .left = left,
            .top = 10200,
            .width = width,
            .height = 255,
            .text = text,
            .foreColor = ole::kLightCyan,
            .transparent = true};
}

constexpr ControlEntry viewButton(const char16_t *name, int left, const char16_t *caption, int tab)
{
    return {.name = name,
            .kind = K::CommandButton,
            .left = left,
            .top = 720,
            .width = 855,
            .height = 375,
            .text = caption,
            .tabIndex = tab};
}

constexpr ControlEntry picture(const char16_t *name, int left, int top, int width, int height,
                               const char16_t *resource, bool stretch = false)
{
    return {.name = name,
            .kind = K::Image,
            .left = left,
            .top = top,
            .width = width,
            .height = height,
            .text = resource,
            .stretch = stretch};
}

// Front first; windowed controls always lie above windowless ones.
const std::array<ControlEntry, 50> kForm1 = {{
    {.name = u"Text3",
     .kind = K::TextBox,
     .left = 8520,
     .top = 360,
     .width = 180,
     .height = 270,
     .text = u"0",
     .hidden = true,
     .tabIndex = 37},
    {.name = u"Command1",
     .kind = K::CommandButton,
     .left = 10440,
     .top = 720,
     .width = 1455,
     .height = 375,
     .text = u"隐藏搜索列表",
     .hidden = true,
     .tabIndex = 36},
    {.name = u"List3",
     .kind = K::ListBox,
     .left = 9360,
     .top = 1200,
     .width = 5655,
     .height = 8880,
     .hidden = true,
     .tabIndex = 35},
    {.name = u"Timer2", .kind = K::Timer, .interval = 500, .running = false},
    {.name = u"Text2",
     .kind = K::TextBox,
     .left = 8760,
     .top = 360,
     .width = 150,
     .height = 270,
     .text = u"0",
     .hidden = true,
     .disabled = true,
     .tabIndex = 34},
    {.name = u"Timer1", .kind = K::Timer, .interval = 333, .running = true},
    {.name = u"List2",
     .kind = K::ListBox,
     .left = 9480,
     .top = 360,
     .width = 255,
     .height = 240,
     .hidden = true,
     .disabled = true,
     .tabIndex = 27},
    {.name = u"Command7",
     .kind = K::CommandButton,
     .left = 9360,
     .top = 720,
     .width = 855,
     .height = 375,
     .text = u"搜  索",
     .tabIndex = 8},
    {.name = u"Text1",
     .kind = K::TextBox,
     .left = 7200,
     .top = 750,
     .width = 1935,
     .height = 315,
     .text = u"输入影片名称",
     .backColor = ole::kWhite,
     .fontFace = kSongFace,
     .fontPoints = 10.5,
     .flat = true,
     .tabIndex = 7},
    viewButton(u"Command6", 6120, u"详细", 6),
    viewButton(u"Command5", 5160, u"列表", 5),
    viewButton(u"Command4", 4200, u"小图标", 4),
    viewButton(u"Command3", 3240, u"大图标", 3),
    viewButton(u"Command2", 2280, u"后退", 2),
    {.name = u"List1",
     .kind = K::ListBox,
     .left = 9120,
     .top = 360,
     .width = 255,
     .height = 240,
     .hidden = true,
     .disabled = true,
     .tabIndex = 1},
    {.name = u"ExplorerList1",
     .kind = K::FolderView,
     .left = 2280,
     .top = 1215,
     .width = 12720,
     .height = 8850,
     .tabIndex = 0},
    {.name = u"Label25",
     .kind = K::Label,
     .left = 12840,
     .top = 480,
     .width = 735,
     .height = 255,
     .text = u"版权",
     .foreColor = ole::kDarkRed,
     .transparent = true,
     .fontFace = kSongFace,
     .fontPoints = 14.25,
     .bold = true},
    {.name = u"Image9",
     .kind = K::Image,
     .left = 10440,
     .top = 360,
     .width = 2295,
     .height = 840,
     .text = u":/pictures/searching.jpg",
     .hidden = true},
    statusLabel(u"Label24", 5280, 5655,
                u"..............................................................."),
    statusLabel(u"Label23", 4200, 975, u"当前路径："),
    statusLabel(u"Label22", 1440, 2175, u"........................"),
    statusLabel(u"Label21", 360, 975, u"当前分类："),
    picture(u"Image6", 105, 0, 15000, 180, u":/pictures/border_top.jpg"),
    picture(u"Image8", 105, 10500, 15000, 180, u":/pictures/border_bottom.jpg"),
    picture(u"Image7", 15000, 120, 180, 12000, u":/pictures/border_right.jpg"),
    picture(u"Image3", 0, 105, 180, 12000, u":/pictures/border_left.jpg"),
    {.name = u"Label20",
     .kind = K::Label,
     .left = 13800,
     .top = 360,
     .width = 975,
     .height = 495,
     .text = u"Exit",
     .foreColor = ole::kDarkRed,
     .transparent = true,
     .fontFace = kKaiFace,
     .fontPoints = 21.75,
     .bold = true},
    {.name = u"Label19",
     .kind = K::Label,
     .left = 12840,
     .top = 10200,
     .width = 2055,
     .height = 255,
     .text = u"2009-03-26 08:28:28",
     .foreColor = ole::kRed,
     .backColor = ole::kBlack,
     .fontFace = kSongFace,
     .fontPoints = 10.5},
    categoryButton(u"Label18", 18),
    categoryButton(u"Label17", 17),
    categoryButton(u"Label16", 16),
    categoryButton(u"Label15", 15),
    categoryButton(u"Label14", 14),
    categoryButton(u"Label13", 13),
    categoryButton(u"Label12", 12),
    categoryButton(u"Label11", 11),
    categoryButton(u"Label10", 10),
    categoryButton(u"Label9", 9),
    categoryButton(u"Label8", 8),
    categoryButton(u"Label7", 7),
    categoryButton(u"Label6", 6),
    categoryButton(u"Label5", 5),
    categoryButton(u"Label4", 4),
    categoryButton(u"Label3", 3),
    categoryButton(u"Label2", 2),
    categoryButton(u"Label1", 1),
    picture(u"Image5", 240, 0, 1560, 1200, u":/pictures/logo.jpg"),
    picture(u"Image1", 1080, 0, 9000, 1200, u":/pictures/title.jpg"),
    picture(u"Image4", 0, 10080, 15205, 600, u":/pictures/status_strip.jpg", true),
    picture(u"Image2", 0, 0, 15225, 1215, u":/pictures/top_strip.jpg", true),
}};

const std::array<ControlEntry, 1> kForm2 = {{
    {.name = u"Label1",
     .kind = K::Label,
     .left = 2280,
     .top = 1320,
     .width = 2295,
     .height = 255,
     .text = u"共亨目录搜索模式非加速版",
     .foreColor = ole::kWindowText,
     .transparent = true},
}};

} // namespace

std::span<const ControlEntry> form1Layout()
{
    return kForm1;
}
std::span<const ControlEntry> form2Layout()
{
    return kForm2;
}

} // namespace moviecat
