// Ttallylist: the tally window. It owns the player's statistics for the whole
// run and shows them; the game reports to it whether it is open or hidden.
#pragma once

#include "tally/tallymodel.h"
#include "ui/tiledwindow.h"

#include <string>

namespace kestrova {

class Ttallylist : public TiledWindow {
    Q_OBJECT
public:
    explicit Ttallylist(const QPixmap& backgroundPicture, QWidget* parent = nullptr);

    TallyModel& model() { return model_; }

    void addtomineincrease(int column);
    void checkforhigher(int column, int value);
    bool checkscore(int score, const std::string& name);
    void checkforlower(int column, int value);
    void addtomineadd(int column, int value);

private:
    TallyModel model_;
};

} // namespace kestrova
