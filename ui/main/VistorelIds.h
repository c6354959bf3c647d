// Control ids of the main window, shared with the programs that drive it in
// tests.
#pragma once

namespace qv::ui::ids {

constexpr const char* kMainClass = "TfrmVistorel";
constexpr const char* kMainCaption = "Quarvelin 1.03";
// What the window layer is handed: title of the boxes, the words for an error
// without its own, the icon resource (app/Quarvelin.rc).
constexpr const char* kAppTitle = "Quarvelin";
constexpr const char* kUnknownError = "Unbekannter Fehler";
constexpr int kAppIcon = 1;

constexpr int kGrid = 300;
constexpr int kNavigator = 301;
constexpr int kPanel1 = 302;

constexpr int btnStarten = 201;
constexpr int Button1 = 202;
constexpr int Button2 = 203;
constexpr int chkminimized = 204;
constexpr int chkAktiviert = 205;
constexpr int chkAutostart = 206;
constexpr int edMail = 207;
constexpr int chkMail = 208;
constexpr int btnHelp = 209;
constexpr int Label1 = 210;
constexpr int Image1 = 211;
constexpr int btnAktiv = 212;

// Tray menu commands.
constexpr int Beenden1 = 401;
constexpr int Wiederherstellen1 = 402;

}  // namespace qv::ui::ids
