<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Lumadoc</name>
    <message>
        <source>Lumadoc安装程序</source>
        <extracomment>window title</extracomment>
        <translation>Lumadoc安装程序</translation>
    </message>
    <message>
        <source>Einfaches Lesen· kostenlose Bearbeitung· schnelle Konvertierung</source>
        <extracomment>start screen slogan</extracomment>
        <translation>轻松阅读 · 免费编辑 · 快速转换</translation>
    </message>
    <message>
        <source>Ich habe gelesen und zugestimmt </source>
        <extracomment>agreement line, first part (before the terms link)</extracomment>
        <translation>我已阅读并同意</translation>
    </message>
    <message>
        <source>"Nutzungsvereinbarung"</source>
        <extracomment>agreement line, terms link</extracomment>
        <translation>《用户协议》</translation>
    </message>
    <message>
        <source>und</source>
        <extracomment>agreement line, between the two links</extracomment>
        <translation>和</translation>
    </message>
    <message>
        <source>"Datenschutzerklärung"</source>
        <extracomment>agreement line, privacy link</extracomment>
        <translation>《隐私政策》</translation>
    </message>
    <message>
        <source>Nicht einverstanden</source>
        <extracomment>button that declines and quits</extracomment>
        <translation>不同意</translation>
    </message>
    <message>
        <source>Installieren</source>
        <extracomment>primary install button</extracomment>
        <translation>立即安装</translation>
    </message>
    <message>
        <source>Benutzerdefinierte Installation</source>
        <extracomment>toggle that opens the options panel</extracomment>
        <translation>自定义安装</translation>
    </message>
    <message>
        <source>Lumadoc正在运行，
请先关闭应用后再安装软件</source>
        <extracomment>alert title; keep the line break</extracomment>
        <translation>Lumadoc正在运行，
请先关闭应用后再安装软件</translation>
    </message>
    <message>
        <source>好的</source>
        <extracomment>alert button</extracomment>
        <translation>好的</translation>
    </message>
    <message>
        <source>Legen Sie Lumadoc als Standard-PDF-Reader fest und verhindern Sie Manipulationen</source>
        <extracomment>option check box</extracomment>
        <translation>将Lumadoc设为默认PDF阅读器并防止被篡改</translation>
    </message>
    <message>
        <source>Zugehöriges OFD-Dokumentformat</source>
        <extracomment>option check box</extracomment>
        <translation>关联OFD文档格式</translation>
    </message>
    <message>
        <source>下载剩余%d秒</source>
        <extracomment>remaining download time; %d = seconds</extracomment>
        <translation>下载剩余%d秒</translation>
    </message>
    <message>
        <source>下载剩余%d分%d秒</source>
        <extracomment>remaining download time; first %d = minutes, second %d = seconds</extracomment>
        <translation>下载剩余%d分%d秒</translation>
    </message>
    <message>
        <source>安装中（预计在10秒内完成）</source>
        <extracomment>status line while installing</extracomment>
        <translation>安装中（预计在10秒内完成）</translation>
    </message>
    <message>
        <source>下载失败，请检查网络环境后</source>
        <extracomment>followed by the retry link and the feedback link</extracomment>
        <translation>下载失败，请检查网络环境后</translation>
    </message>
    <message>
        <source>重试</source>
        <extracomment>retry link after the download-failed message</extracomment>
        <translation>重试</translation>
    </message>
    <message>
        <source>反馈</source>
        <extracomment>feedback link</extracomment>
        <translation>反馈</translation>
    </message>
    <message>
        <source>安装失败，请点此</source>
        <extracomment>followed by the reinstall link</extracomment>
        <translation>安装失败，请点此</translation>
    </message>
    <message>
        <source>重新安装</source>
        <extracomment>reinstall link</extracomment>
        <translation>重新安装</translation>
    </message>
    <message>
        <source>After closing, the software download will terminate. Are you sure you want to close?</source>
        <extracomment>close confirmation message</extracomment>
        <translation>关闭后将终止软件下载，确定要关闭吗？</translation>
    </message>
    <message>
        <source>Still close</source>
        <extracomment>close confirmation: closes the installer</extracomment>
        <translation>仍然关闭</translation>
    </message>
    <message>
        <source>Continue</source>
        <extracomment>close confirmation: keeps downloading</extracomment>
        <translation>继续下载</translation>
    </message>
    <message>
        <source>another Lumadoc installer is running</source>
        <extracomment>alert shown when a second installer starts; it then quits</extracomment>
        <translation>另一个Lumadoc安装程序正在运行。</translation>
    </message>
</context>
</TS>
