#include "ui/accessiblepicture.h"

#include "ui/picturecontrol.h"

namespace kestrova {

namespace {

QAccessibleInterface* pictureFactory(const QString& className, QObject* object)
{
    if (className != QLatin1String(PictureControl::staticMetaObject.className()))
        return nullptr;
    auto* control = qobject_cast<PictureControl*>(object);
    return control ? new AccessiblePicture(control) : nullptr;
}

} // namespace

AccessiblePicture::AccessiblePicture(PictureControl* control) : QAccessibleWidget(control) {}

PictureControl* AccessiblePicture::control() const
{
    return static_cast<PictureControl*>(widget());
}

bool AccessiblePicture::pressable() const
{
    const QAccessible::Role role = control()->accessibleRole();
    return role == QAccessible::Button || role == QAccessible::Link;
}

QAccessible::Role AccessiblePicture::role() const
{
    return control()->accessibleRole();
}

QAccessible::State AccessiblePicture::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    if (control()->isRinged())
        state.focused = true;
    if (control()->accessibleRole() == QAccessible::Link)
        state.linked = true;
    return state;
}

QStringList AccessiblePicture::actionNames() const
{
    QStringList names = QAccessibleWidget::actionNames();
    if (pressable())
        names.prepend(pressAction());
    return names;
}

void AccessiblePicture::doAction(const QString& actionName)
{
    if (actionName == pressAction() && pressable()) {
        if (control()->isEnabled() && control()->isVisible())
            control()->click();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

void AccessiblePicture::installFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(pictureFactory);
        return true;
    }();
    (void)installed;
}

} // namespace kestrova
