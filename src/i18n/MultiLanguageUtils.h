#pragma once
// The interface language: chosen once at launch from the tables the application
// carries and the user's language, then used by every text lookup.
//
// Lookups go through text()/tr_() with the text's literal as key (see
// TextKeys.h); a key missing from the table in use shows as itself. Before
// setLanguage() runs, every key shows as itself. UI thread only.

#include <QSettings>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <memory>

class MultiLanguageUtils {
public:
    // The translation context every table uses.
    static constexpr char kContext[] = "Lumadoc";

    // Languages the application carries a table for, e.g. {"de", "en", "zh-Hans"}, sorted.
    static QStringList applicationLanguages();

    // chooseLanguage() over applicationLanguages() and the system's interface languages.
    static QString getCurrentLanguage();

    // The first of `available`, in order, that equals exactly (case-sensitive) the bare
    // language code of the user's current locale, taken from the first entry of
    // `preferred` ("de-DE" gives "de", "zh-Hans-CN" gives "zh"); "en" when nothing matches
    // or either list is empty. An identifier with a script or region part, such as
    // "zh-Hans", therefore never matches.
    static QString chooseLanguage(const QStringList& available, const QStringList& preferred);

    // Writes the preferences ("AppleLanguages" = [language], "AppleTextDirection" and
    // "NSForceRightToLeftWritingDirection" = false, saved at once) and makes every later
    // lookup use that language's table, replacing an earlier one. Returns false, with one
    // log line, when the application carries no table for the language: keys then show
    // as themselves.
    static bool setLanguage(const QString& language);
    // The two halves of setLanguage(), for a caller that wants the texts now and the
    // preferences (a synced file write) a moment later.
    static bool useLanguage(const QString& language);
    // Writes whole or not at all: a failure leaves the old preferences and is logged
    // with the system's reason.
    static void saveLanguagePreference(const QString& language);

    // The language whose table is in use; empty when none is.
    static QString activeLanguage();

    // The text for `key` in the table in use, or `key` itself.
    static QString text(const char* key);
    static QString text(const QString& key);

    // text(key) used as a format: each "%d" takes the next value, "%%" gives "%". A
    // translation whose number of "%d" differs from the key's falls back to the key, so a
    // faulty table can never misplace or drop a value.
    static QString format(const char* key, std::initializer_list<int> values = {});

    // The table of a language inside the binary (it may not exist).
    static QString tablePath(const QString& language);

    // The per-user preferences the language choice is written to: the
    // application's defaults (com.lumadoc.LumadocInstaller on macOS), or a file
    // under the test folders while QStandardPaths' test mode is on.
    static std::unique_ptr<QSettings> preferences();

private:
    // The language choice into settings; empty, or why it is not saved.
    static QString writePreferences(QSettings& settings, const QString& language);
};

// Shorthand for MultiLanguageUtils::text.
QString tr_(const char* key);
