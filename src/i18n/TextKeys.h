#pragma once
// Every text the installer shows, by its lookup key. A key is the text's own
// literal, so a key missing from a table still shows something readable. The two
// remaining-time keys are formats: their translations keep the same %d
// placeholders in the same order.

#include <array>

namespace TextKey {

inline constexpr char windowTitle[] = "Lumadoc安装程序";
inline constexpr char slogan[] = "Einfaches Lesen· kostenlose Bearbeitung· schnelle Konvertierung";
inline constexpr char agreementPrefix[] = "Ich habe gelesen und zugestimmt ";
inline constexpr char termsLink[] = "\"Nutzungsvereinbarung\"";
inline constexpr char agreementJoin[] = "und";
inline constexpr char privacyLink[] = "\"Datenschutzerklärung\"";
inline constexpr char disagree[] = "Nicht einverstanden";
inline constexpr char install[] = "Installieren";
inline constexpr char customInstall[] = "Benutzerdefinierte Installation";
inline constexpr char productRunning[] = "Lumadoc正在运行，\n请先关闭应用后再安装软件";
inline constexpr char productRunningOk[] = "好的";
inline constexpr char setDefaultReader[] =
    "Legen Sie Lumadoc als Standard-PDF-Reader fest und verhindern Sie Manipulationen";
inline constexpr char associateOfd[] = "Zugehöriges OFD-Dokumentformat";
inline constexpr char remainSeconds[] = "下载剩余%d秒";            // seconds
inline constexpr char remainMinutesSeconds[] = "下载剩余%d分%d秒"; // minutes, seconds
inline constexpr char installing[] = "安装中（预计在10秒内完成）";
inline constexpr char downloadFailed[] = "下载失败，请检查网络环境后";
inline constexpr char retry[] = "重试";
inline constexpr char feedback[] = "反馈";
inline constexpr char installFailed[] = "安装失败，请点此";
inline constexpr char reinstall[] = "重新安装";
inline constexpr char exitAlertMessage[] =
    "After closing, the software download will terminate. Are you sure you want to close?";
inline constexpr char exitAlertClose[] = "Still close";
inline constexpr char exitAlertContinue[] = "Continue";
inline constexpr char anotherInstaller[] = "another Lumadoc installer is running";

inline constexpr std::array<const char*, 25> all = {
    windowTitle,      slogan,           agreementPrefix, termsLink,         agreementJoin,
    privacyLink,      disagree,         install,         customInstall,     productRunning,
    productRunningOk, setDefaultReader, associateOfd,    remainSeconds,     remainMinutesSeconds,
    installing,       downloadFailed,   retry,           feedback,          installFailed,
    reinstall,        exitAlertMessage, exitAlertClose,  exitAlertContinue, anotherInstaller,
};

} // namespace TextKey
