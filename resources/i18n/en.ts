<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>Lumadoc</name>
    <message>
        <source>Lumadoc安装程序</source>
        <extracomment>window title</extracomment>
        <translation>Lumadoc Installer</translation>
    </message>
    <message>
        <source>Einfaches Lesen· kostenlose Bearbeitung· schnelle Konvertierung</source>
        <extracomment>start screen slogan</extracomment>
        <translation>Easy reading · Free editing · Fast conversion</translation>
    </message>
    <message>
        <source>Ich habe gelesen und zugestimmt </source>
        <extracomment>agreement line, first part (before the terms link)</extracomment>
        <translation>I have read and agree to the </translation>
    </message>
    <message>
        <source>"Nutzungsvereinbarung"</source>
        <extracomment>agreement line, terms link</extracomment>
        <translation>"User Agreement"</translation>
    </message>
    <message>
        <source>und</source>
        <extracomment>agreement line, between the two links</extracomment>
        <translation>and the</translation>
    </message>
    <message>
        <source>"Datenschutzerklärung"</source>
        <extracomment>agreement line, privacy link</extracomment>
        <translation>"Privacy Policy"</translation>
    </message>
    <message>
        <source>Nicht einverstanden</source>
        <extracomment>button that declines and quits</extracomment>
        <translation>Decline</translation>
    </message>
    <message>
        <source>Installieren</source>
        <extracomment>primary install button</extracomment>
        <translation>Install</translation>
    </message>
    <message>
        <source>Benutzerdefinierte Installation</source>
        <extracomment>toggle that opens the options panel</extracomment>
        <translation>Custom installation</translation>
    </message>
    <message>
        <source>Lumadoc正在运行，
请先关闭应用后再安装软件</source>
        <extracomment>alert title; keep the line break</extracomment>
        <translation>Lumadoc is running.
Please quit it before installing.</translation>
    </message>
    <message>
        <source>好的</source>
        <extracomment>alert button</extracomment>
        <translation>OK</translation>
    </message>
    <message>
        <source>Legen Sie Lumadoc als Standard-PDF-Reader fest und verhindern Sie Manipulationen</source>
        <extracomment>option check box</extracomment>
        <translation>Make Lumadoc the default PDF reader and prevent tampering</translation>
    </message>
    <message>
        <source>Zugehöriges OFD-Dokumentformat</source>
        <extracomment>option check box</extracomment>
        <translation>Associate OFD documents with Lumadoc</translation>
    </message>
    <message>
        <source>下载剩余%d秒</source>
        <extracomment>remaining download time; %d = seconds</extracomment>
        <translation>%d sec remaining</translation>
    </message>
    <message>
        <source>下载剩余%d分%d秒</source>
        <extracomment>remaining download time; first %d = minutes, second %d = seconds</extracomment>
        <translation>%d min %d sec remaining</translation>
    </message>
    <message>
        <source>安装中（预计在10秒内完成）</source>
        <extracomment>status line while installing</extracomment>
        <translation>Installing (done in about 10 seconds)</translation>
    </message>
    <message>
        <source>下载失败，请检查网络环境后</source>
        <extracomment>followed by the retry link and the feedback link</extracomment>
        <translation>Download failed. Check your network and</translation>
    </message>
    <message>
        <source>重试</source>
        <extracomment>retry link after the download-failed message</extracomment>
        <translation>try again</translation>
    </message>
    <message>
        <source>反馈</source>
        <extracomment>feedback link</extracomment>
        <translation>Feedback</translation>
    </message>
    <message>
        <source>安装失败，请点此</source>
        <extracomment>followed by the reinstall link</extracomment>
        <translation>Installation failed. Click here to</translation>
    </message>
    <message>
        <source>重新安装</source>
        <extracomment>reinstall link</extracomment>
        <translation>reinstall</translation>
    </message>
    <message>
        <source>After closing, the software download will terminate. Are you sure you want to close?</source>
        <extracomment>close confirmation message</extracomment>
        <translation>After closing, the software download will terminate. Are you sure you want to close?</translation>
    </message>
    <message>
        <source>Still close</source>
        <extracomment>close confirmation: closes the installer</extracomment>
        <translation>Close anyway</translation>
    </message>
    <message>
        <source>Continue</source>
        <extracomment>close confirmation: keeps downloading</extracomment>
        <translation>Continue</translation>
    </message>
    <message>
        <source>another Lumadoc installer is running</source>
        <extracomment>alert shown when a second installer starts; it then quits</extracomment>
        <translation>Another Lumadoc installer is running.</translation>
    </message>
</context>
</TS>
