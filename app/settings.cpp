#include "app/settings.h"

#include "platform/inifile.h"

#include <utility>

namespace kestrova {

namespace {

const char* const kSection = "kestrova";

} // namespace

SettingsStore::SettingsStore(std::filesystem::path file, QObject* parent)
    : QObject(parent), file_(std::move(file))
{
}

const Settings& SettingsStore::load()
{
    const IniFile ini(file_);
    const Settings defaults;
    settings_.bounds = QRect(ini.readInteger(kSection, "Left", defaults.bounds.left()),
                             ini.readInteger(kSection, "Top", defaults.bounds.top()),
                             ini.readInteger(kSection, "Width", defaults.bounds.width()),
                             ini.readInteger(kSection, "Height", defaults.bounds.height()));
    settings_.updateCheck = ini.readString(kSection, "Update", "true") != "false";
    settings_.sounds = ini.readString(kSection, "Sounds", "yes") != "no";
    // Both off unless the file says exactly "yes".
    settings_.fourColour = ini.readString(kSection, "FourColour", "no") == "yes";
    settings_.scaleBoard = ini.readString(kSection, "ScaleBoard", "no") == "yes";
    setName(QString::fromStdString(ini.readString(kSection, "Name", defaults.name.toStdString())));
    return settings_;
}

void SettingsStore::save() const
{
    IniFile ini(file_);
    ini.writeInteger(kSection, "Top", settings_.bounds.top());
    ini.writeInteger(kSection, "Left", settings_.bounds.left());
    ini.writeInteger(kSection, "Width", settings_.bounds.width());
    ini.writeInteger(kSection, "Height", settings_.bounds.height());
    ini.writeString(kSection, "Name", settings_.name.toStdString());
    ini.writeString(kSection, "Sounds", settings_.sounds ? "yes" : "no");
    ini.writeString(kSection, "Update", settings_.updateCheck ? "true" : "false");
    // The later options follow, and only once switched on: until then the
    // file stays exactly as the seven keys alone make it.
    for (const auto& [key, on] : {std::pair{"FourColour", settings_.fourColour}, {"ScaleBoard", settings_.scaleBoard}})
        if (on || ini.hasKey(kSection, key))
            ini.writeString(kSection, key, on ? "yes" : "no");
}

void SettingsStore::setName(const QString& name)
{
    if (name == settings_.name)
        return;
    settings_.name = name;
    emit nameChanged(name);
}

} // namespace kestrova
