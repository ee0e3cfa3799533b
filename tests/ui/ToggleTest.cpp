#include "ui/CheckBoxToggleStyle.h"
#include "ui/DragMenuToggleStyle.h"
#include "ui/SystemFont.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct ToggleCase {
    const char* name;
    std::function<ImageToggle*(QWidget*)> make;
    const char* onImage;
    const char* offImage;
    bool imageLeading;
};

const ToggleCase kToggles[] = {
    {"check box",
     [](QWidget* p) {
         return new CheckBoxToggleStyle(QStringLiteral("Zugehöriges OFD-Dokumentformat"), p);
     },
     "checkedbox", "uncheckbox", true},
    {"expand/collapse",
     [](QWidget* p) {
         return new DragMenuToggleStyle(QStringLiteral("Benutzerdefinierte Installation"), p);
     },
     "dragUp", "dragDown", false},
};

TEST(Toggles, TapAnywhereOnTheRowFlipsTheBoolAndReportsIt) {
    for (const ToggleCase& c : kToggles) {
        SCOPED_TRACE(c.name);
        QWidget window;
        ImageToggle* toggle = c.make(&window);
        toggle->setFont(SystemFont::of(12, QFont::Light));
        toggle->resize(toggle->sizeHint());
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QSignalSpy toggled(toggle, &QAbstractButton::toggled);

        EXPECT_FALSE(toggle->isChecked());
        EXPECT_EQ(toggle->imageName(), QString::fromUtf8(c.offImage));

        // On the label's far end, on the image's far end.
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

        // The binding's side: setting the bool redraws and reports once, not when unchanged.
        toggle->setChecked(true);
        toggle->setChecked(true);
        EXPECT_EQ(toggled.count(), 3);
    }
}

TEST(Toggles, ImageSitsOnItsSideOfTheLabel) {
    for (const ToggleCase& c : kToggles) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ImageToggle> toggle(c.make(nullptr));
        toggle->setFont(SystemFont::of(12));
        toggle->setLabelColor(Qt::white); // only the image leaves marks on a white ground
        toggle->resize(toggle->sizeHint());
        QImage look(toggle->size(), QImage::Format_ARGB32);
        look.fill(Qt::white);
        toggle->render(&look, {}, {}, QWidget::DrawChildren);
        int first = look.width(), last = -1;
        for (int y = 0; y < look.height(); ++y)
            for (int x = 0; x < look.width(); ++x)
                if (look.pixelColor(x, y) != QColor(Qt::white)) {
                    first = qMin(first, x);
                    last = qMax(last, x);
                }
        ASSERT_GE(last, 0) << "the image was not drawn";
        if (c.imageLeading)
            EXPECT_LT(last, 16);
        else
            EXPECT_GT(first, look.width() - 16);
        EXPECT_GE(toggle->sizeHint().height(), 12);
    }
}

} // namespace
