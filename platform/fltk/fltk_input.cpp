#include "platform/fltk/fltk_input.h"

#include <FL/Enumerations.H>

#include <utility>

namespace dravix::fltk {

namespace {

// Windows virtual-key codes that are not plain letters or digits.
namespace vk {
constexpr int back = 0x08, tab = 0x09, returnKey = 0x0D, shift = 0x10, control = 0x11, menu = 0x12,
              pause = 0x13, capital = 0x14, kana = 0x15, escape = 0x1B, space = 0x20, prior = 0x21,
              next = 0x22, end = 0x23, home = 0x24, left = 0x25, up = 0x26, right = 0x27,
              down = 0x28, snapshot = 0x2C, insert = 0x2D, deleteKey = 0x2E, help = 0x2F,
              leftWin = 0x5B, rightWin = 0x5C, apps = 0x5D, sleep = 0x5F, numpad0 = 0x60,
              multiply = 0x6A, add = 0x6B, separator = 0x6C, subtract = 0x6D, decimal = 0x6E,
              divide = 0x6F, f1 = 0x70, numLock = 0x90, scroll = 0x91, browserBack = 0xA6,
              browserForward = 0xA7, browserRefresh = 0xA8, browserStop = 0xA9,
              browserSearch = 0xAA, browserFavorites = 0xAB, browserHome = 0xAC, volumeMute = 0xAD,
              volumeDown = 0xAE, volumeUp = 0xAF, mediaNext = 0xB0, mediaPrevious = 0xB1,
              mediaStop = 0xB2, mediaPlayPause = 0xB3, launchMail = 0xB4, oem1 = 0xBA,
              oemPlus = 0xBB, oemComma = 0xBC, oemMinus = 0xBD, oemPeriod = 0xBE, oem2 = 0xBF,
              oem3 = 0xC0, oem4 = 0xDB, oem5 = 0xDC, oem6 = 0xDD, oem7 = 0xDE, oem102 = 0xE2;
} // namespace vk

constexpr int functionKeyCount = 24; // F1 to F24

// Keys with a code of their own. The punctuation keys are named by their unshifted character on
// a US layout, which is what both FLTK and Windows go by.
// clang-format off
constexpr std::pair<int, int> namedKeys[] = {
    {FL_BackSpace, vk::back},       {FL_Tab, vk::tab},              {FL_Enter, vk::returnKey},
    {FL_KP_Enter, vk::returnKey},   {FL_Pause, vk::pause},          {FL_Scroll_Lock, vk::scroll},
    {FL_Escape, vk::escape},        {FL_Kana, vk::kana},            {FL_Home, vk::home},
    {FL_Left, vk::left},            {FL_Up, vk::up},                {FL_Right, vk::right},
    {FL_Down, vk::down},            {FL_Page_Up, vk::prior},        {FL_Page_Down, vk::next},
    {FL_End, vk::end},              {FL_Print, vk::snapshot},       {FL_Insert, vk::insert},
    {FL_Menu, vk::apps},            {FL_Help, vk::help},            {FL_Num_Lock, vk::numLock},
    {FL_Shift_L, vk::shift},        {FL_Shift_R, vk::shift},        {FL_Control_L, vk::control},
    {FL_Control_R, vk::control},    {FL_Caps_Lock, vk::capital},    {FL_Meta_L, vk::leftWin},
    {FL_Meta_R, vk::rightWin},      {FL_Alt_L, vk::menu},           {FL_Alt_R, vk::menu},
    {FL_Delete, vk::deleteKey},     {FL_Iso_Key, vk::oem102},       {' ', vk::space},
    {';', vk::oem1},                {'=', vk::oemPlus},             {',', vk::oemComma},
    {'-', vk::oemMinus},            {'.', vk::oemPeriod},           {'/', vk::oem2},
    {'`', vk::oem3},                {'[', vk::oem4},                {'\\', vk::oem5},
    {']', vk::oem6},                {'\'', vk::oem7},               {FL_Sleep, vk::sleep},
    {FL_Back, vk::browserBack},     {FL_Forward, vk::browserForward},
    {FL_Refresh, vk::browserRefresh},                               {FL_Stop, vk::browserStop},
    {FL_Search, vk::browserSearch}, {FL_Favorites, vk::browserFavorites},
    {FL_Home_Page, vk::browserHome},                                {FL_Volume_Mute, vk::volumeMute},
    {FL_Volume_Down, vk::volumeDown},                               {FL_Volume_Up, vk::volumeUp},
    {FL_Media_Next, vk::mediaNext}, {FL_Media_Prev, vk::mediaPrevious},
    {FL_Media_Stop, vk::mediaStop}, {FL_Media_Play, vk::mediaPlayPause},
    {FL_Mail, vk::launchMail},
};

// Keypad keys other than the digits: FLTK reports them as FL_KP plus their character.
constexpr std::pair<char, int> keypadOperators[] = {
    {'*', vk::multiply}, {'+', vk::add},     {',', vk::separator},
    {'-', vk::subtract}, {'.', vk::decimal}, {'/', vk::divide},
};
// clang-format on

} // namespace

int virtualKeyFromFltk(int fltkKey) {
    if (fltkKey >= 'a' && fltkKey <= 'z')
        return fltkKey - 'a' + 'A';
    if ((fltkKey >= 'A' && fltkKey <= 'Z') || (fltkKey >= '0' && fltkKey <= '9'))
        return fltkKey;
    if (fltkKey >= FL_KP + '0' && fltkKey <= FL_KP + '9')
        return vk::numpad0 + fltkKey - (FL_KP + '0');
    if (fltkKey > FL_F && fltkKey <= FL_F + functionKeyCount)
        return vk::f1 + fltkKey - (FL_F + 1);
    for (const auto& [keypadCharacter, code] : keypadOperators) {
        if (fltkKey == FL_KP + keypadCharacter)
            return code;
    }
    for (const auto& [key, code] : namedKeys) {
        if (fltkKey == key)
            return code;
    }
    return 0;
}

std::optional<MouseButton> mouseButtonFromFltk(int fltkButton) {
    switch (fltkButton) {
    case FL_LEFT_MOUSE:
        return MouseButton::left;
    case FL_MIDDLE_MOUSE:
        return MouseButton::middle;
    case FL_RIGHT_MOUSE:
        return MouseButton::right;
    default:
        return std::nullopt;
    }
}

} // namespace dravix::fltk
