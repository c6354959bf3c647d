// The keyboard as a user has it: keys pressed and released through
// SendInput, so they reach the focused window of the active window through
// the thread's message loop, with the shift, control and alt states the
// system keeps for them. Windows of the test must be in the foreground.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace qv::testing {

inline bool IsExtendedKey(WORD vk) {
    switch (vk) {
        case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
        case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
        case VK_INSERT: case VK_DELETE:
            return true;
        default:
            return false;
    }
}

inline INPUT KeyInput(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}

// Presses the keys in order and releases them in reverse order:
// {VK_MENU, VK_DOWN} is Alt+Down.
inline void Chord(std::initializer_list<WORD> keys) {
    std::vector<INPUT> in;
    for (WORD vk : keys) in.push_back(KeyInput(vk, false));
    for (auto it = keys.end(); it != keys.begin();) in.push_back(KeyInput(*--it, true));
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

// Key presses (true) and releases (false) in the order given, for the orders
// a chord does not give: Alt let go before the arrow.
inline void KeyEvents(std::initializer_list<std::pair<WORD, bool>> events) {
    std::vector<INPUT> in;
    for (const auto& e : events) in.push_back(KeyInput(e.first, !e.second));
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

// Types text on the keyboard layout's keys, with shift (or AltGr) where a
// character needs it.
inline void TypeText(const std::string& text) {
    for (char ch : text) {
        const SHORT scan = VkKeyScanA(ch);
        if (scan == -1) continue;
        const WORD vk = LOBYTE(scan);
        const BYTE mods = HIBYTE(scan);
        std::vector<WORD> chord;
        if (mods & 2) chord.push_back(VK_CONTROL);
        if (mods & 4) chord.push_back(VK_MENU);
        if (mods & 1) chord.push_back(VK_SHIFT);
        chord.push_back(vk);
        std::vector<INPUT> in;
        for (WORD k : chord) in.push_back(KeyInput(k, false));
        for (auto it = chord.rbegin(); it != chord.rend(); ++it) in.push_back(KeyInput(*it, true));
        SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    }
}

// The thread's message loop for ms milliseconds, as the program runs it:
// preTranslate (the window's keyboard navigation) sees each message first.
inline void RunLoop(DWORD ms, const std::function<bool(MSG*)>& preTranslate = {}) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            if (preTranslate && preTranslate(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

}  // namespace qv::testing
