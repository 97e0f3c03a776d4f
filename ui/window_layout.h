// Where each control lies in the window, in twips (1440 to the inch; 15 to a pixel at the usual
// 96 dots per inch), as the window is drawn; every front end turns them into its own units.
#pragma once

namespace r462xe::layout {

struct TwipsPlace {
    int left, top, width, height;
};

inline constexpr int kTwipsPerInch = 1440;

inline constexpr TwipsPlace kClientArea{0, 0, 11550, 2190};
inline constexpr int kLabelHeight = 255;
inline constexpr int kListHeight = 330;
inline constexpr int kButtonHeight = 375;
// Captions of the second row sit level with the list's text.
inline constexpr int kRowTwoLabelTop = 660;

inline constexpr TwipsPlace kLabel8{120, 120, 1455, kLabelHeight};
inline constexpr TwipsPlace kLabel7{1560, 120, 1815, kLabelHeight};
inline constexpr TwipsPlace kLabel3{3600, 120, 1455, kLabelHeight};
inline constexpr TwipsPlace kLabel5{5040, 120, 2775, kLabelHeight};
inline constexpr TwipsPlace kLabel1{8040, 120, 1575, kLabelHeight};
inline constexpr TwipsPlace kLabel4{9600, 120, 1815, kLabelHeight};
inline constexpr TwipsPlace kLabel2{120, kRowTwoLabelTop, 1335, kLabelHeight};
inline constexpr TwipsPlace kCom1{1200, 600, 4575, kListHeight};
inline constexpr TwipsPlace kCommand1{6000, 600, 3015, kButtonHeight};
inline constexpr TwipsPlace kCommand2{9240, 600, 2175, kButtonHeight};
inline constexpr TwipsPlace kFrame1{120, 1065, 11295, 735};
inline constexpr TwipsPlace kProgressBar1{120, 285, 11055, 300};  // inside Frame1
inline constexpr TwipsPlace kLabel6{120, 1905, 11295, kLabelHeight};
inline constexpr TwipsPlace kLabel9{120, 1920, 5655, kLabelHeight};

}  // namespace r462xe::layout
