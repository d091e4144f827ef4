#pragma once


// Resource and command identifiers, shared by the resource script and the windows.
// Plain macros: the resource compiler reads this file too.
#define ORVALIX_IDI_APPLICATION 107
#define ORVALIX_IDR_MAIN_MENU 109
#define ORVALIX_IDD_ABOUT 103
#define ORVALIX_IDC_ABOUT_ICON 1001
#define ORVALIX_IDC_ABOUT_VERSION 1000
#define ORVALIX_CMD_ABOUT 104
#define ORVALIX_CMD_EXIT 105
#define ORVALIX_CMD_OPEN 32774
#define ORVALIX_CMD_START 32775
#define ORVALIX_CMD_STOP 32776
#define ORVALIX_CMD_TILE 32777
#define ORVALIX_CMD_CASCADE 32780
#define ORVALIX_CMD_PAUSE 32782
#define ORVALIX_CMD_CAPTURE 32783
#define ORVALIX_CMD_ON_ARRIVAL 32784
#define ORVALIX_CMD_FAULT_SEED 32785
#define ORVALIX_IDD_FAULT_SEED 110
#define ORVALIX_IDC_FAULT_SEED 1002
#define ORVALIX_IDC_FAULT_SEED_PROMPT 1003
#define ORVALIX_CMD_SHOW_ENVIRONMENT 30000

#ifndef RC_INVOKED
namespace orvalix::ui {

inline constexpr int kMainMenu = ORVALIX_IDR_MAIN_MENU;
inline constexpr int kApplicationIcon = ORVALIX_IDI_APPLICATION;
inline constexpr int kAboutDialog = ORVALIX_IDD_ABOUT;
inline constexpr int kFaultSeedDialog = ORVALIX_IDD_FAULT_SEED;

enum Command : int {
    kCommandAbout = ORVALIX_CMD_ABOUT,
    kCommandExit = ORVALIX_CMD_EXIT,
    kCommandOpen = ORVALIX_CMD_OPEN,
    kCommandStart = ORVALIX_CMD_START,
    kCommandStop = ORVALIX_CMD_STOP,
    kCommandTile = ORVALIX_CMD_TILE,
    kCommandCascade = ORVALIX_CMD_CASCADE,
    kCommandPause = ORVALIX_CMD_PAUSE,
    kCommandCapture = ORVALIX_CMD_CAPTURE,
    kCommandOnArrival = ORVALIX_CMD_ON_ARRIVAL,
    kCommandFaultSeed = ORVALIX_CMD_FAULT_SEED,
    kCommandShowEnvironment = ORVALIX_CMD_SHOW_ENVIRONMENT,
};

}  // namespace orvalix::ui
#endif
