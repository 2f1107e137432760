// What a picture control is to assistive technology: a graphic, a button that
// can be pressed (cards, the stock, the picture buttons) or a link, under the
// accessible name the window gives it.
#pragma once

#include <QAccessibleWidget>

namespace kestrova {

class PictureControl;

class AccessiblePicture : public QAccessibleWidget {
public:
    explicit AccessiblePicture(PictureControl* control);

    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;

    // Makes Qt's accessibility ask this class for every picture control;
    // safe to call any number of times.
    static void installFactory();

private:
    PictureControl* control() const;
    bool pressable() const;
};

} // namespace kestrova
