// Ttallylist: the tally window. It owns the player's statistics for the whole
// run: reads the tally file when it is made, shows the counters and the ten
// best scores, takes the game's reports whether open or hidden, and writes the
// file in the background when asked and once more when it is destroyed at exit.
#pragma once

#include "tally/tallymodel.h"
#include "tally/tallysaver.h"
#include "ui/tiledwindow.h"

#include <array>
#include <filesystem>
#include <functional>
#include <string>

class QLabel;

namespace kestrova {

class Ttallylist : public TiledWindow {
    Q_OBJECT
public:
    using ErrorReporter = std::function<void(const QString& message)>;
    using Confirmation = std::function<bool(const QString& question)>;

    // Reads the tally file at `tallyPath`; a damaged file is reported through
    // `reportError` (an error box by default) and the defaults stand.
    Ttallylist(const QPixmap& backgroundPicture, std::filesystem::path tallyPath,
               ErrorReporter reportError = {}, QWidget* parent = nullptr);
    // Writes the tally file and waits for it; a failure keeps the previous
    // file and says nothing.
    ~Ttallylist() override;

    // Has the tally file written in the background and returns at once: a
    // failure keeps the previous file and says nothing.
    void savetally();
    // Returns once every save asked for so far is on the disk (or has failed).
    void waitForSaves() { saver_.waitForSaves(); }

    TallyModel& model() { return model_; }

    // Buttons.
    void button_doneClick();
    void button_resetClick();

    // How the reset asks; tests answer it themselves.
    void setConfirmation(Confirmation confirm) { confirm_ = std::move(confirm); }

    // Centres the window over `owner` the first time it is shown.
    void showOver(QWidget* owner);

private:
    void createLabels(QWidget* panel);
    void loadtally();
    void showTally();

    TallyModel model_;
    std::filesystem::path tallyPath_;
    TallySaver saver_;
    Confirmation confirm_;
    bool placed_ = false;
    std::array<QLabel*, TallyModel::counters + 1> counterLabels_{};
    struct RankLabels {
        QLabel* number = nullptr;
        QLabel* date = nullptr;
        QLabel* name = nullptr;
        QLabel* high = nullptr;
    };
    std::array<RankLabels, TallyModel::ranks + 1> rankLabels_{};
};

} // namespace kestrova
