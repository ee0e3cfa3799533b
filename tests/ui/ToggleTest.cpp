#include "ui/CheckBoxToggleStyle.h"
#include "ui/DragMenuToggleStyle.h"
#include "ui/SystemFont.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

TEST(Toggles, TapAnywhereOnTheRowFlipsTheBoolAndReportsIt) {
    QWidget window;
    const QString label = QStringLiteral("Benutzerdefinierte Installation");
    struct Case {
        ImageToggle* toggle;
        const char* onImage;
        const char* offImage;
    } cases[] = {{new CheckBoxToggleStyle(label, &window), "checkedbox", "uncheckbox"},
                 {new DragMenuToggleStyle(label, &window), "dragUp", "dragDown"}};
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.onImage);
        ImageToggle* toggle = c.toggle;
        toggle->setFont(SystemFont::of(12, QFont::Light));
        toggle->resize(toggle->sizeHint());
        QSignalSpy toggled(toggle, &QAbstractButton::toggled);
        EXPECT_FALSE(toggle->isChecked());
        EXPECT_EQ(toggle->imageName(), QString::fromUtf8(c.offImage));

        // On the row's two far ends: one on the label, one on the image.
        const int y = toggle->height() / 2;
        QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(2, y));
        EXPECT_TRUE(toggle->isChecked());
        EXPECT_EQ(toggle->imageName(), QString::fromUtf8(c.onImage));
        QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(toggle->width() - 2, y));
        EXPECT_FALSE(toggle->isChecked());
        ASSERT_EQ(toggled.count(), 2);
        EXPECT_TRUE(toggled[0][0].toBool());
        EXPECT_FALSE(toggled[1][0].toBool());

        // A press that leaves the row is not a tap.
        QTest::mousePress(toggle, Qt::LeftButton, {}, QPoint(2, y));
        QTest::mouseRelease(toggle, Qt::LeftButton, {}, QPoint(toggle->width() + 40, y));
        EXPECT_FALSE(toggle->isChecked());
    }
}
