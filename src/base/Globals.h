#pragma once
// Process-wide constants and shared state of the installer.

#include "base/Enums.h"
#include "base/ReportBlock.h"

#include <QString>
#include <atomic>
#include <optional>

inline constexpr int WINDOW_HEIGHT = 492; // the wizard area is WINDOW_HEIGHT - 56
inline constexpr int WINDOW_WIDTH = 680;

inline constexpr const char* QCTRL_PATH = "qctrl.dat";
inline constexpr const char* QFMT_PATH = "qfmt.dat";
inline constexpr const char* PRIVATE_TABLE_NAME = "vexa_tools_install";
inline constexpr const char* MAC_PRIVATE_TABLE_NAME = "vexa_lmdoc_mac_install";
inline constexpr const char* REKOL_3RD_DEFAULT_REPORTER_ID = "4e7a0c2b9d3f41e68a5b7c9d0e1f2a3b";

// Pages of the product web site (host from Config).
QString userProtocolUrl();
QString privacyInductionUrl();
QString feedbackUrl();

// Disk image for this machine; set when the installer view is created.
extern QString downloadUrl;

// Last status the flow published; read by the window's close handling.
extern std::atomic<INSTALLER_STATUS> g_installerStatus;

// Filled once from the installer's name and the settings file, then copied
// into both reporters.
ReportBlock& reporterBlock();

// The per-user data folder of appName (macOS: ~/Library/Application Support,
// Linux: $XDG_DATA_HOME or ~/.local/share); logs once per call when there is none.
std::optional<QString> appDataLocation(const QString& appName);

// "<app data>/reg/common.ini"; computed once, thread-safely, on first use.
// No value when no per-user data folder exists (not retried).
const std::optional<QString>& g_commonFilePath();
