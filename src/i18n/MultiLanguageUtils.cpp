#include "i18n/MultiLanguageUtils.h"

#include "base/Log.h"
#include "base/SmallFile.h"
#include "base/WholeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>

namespace {

constexpr char kTableRoot[] = ":/i18n";

QPointer<QTranslator>& installedTable() {
    static QPointer<QTranslator> translator;
    return translator;
}

QString& installedLanguage() {
    static QString language;
    return language;
}

void removeInstalledTable() {
    if (QTranslator* old = installedTable()) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    installedTable() = nullptr;
    installedLanguage().clear();
}

qsizetype countPlaceholders(const QString& text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'%')
            continue;
        if (text[i + 1] == u'd')
            ++count;
        ++i; // "%%" and "%d" are both two characters
    }
    return count;
}

} // namespace

QStringList MultiLanguageUtils::applicationLanguages() {
    QStringList languages;
    const QStringList files = QDir(kTableRoot).entryList({QStringLiteral("*.qm")}, QDir::Files);
    for (const QString& file : files)
        languages << QFileInfo(file).completeBaseName();
    languages.sort();
    return languages;
}

QString MultiLanguageUtils::getCurrentLanguage() {
    return chooseLanguage(applicationLanguages(), QLocale::system().uiLanguages());
}

QString MultiLanguageUtils::chooseLanguage(const QStringList& available,
                                           const QStringList& preferred) {
    const QString fallback = QStringLiteral("en");
    if (available.isEmpty() || preferred.isEmpty())
        return fallback;
    const QLocale locale(preferred.first());
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        return fallback;
    const QString code = QLocale::languageToCode(locale.language());
    for (const QString& language : available) {
        if (language == code)
            return language;
    }
    return fallback;
}

bool MultiLanguageUtils::setLanguage(const QString& language) {
    saveLanguagePreference(language);
    return useLanguage(language);
}

void MultiLanguageUtils::saveLanguagePreference(const QString& language) {
    const auto settings = preferences();
    const QString error = writePreferences(*settings, language);
    if (!error.isEmpty())
        logLine(lcUi(), QStringLiteral("Could not save the interface language to %1: %2")
                            .arg(settings->fileName(), error));
}

QString MultiLanguageUtils::writePreferences(QSettings& settings, const QString& language) {
    const QList<std::pair<QString, QVariant>> values = {
        {QStringLiteral("AppleTextDirection"), false},
        {QStringLiteral("NSForceRightToLeftWritingDirection"), false},
        {QStringLiteral("AppleLanguages"), QStringList{language}},
    };
#ifdef Q_OS_MACOS
    if (!QStandardPaths::isTestModeEnabled()) {
        // The system's defaults database, not a file of ours.
        for (const auto& [key, value] : values)
            settings.setValue(key, value);
        settings.sync();
        return settings.status() == QSettings::NoError ? QString() : QStringLiteral("not saved");
    }
#endif
    // A file: Qt would replace it even after a failed write. The new text is
    // made in a private folder and checked, then put in place whole.
    const QTemporaryDir stage;
    if (!stage.isValid())
        return stage.errorString();
    const QString staged = stage.filePath(QStringLiteral("preferences.conf"));
    {
        QSettings copy(staged, QSettings::IniFormat);
        for (const QString& key : settings.allKeys())
            copy.setValue(key, settings.value(key));
        for (const auto& [key, value] : values)
            copy.setValue(key, value);
    }
    if (QSettings(staged, QSettings::IniFormat)
            .value(QStringLiteral("AppleLanguages"))
            .toStringList() != QStringList{language})
        return QStringLiteral("the new preferences could not be written");
    QString error;
    const std::optional<QByteArray> bytes = readSmallFile(staged, error);
    if (!bytes)
        return error;
    QDir().mkpath(QFileInfo(settings.fileName()).absolutePath());
    return replaceFileWhole(settings.fileName(), *bytes);
}

bool MultiLanguageUtils::useLanguage(const QString& language) {
    removeInstalledTable();
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_-]+$"));
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!plain.match(language).hasMatch() || !translator->load(tablePath(language)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        logLine(lcUi(),
                QStringLiteral("No text table for language \"%1\"; texts are shown untranslated")
                    .arg(language));
        return false;
    }
    installedTable() = translator;
    installedLanguage() = language;
    return true;
}

QString MultiLanguageUtils::activeLanguage() {
    return installedTable() ? installedLanguage() : QString();
}

QString MultiLanguageUtils::text(const char* key) {
    return QCoreApplication::translate(kContext, key);
}

QString MultiLanguageUtils::text(const QString& key) {
    return text(key.toUtf8().constData());
}

QString MultiLanguageUtils::format(const char* key, std::initializer_list<int> values) {
    QString pattern = text(key);
    const QString original = QString::fromUtf8(key);
    if (countPlaceholders(pattern) != countPlaceholders(original)) {
        logLine(
            lcUi(),
            QStringLiteral("Text table entry for \"%1\" has the wrong placeholders").arg(original));
        pattern = original;
    }
    QString result;
    result.reserve(pattern.size() + 8);
    auto next = values.begin();
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == u'd' && next != values.end()) {
                result += QString::number(*next++);
                ++i;
                continue;
            }
            if (pattern[i + 1] == u'%') {
                result += u'%';
                ++i;
                continue;
            }
        }
        result += pattern[i];
    }
    return result;
}

QString MultiLanguageUtils::tablePath(const QString& language) {
    return QStringLiteral("%1/%2.qm").arg(kTableRoot, language);
}

std::unique_ptr<QSettings> MultiLanguageUtils::preferences() {
    // Isolated runs (tests, --screenshot) turn on Qt's test mode: on macOS the
    // native defaults do not follow HOME, so they get a file of their own.
    if (QStandardPaths::isTestModeEnabled())
        return std::make_unique<QSettings>(
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/Lumadoc/LumadocInstaller.conf"),
            QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Lumadoc"),
                                       QStringLiteral("LumadocInstaller"));
}

QString tr_(const char* key) {
    return MultiLanguageUtils::text(key);
}
