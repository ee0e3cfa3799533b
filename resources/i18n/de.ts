<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>Lumadoc</name>
    <message>
        <source>Lumadoc安装程序</source>
        <extracomment>window title</extracomment>
        <translation>Lumadoc-Installationsprogramm</translation>
    </message>
    <message>
        <source>Einfaches Lesen· kostenlose Bearbeitung· schnelle Konvertierung</source>
        <extracomment>start screen slogan</extracomment>
        <translation>Einfach lesen · kostenlos bearbeiten · schnell konvertieren</translation>
    </message>
    <message>
        <source>Ich habe gelesen und zugestimmt </source>
        <extracomment>agreement line, first part (before the terms link)</extracomment>
        <translation>Ich akzeptiere die </translation>
    </message>
    <message>
        <source>"Nutzungsvereinbarung"</source>
        <extracomment>agreement line, terms link</extracomment>
        <translation>„Nutzungsvereinbarung“</translation>
    </message>
    <message>
        <source>und</source>
        <extracomment>agreement line, between the two links</extracomment>
        <translation>und die</translation>
    </message>
    <message>
        <source>"Datenschutzerklärung"</source>
        <extracomment>agreement line, privacy link</extracomment>
        <translation>„Datenschutzerklärung“</translation>
    </message>
    <message>
        <source>Nicht einverstanden</source>
        <extracomment>button that declines and quits</extracomment>
        <translation>Ablehnen</translation>
    </message>
    <message>
        <source>Installieren</source>
        <extracomment>primary install button</extracomment>
        <translation>Installieren</translation>
    </message>
    <message>
        <source>Benutzerdefinierte Installation</source>
        <extracomment>toggle that opens the options panel</extracomment>
        <translation>Benutzerdefinierte Installation</translation>
    </message>
    <message>
        <source>Lumadoc正在运行，
请先关闭应用后再安装软件</source>
        <extracomment>alert title; keep the line break</extracomment>
        <translation>Lumadoc wird gerade ausgeführt.
Bitte beenden Sie Lumadoc vor der Installation.</translation>
    </message>
    <message>
        <source>好的</source>
        <extracomment>alert button</extracomment>
        <translation>OK</translation>
    </message>
    <message>
        <source>Legen Sie Lumadoc als Standard-PDF-Reader fest und verhindern Sie Manipulationen</source>
        <extracomment>option check box</extracomment>
        <translation>Lumadoc als Standard-PDF-Reader festlegen und vor Änderungen schützen</translation>
    </message>
    <message>
        <source>Zugehöriges OFD-Dokumentformat</source>
        <extracomment>option check box</extracomment>
        <translation>OFD-Dokumente mit Lumadoc verknüpfen</translation>
    </message>
    <message>
        <source>下载剩余%d秒</source>
        <extracomment>remaining download time; %d = seconds</extracomment>
        <translation>Noch %d Sek.</translation>
    </message>
    <message>
        <source>下载剩余%d分%d秒</source>
        <extracomment>remaining download time; first %d = minutes, second %d = seconds</extracomment>
        <translation>Noch %d Min. %d Sek.</translation>
    </message>
    <message>
        <source>安装中（预计在10秒内完成）</source>
        <extracomment>status line while installing</extracomment>
        <translation>Wird installiert … (in etwa 10 Sekunden abgeschlossen)</translation>
    </message>
    <message>
        <source>下载失败，请检查网络环境后</source>
        <extracomment>followed by the retry link and the feedback link</extracomment>
        <translation>Download fehlgeschlagen. Netzwerk prüfen und</translation>
    </message>
    <message>
        <source>重试</source>
        <extracomment>retry link after the download-failed message</extracomment>
        <translation>erneut versuchen</translation>
    </message>
    <message>
        <source>反馈</source>
        <extracomment>feedback link</extracomment>
        <translation>Feedback</translation>
    </message>
    <message>
        <source>安装失败，请点此</source>
        <extracomment>followed by the reinstall link</extracomment>
        <translation>Installation fehlgeschlagen. Bitte</translation>
    </message>
    <message>
        <source>重新安装</source>
        <extracomment>reinstall link</extracomment>
        <translation>erneut installieren</translation>
    </message>
    <message>
        <source>After closing, the software download will terminate. Are you sure you want to close?</source>
        <extracomment>close confirmation message</extracomment>
        <translation>Wenn Sie das Fenster schließen, wird der Download abgebrochen. Möchten Sie wirklich schließen?</translation>
    </message>
    <message>
        <source>Still close</source>
        <extracomment>close confirmation: closes the installer</extracomment>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Continue</source>
        <extracomment>close confirmation: keeps downloading</extracomment>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>another Lumadoc installer is running</source>
        <extracomment>alert shown when a second installer starts; it then quits</extracomment>
        <translation>Ein anderes Lumadoc-Installationsprogramm läuft bereits.</translation>
    </message>
</context>
</TS>
