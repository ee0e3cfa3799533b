#include "ui/CheckBoxToggleStyle.h"
#include "ui/DragMenuToggleStyle.h"
#include "ui/SystemFont.h"

#include <QTest>
#include <gtest/gtest.h>

// A tap on either far end of the row (the label, the image) flips the box and
// its image and says so; a press that leaves the row is not a tap.
TEST(Toggles, TapAnywhereOnTheRowFlipsTheBoolAndReportsIt) {
    QWidget window;
    const QString label = QStringLiteral("Benutzerdefinierte Installation");
    const std::pair<ImageToggle*, QString> cases[] = {
        {new CheckBoxToggleStyle(label, &window), "uncheckbox checkedbox uncheckbox"},
        {new DragMenuToggleStyle(label, &window), "dragDown dragUp dragDown"}};
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const auto& [toggle, images] : cases) {
        toggle->setFont(SystemFont::of(12, QFont::Light));
        toggle->resize(toggle->sizeHint());
        QStringList seen{toggle->imageName()}, toggled;
        QObject::connect(toggle, &QAbstractButton::toggled,
                         [&](bool on) { toggled << (on ? "on" : "off"); });
        const int y = toggle->height() / 2;
        for (const int x : {2, toggle->width() - 2}) {
            QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(x, y));
            seen << toggle->imageName();
        }
        QTest::mousePress(toggle, Qt::LeftButton, {}, QPoint(2, y));
        QTest::mouseRelease(toggle, Qt::LeftButton, {}, QPoint(toggle->width() + 40, y));
        EXPECT_EQ(seen.join(' '), images);
        EXPECT_EQ(toggled, QStringList({"on", "off"}));
        EXPECT_FALSE(toggle->isChecked());
    }
}
