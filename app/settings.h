// The player's settings, kept in kestrova.ini: the window's place and size,
// the name, and the options. SettingsStore is their one owner; the window's
// menus and name boxes show them and change them through it.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>

#include <filesystem>

namespace kestrova {

struct Settings {
    static constexpr int defaultwidth = 774;
    static constexpr int defaultheight = 541;

    QRect bounds{3, 3, defaultwidth, defaultheight};   // outer bounds, frame included
    QString name = QStringLiteral("Guest");
    bool sounds = true;
    bool updateCheck = true;
    bool fourColour = false;
    bool scaleBoard = false;

    friend bool operator==(const Settings&, const Settings&) = default;
};

class SettingsStore : public QObject {
    Q_OBJECT
public:
    explicit SettingsStore(std::filesystem::path file, QObject* parent = nullptr);

    const std::filesystem::path& filePath() const { return file_; }
    const Settings& current() const { return settings_; }

    // Reads the file; a missing file or key gives the default.
    const Settings& load();
    // Writes every key; throws IniFileError when the file cannot be written,
    // the keys before the failing one written.
    void save() const;

    void setBounds(const QRect& bounds) { settings_.bounds = bounds; }
    void setName(const QString& name);
    void setSounds(bool on) { settings_.sounds = on; }
    void setUpdateCheck(bool on) { settings_.updateCheck = on; }
    void setFourColour(bool on) { settings_.fourColour = on; }
    void setScaleBoard(bool on) { settings_.scaleBoard = on; }

signals:
    void nameChanged(const QString& name);

private:
    std::filesystem::path file_;
    Settings settings_;
};

} // namespace kestrova
