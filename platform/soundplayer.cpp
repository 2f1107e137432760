#include "platform/soundplayer.h"

#include "platform/audioserver.h"
#include "platform/programfolder.h"
#include "platform/soundmodule.h"

#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QtGlobal>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <utility>

namespace kestrova {

namespace {

// The system's output from the first of `modulePaths` that exists; none, with
// the reason on standard error, where the module is missing or unusable, and
// none where the system has no audio output.
SoundPlayer::EffectMaker systemOutput(const QStringList& modulePaths, const SoundPlayer::ServerCheck& serverMayAnswer)
{
    // Asked before the module is looked for, so a silenced run never touches the audio back end.
    if (qEnvironmentVariableIsSet("KESTROVA_NO_AUDIO"))
        return {};
    const auto found = std::ranges::find_if(modulePaths, [](const QString& path) { return QFileInfo::exists(path); });
    if (found == modulePaths.end()) {
        qWarning("kestrova: no sound: the sound module is not at %s", qPrintable(modulePaths.join(QLatin1String(", "))));
        return {};
    }
    // Without a sound server Qt Multimedia finds no output either; asking the
    // server first keeps it, and the twenty-odd libraries under it (some
    // megabytes resident), out of such a run.
    if (!serverMayAnswer())
        return {};
    // Never unloaded: its effects and the audio back end's threads live until the program ends.
    QLibrary module(*found);
    if (!module.load()) {
        qWarning("kestrova: no sound: %s", qPrintable(module.errorString()));
        return {};
    }
    const auto entry = reinterpret_cast<KestrovaSoundModuleEntry>(module.resolve(KESTROVA_SOUND_MODULE_ENTRY_NAME));
    if (!entry) {
        qWarning("kestrova: no sound: the sound module %s was made for another release of the program (it has no %s)",
                 qPrintable(*found), KESTROVA_SOUND_MODULE_ENTRY_NAME);
        return {};
    }
    const KestrovaSoundModule* output = entry();
    if (!output->hasOutput())
        return {};
    return [output](const QString& source) {
        return std::unique_ptr<SoundEffect>(
            output->makeEffect(reinterpret_cast<const char16_t*>(source.utf16()), static_cast<std::size_t>(source.size())));
    };
}

QStringList installedModulePaths()
{
    QStringList paths;
    for (const std::filesystem::path& path : ProgramFolder::companionPaths(KESTROVA_SOUND_MODULE_FILE))
        paths.append(QFile::decodeName(QByteArray::fromStdString(path.native())));
    return paths;
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

} // namespace

SoundPlayer::SoundPlayer(const std::vector<SoundClip>& clips)
    : output_([] { return systemOutput(installedModulePaths(), audioServerMayAnswer); }), toLoad_(clips)
{
}

SoundPlayer::SoundPlayer(const std::vector<SoundClip>& clips, const QStringList& modulePaths,
                         const ServerCheck& serverMayAnswer)
    : output_([modulePaths, serverMayAnswer] { return systemOutput(modulePaths, serverMayAnswer); }), toLoad_(clips)
{
}

SoundPlayer::SoundPlayer(const std::vector<SoundClip>& clips, const EffectMaker& makeEffect)
    : output_([makeEffect] { return makeEffect; }), toLoad_(clips)
{
}

void SoundPlayer::load()
{
    if (loaded_)
        return;
    loaded_ = true;
    if (const EffectMaker makeEffect = output_())
        for (const SoundClip& clip : toLoad_)
            clips_.push_back({clip.name, makeEffect(clip.source)});
    toLoad_.clear();
    if (!waiting_.empty())
        playLoaded(std::exchange(waiting_, std::string()));
}

SoundPlayer::~SoundPlayer() = default;

bool SoundPlayer::hasAudio() const
{
    return !clips_.empty();
}

void SoundPlayer::play(std::string_view name)
{
    if (loaded_)
        playLoaded(name);
    else if (std::ranges::any_of(toLoad_, [name](const SoundClip& clip) { return sameIgnoringCase(clip.name, name); }))
        waiting_ = name;
}

void SoundPlayer::playLoaded(std::string_view name)
{
    const auto found = std::ranges::find_if(clips_, [name](const LoadedClip& clip) {
        return sameIgnoringCase(clip.name, name);
    });
    if (found == clips_.end())
        return;
    if (current_)
        current_->stop();
    current_ = found->effect.get();
    current_->play();
}

} // namespace kestrova
