#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "support/Files.h"
#include "support/LinuxTools.h"
#include "support/LogCapture.h"
#include "support/Sandbox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

TEST(MultiLanguageUtils, ChoosesOnlyABareLanguageCodeOfTheUserLocale) {
    const QStringList carried{"de", "en", "zh-Hans"};
    const struct {
        QStringList available, preferred;
        QString expected;
    } cases[] = {
        {carried, {"de-DE"}, "de"},
        {carried, {"de_AT.UTF-8"}, "de"},
        {carried, {"zh-CN"}, "en"},      // no table for the bare code zh
        {carried, {"zh-Hans-CN"}, "en"}, // zh-Hans has a script part: never chosen
        {{"fr", "de"}, {"it-IT"}, "en"}, // no match: en even when not carried
        {carried, {}, "en"},
        {carried, {"fr-FR", "de-DE"}, "en"}, // the current locale only, not the fallbacks
        {{"zh", "en"}, {"zh-Hans-CN"}, "zh"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MultiLanguageUtils::chooseLanguage(c.available, c.preferred), c.expected)
            << c.preferred.join(',').toStdString() << " / " << c.available.join(',').toStdString();
    EXPECT_EQ(MultiLanguageUtils::applicationLanguages(), carried);
    EXPECT_TRUE(carried.contains(MultiLanguageUtils::getCurrentLanguage()));
}

TEST(MultiLanguageUtils, EveryTableTranslatesEveryKeyKeepingPlaceholders) {
    const auto placeholders = [](const QString& text) { return text.count(QStringLiteral("%d")); };
    for (const QString& language : MultiLanguageUtils::applicationLanguages()) {
        SCOPED_TRACE(language.toStdString());
        QTranslator table;
        ASSERT_TRUE(table.load(MultiLanguageUtils::tablePath(language)));
        for (const char* key : TextKey::all) {
            SCOPED_TRACE(key);
            const QString text = table.translate(MultiLanguageUtils::kContext, key);
            EXPECT_FALSE(text.trimmed().isEmpty());
            EXPECT_EQ(placeholders(text), placeholders(QString::fromUtf8(key)));
            EXPECT_EQ(text.count('%'), placeholders(text));
            // The alert title keeps its two lines; the first agreement part its trailing blank.
            EXPECT_EQ(text.contains('\n'), QString::fromUtf8(key).contains('\n'));
        }
        const QString prefix =
            table.translate(MultiLanguageUtils::kContext, TextKey::agreementPrefix);
        EXPECT_EQ(prefix.endsWith(' '), language != "zh-Hans"); // Chinese runs on without a blank
    }
}

// A table whose remaining-time entries lost or gained placeholders.
class FaultyTable : public QTranslator {
public:
    QString translate(const char*, const char* source, const char*, int) const override {
        if (qstrcmp(source, TextKey::remainMinutesSeconds) == 0)
            return QStringLiteral("noch %d Minuten");
        if (qstrcmp(source, TextKey::remainSeconds) == 0)
            return QStringLiteral("%s %n %d %d Sekunden");
        return {};
    }
    bool isEmpty() const override { return false; }
};

// A language without a table (fr) drops the earlier one: keys show as themselves.
// A table entry with the wrong placeholders gives way to the key's own text.
TEST(MultiLanguageUtils, SetLanguageRedirectsEveryLaterLookup) {
    const struct {
        QString language;
        QStringList shown; // install, the still-close key, 62 minutes 5 seconds remaining
    } cases[] = {
        {"de", {"Installieren", "Schließen", "Noch 62 Min. 5 Sek."}},
        {"fr", {TextKey::install, TextKey::exitAlertClose, "下载剩余62分5秒"}},
        {"zh-Hans", {"立即安装", "仍然关闭", "下载剩余62分5秒"}},
        {"en", {"Install", "Close anyway", "62 min 5 sec remaining"}},
    };
    EXPECT_TRUE(MultiLanguageUtils::preferences()->fileName().startsWith(sandbox::root()));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language.toStdString());
        const bool carried = c.language != "fr";
        ASSERT_EQ(MultiLanguageUtils::setLanguage(c.language), carried);
        EXPECT_EQ(MultiLanguageUtils::activeLanguage(), carried ? c.language : QString());
        EXPECT_EQ(QStringList({tr_(TextKey::install),
                               MultiLanguageUtils::text(QString::fromUtf8(TextKey::exitAlertClose)),
                               MultiLanguageUtils::format(TextKey::remainMinutesSeconds, {62, 5})}),
                  c.shown);
        EXPECT_EQ(tr_("Kein solcher Schlüssel"), QStringLiteral("Kein solcher Schlüssel"));
        EXPECT_EQ(MultiLanguageUtils::preferences()->value("AppleLanguages").toStringList(),
                  QStringList{c.language});
    }
    EXPECT_EQ(MultiLanguageUtils::format("%d%%", {50}), QStringLiteral("50%"));
    FaultyTable faulty;
    ASSERT_TRUE(QCoreApplication::installTranslator(&faulty));
    EXPECT_EQ(QStringList({MultiLanguageUtils::format(TextKey::remainMinutesSeconds, {3, 7}),
                           MultiLanguageUtils::format(TextKey::remainSeconds, {9})}),
              QStringList({"下载剩余3分7秒", "下载剩余9秒"}));
    QCoreApplication::removeTranslator(&faulty);
    EXPECT_EQ(MultiLanguageUtils::format(TextKey::remainSeconds, {9}), "9 sec remaining");
    EXPECT_FALSE(MultiLanguageUtils::setLanguage(QStringLiteral("../i18n/de")));
}

TEST(MultiLanguageUtils, PreferencesOnAFullDiskKeepTheirBytes) {
    const QString file = MultiLanguageUtils::preferences()->fileName();
    Tmpfs disk(QFileInfo(file).absolutePath(), 1);
    if (!disk.mounted)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const QByteArray earlier = "[General]\nAppleLanguages=de\nmine=kept\n";
    ASSERT_FALSE(writeFile(file, earlier).isEmpty());
    fillUp(disk.dir);
    LogCapture log;
    MultiLanguageUtils::saveLanguagePreference(QStringLiteral("en"));
    EXPECT_EQ(readFile(file), earlier);
    EXPECT_EQ(log.lines().filter("No space left on device").size(), 1)
        << log.lines().join('\n').toStdString();
}

} // namespace
