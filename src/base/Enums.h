#pragma once
// The wizard's statuses and the codes the reporters send. Raw values are part
// of the telemetry contract: never renumber.

#include <array>
#include <cstdint>
#include <optional>

enum class INSTALLER_STATUS : std::uint8_t {
    Prepare_to_download,
    Downloading,
    Download_failed,
    Installing,
    Install_failed,
    Install_success,
};

enum class ENUMInstallPoint : int {
    nonePoint = 0,
    showInterface = 1,
    installNow = 2,
    downloadStart = 3,
    downloadFail = 4,
    downloadComplete = 5,
    installStart = 6,
    installFail = 7,
    installComplete = 8,
    applicationStart = 9,
};

enum class ENUMInstallClick : int {
    none = 0,
    unused1 = 1,
    unused2 = 2,
    ofdAssociationOn = 3,
    ofdAssociationOff = 4,
    lastWindowClosed = 5,
    closePanelShown = 6,
    closeConfirmed = 7,
    closeCancelled = 8,
    disagree = 9,
    unused21 = 21,
    unused22 = 22,
    downloadRetry = 31,
    downloadFeedback = 32,
    reinstall = 33,
};

enum class ENUMInstallResult : int {
    installSuccess = 1,
    quitCoverInstall = 2,
    quitFreshInstall = 3,
    unused4 = 4,
    unused5,
    unused6,
    unused7,
    unused8,
    unused9,
    unused10,
    unused11,
    unused12,
    unused13,
    unused14,
    unused15,
    unused16,
    unused17,
    unused18,
    unused19,
    unused20,
    installSuccessSettings = 21,
    unused22 = 22,
    downloadFailed = 23,
    downloadRetry = 24,
    installFailed = 25,
    reinstall = 26,
    interfaceShown = 100,
    unused200 = 200,
};

// Declaration order of the cases; a result's position decides some report fields.
inline constexpr std::array<ENUMInstallClick, 15> kInstallClicks = {
    ENUMInstallClick::none,
    ENUMInstallClick::unused1,
    ENUMInstallClick::unused2,
    ENUMInstallClick::ofdAssociationOn,
    ENUMInstallClick::ofdAssociationOff,
    ENUMInstallClick::lastWindowClosed,
    ENUMInstallClick::closePanelShown,
    ENUMInstallClick::closeConfirmed,
    ENUMInstallClick::closeCancelled,
    ENUMInstallClick::disagree,
    ENUMInstallClick::unused21,
    ENUMInstallClick::unused22,
    ENUMInstallClick::downloadRetry,
    ENUMInstallClick::downloadFeedback,
    ENUMInstallClick::reinstall,
};

inline constexpr std::array<int, 28> kInstallResultRawValues = {
    1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,  14,
    15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 100, 200,
};

constexpr int rawValue(ENUMInstallPoint v) {
    return static_cast<int>(v);
}
constexpr int rawValue(ENUMInstallClick v) {
    return static_cast<int>(v);
}
constexpr int rawValue(ENUMInstallResult v) {
    return static_cast<int>(v);
}

constexpr std::optional<ENUMInstallPoint> installPointFromRaw(long long raw) {
    if (raw < 0 || raw > 9)
        return std::nullopt;
    return static_cast<ENUMInstallPoint>(raw);
}

constexpr std::optional<ENUMInstallClick> installClickFromRaw(long long raw) {
    for (ENUMInstallClick c : kInstallClicks)
        if (rawValue(c) == raw)
            return c;
    return std::nullopt;
}

constexpr std::optional<ENUMInstallResult> installResultFromRaw(long long raw) {
    for (int v : kInstallResultRawValues)
        if (v == raw)
            return static_cast<ENUMInstallResult>(v);
    return std::nullopt;
}
