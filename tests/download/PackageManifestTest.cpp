// The manifest's own rules: what a parsed manifest must hold, and how
// versions compare.
#include "install/PackageManifest.h"

#include <gtest/gtest.h>

TEST(PackageManifest, TakesWellFormedMembersOnlyAndComparesVersionsAsNumbers) {
    const QByteArray hash(64, 'a');
    auto manifest = [&](const QByteArray& size, const QByteArray& sha, const QByteArray& version,
                        const QByteArray& expires) {
        return "{\"file\": \"p.dmg\", \"size\": " + size + ", \"sha256\": \"" + sha +
               "\", \"version\": \"" + version + "\", \"expires\": \"" + expires +
               "\", \"extra\": [1]}";
    };
    const auto good = PackageManifest::parse(manifest("12", hash, "3.2.1", "2027-01-31T00:00:00Z"));
    ASSERT_TRUE(good);
    EXPECT_EQ(good->size, 12);
    EXPECT_EQ(good->sha256, QByteArray(32, '\xaa'));
    EXPECT_EQ(good->expires, QDateTime(QDate(2027, 1, 31), QTime(0, 0), Qt::UTC));

    const QByteArray refused[] = {
        manifest("12.5", hash, "3.2.1", "2027-01-31T00:00:00Z"),
        manifest("-1", hash, "3.2.1", "2027-01-31T00:00:00Z"),
        manifest("\"12\"", hash, "3.2.1", "2027-01-31T00:00:00Z"),
        manifest("12", QByteArray(64, 'A'), "3.2.1", "2027-01-31T00:00:00Z"),
        manifest("12", QByteArray(63, 'a'), "3.2.1", "2027-01-31T00:00:00Z"),
        manifest("12", hash, "3.2.x", "2027-01-31T00:00:00Z"),
        manifest("12", hash, "3..1", "2027-01-31T00:00:00Z"),
        manifest("12", hash, "3.2.1", "next year"),
        "[1]",
        "{\"file\": \"p.dmg\"}",
    };
    for (const QByteArray& json : refused) {
        SCOPED_TRACE(json.toStdString());
        QString error;
        EXPECT_FALSE(PackageManifest::parse(json, &error));
        EXPECT_FALSE(error.isEmpty());
    }

    // clang-format off
    const std::tuple<const char*, const char*, std::optional<int>> versions[] = {
        {"3.2", "3.2.0", 0}, {"3.2.1", "3.10", -1}, {"10.0", "9.99.99", 1}, {"3.02", "3.2", 0},
        {"1.0", "1.0 beta", std::nullopt}, {"", "1", std::nullopt}, {"-1", "1", std::nullopt}};
    // clang-format on
    for (const auto& [a, b, order] : versions)
        EXPECT_EQ(PackageManifest::compareVersions(a, b), order) << a << " vs " << b;
}
