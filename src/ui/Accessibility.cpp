#include "ui/Accessibility.h"

#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "ui/AlertView.h"
#include "ui/BtnView.h"
#include "ui/ClickableText.h"
#include "ui/ExitAlertWindow.h"
#include "ui/ImageToggle.h"
#include "ui/ProgressBarView.h"

#include <QAccessibleWidget>
#include <mutex>

namespace {

// A reader can still reach a control whose screen is hidden. Pressing it, or
// focusing it for the next Space, would act on a screen the user cannot see
// (Decline in the middle of a download).
bool canAct(const QWidget* widget) {
    return widget->isVisible() && widget->isEnabled();
}

// A control that does one thing when pressed.
class PressableAccessible : public QAccessibleWidget {
public:
    PressableAccessible(QWidget* widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role) {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        if (const auto* button = qobject_cast<const BtnView*>(widget()))
            return button->text();
        if (const auto* link = qobject_cast<const ClickableText*>(widget()))
            return link->text();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (!canAct(widget()))
            return;
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (auto* button = qobject_cast<BtnView*>(widget()))
            button->click();
        else if (auto* link = qobject_cast<ClickableText*>(widget()))
            link->click();
    }
};

// A box: a screen reader's toggle (or press) is the user's click, so the flow
// hears of it and what is announced is what gets recorded.
class ToggleAccessible : public QAccessibleWidget {
public:
    explicit ToggleAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::CheckBox) {}

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? toggle()->text() : QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = toggle()->isChecked();
        return s;
    }

    QStringList actionNames() const override {
        return QStringList{toggleAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (!canAct(toggle()))
            return;
        if (action == toggleAction() || action == pressAction())
            toggle()->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    ImageToggle* toggle() const { return static_cast<ImageToggle*>(widget()); }
};

class ProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ProgressAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name:
            return tr_(TextKey::windowTitle);
        case QAccessible::Value:
            return bar()->accessibleValueText();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QVariant currentValue() const override { return bar()->accessiblePercent(); }
    void setCurrentValue(const QVariant&) override {} // read only
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    const ProgressBarView* bar() const { return static_cast<const ProgressBarView*>(widget()); }
};

class NamedAccessible : public QAccessibleWidget {
public:
    NamedAccessible(QWidget* widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            if (const auto* alert = qobject_cast<const AlertView*>(widget()))
                return alert->title();
            if (const auto* panel = qobject_cast<const ExitAlertWindow*>(widget()))
                return panel->message();
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* factory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("BtnView"))
        return new PressableAccessible(widget, QAccessible::Button);
    if (className == QLatin1String("ClickableText"))
        return new PressableAccessible(widget, QAccessible::Link);
    if (className == QLatin1String("ImageToggle"))
        return new ToggleAccessible(widget);
    // A plain top-level widget is the installer window (or the close panel's),
    // which Qt would present as a filler.
    if (className == QLatin1String("QWidget") && widget->isWindow())
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (className == QLatin1String("ProgressBarView"))
        return new ProgressAccessible(widget);
    if (className == QLatin1String("AlertView"))
        return new NamedAccessible(widget, QAccessible::AlertMessage);
    if (className == QLatin1String("ExitAlertWindow"))
        return new NamedAccessible(widget, QAccessible::Dialog);
    return nullptr;
}

} // namespace

void Accessibility::install() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(&factory); });
}
