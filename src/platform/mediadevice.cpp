#include "platform/mediadevice.h"

#include "base/safefile.h"
#include "platform/midilength.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <SDL.h>
#include <SDL_mixer.h>
#include <alsa/asoundlib.h>

#include <cmath>

namespace {

// Process-wide audio: SDL and the mixer are opened once, on the first device.
enum class Audio { Unopened, Ready, Failed, Closed };
Audio audioState = Audio::Unopened;
QString driverInUse;
QString fontInUse;
// The device whose piece the mixer's one music stream holds.
const MediaDevice *mixerOwner = nullptr;

QString findSoundFont()
{
    static const char *const candidates[] = {
        "/usr/share/sounds/sf2/TimGM6mb.sf2",
        "/usr/share/sounds/sf2/default-GM.sf2",
        "/usr/share/sounds/sf3/default-GM.sf3",
        "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    };
    for (const char *path : candidates)
        if (QFileInfo(QString::fromLatin1(path)).isFile())
            return QString::fromLatin1(path);
    return {};
}

void closeAudio()
{
    if (audioState != Audio::Ready)
        return;
    Mix_HaltMusic();
    Mix_CloseAudio();
    Mix_Quit();
    SDL_Quit();
    audioState = Audio::Closed;
}

// ALSA reports to the terminal every step of a failed probe (eight lines on a machine
// without a sound card) and of later device errors; the program writes nothing there,
// and a failed open is handled by playing into silence.
void quietAlsa(const char *, int, const char *, int, const char *, ...) { }

bool openMixer()
{
    return Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) == 0;
}

bool ensureAudio()
{
    if (audioState != Audio::Unopened)
        return audioState == Audio::Ready;
    audioState = Audio::Failed;
    // SDL would otherwise turn SIGINT and SIGTERM into events nobody reads, and the
    // program could no longer be ended by them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The synthesiser reads the soundfont when audio opens; a user's own choice wins.
    if (qEnvironmentVariableIsEmpty("SDL_SOUNDFONTS")) {
        fontInUse = findSoundFont();
        if (!fontInUse.isEmpty())
            Mix_SetSoundFonts(QFile::encodeName(fontInUse).constData());
    } else {
        fontInUse = qEnvironmentVariable("SDL_SOUNDFONTS");
    }
    snd_lib_error_set_handler(quietAlsa);
    bool opened = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && openMixer();
    if (!opened) {
        // No sound device, or a busy one: play into silence instead.
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        opened = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && openMixer();
    }
    if (!opened) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Mix_Init(MIX_INIT_MP3 | MIX_INIT_MID);
    driverInUse = QString::fromUtf8(SDL_GetCurrentAudioDriver());
    audioState = Audio::Ready;
    if (QCoreApplication::instance())
        qAddPostRoutine(closeAudio);
    return true;
}

int toMs(double seconds)
{
    if (!(seconds > 0))
        return 0;
    return seconds >= 2147483.0 ? 2147483647 : int(std::llround(seconds * 1000.0));
}

// The decoder a device type asks for; MUS_NONE lets the mixer tell from the file.
bool decoderFor(const QString &deviceType, const QString &fileName, Mix_MusicType *type)
{
    const QString t = deviceType.toLower();
    if (t == QLatin1String("waveaudio")) {
        *type = MUS_WAV;
    } else if (t == QLatin1String("sequencer")) {
        *type = MUS_MID;
    } else if (t == QLatin1String("mpegvideo")) {
        *type = MUS_NONE;
    } else if (t.isEmpty()) {
        const QString ext = QFileInfo(fileName).suffix().toLower();
        if (ext == QLatin1String("wav"))
            *type = MUS_WAV;
        else if (ext == QLatin1String("mid") || ext == QLatin1String("midi")
            || ext == QLatin1String("rmi"))
            *type = MUS_MID;
        else if (ext == QLatin1String("mp3"))
            *type = MUS_MP3;
        else
            *type = MUS_NONE;
    } else {
        return false;
    }
    return true;
}

} // namespace

MediaDevice::MediaDevice(QObject *parent)
    : QObject(parent)
{ }

MediaDevice::~MediaDevice()
{
    close();
}

QString MediaDevice::audioDriver()
{
    return driverInUse;
}

bool MediaDevice::playsIntoSilence()
{
    return audioState == Audio::Failed
        || (audioState == Audio::Ready && driverInUse == QLatin1String("dummy"));
}

QString MediaDevice::soundFont()
{
    return fontInUse;
}

void MediaDevice::setCommand(const QString &command)
{
    m_command = command;
    const QString c = command.trimmed().toLower();
    if (c == QLatin1String("open"))
        open();
    else if (c == QLatin1String("close"))
        close();
    else if (c == QLatin1String("play"))
        play();
    else if (c == QLatin1String("pause"))
        pause();
    else if (c == QLatin1String("prev"))
        prev();
    else
        setError(ErrorUnknownCommand, QStringLiteral("unknown command \"%1\"").arg(command));
}

void MediaDevice::setTimeFormat(qint32 format)
{
    if (format == 0)
        clearError();
    else
        setError(ErrorTimeFormat, QStringLiteral("only milliseconds (0) are supported"));
}

void MediaDevice::setError(int code, const QString &message) const
{
    m_error = code;
    m_errorMessage = message;
}

void MediaDevice::clearError() const
{
    m_error = NoError;
    m_errorMessage.clear();
}

bool MediaDevice::ownsMixer() const
{
    return mixerOwner == this && audioState == Audio::Ready;
}

void MediaDevice::open()
{
    close();
    Mix_MusicType type;
    if (!decoderFor(m_deviceType, m_fileName, &type)) {
        setError(
            ErrorUnknownDeviceType, QStringLiteral("unknown device type \"%1\"").arg(m_deviceType));
        return;
    }
    if (!ensureAudio()) {
        setError(ErrorNoAudio, QStringLiteral("audio could not be opened"));
        return;
    }
    if (m_fileName.isEmpty()) {
        setError(ErrorCannotOpen, QStringLiteral("no file name"));
        return;
    }
    // A FIFO or device in a piece's place would block the decoder or never end.
    if (!isRegularFile(m_fileName)) {
        setError(ErrorCannotOpen, QStringLiteral("%1: not a regular file").arg(m_fileName));
        return;
    }
    std::optional<qint64> midiLength;
    if (type == MUS_MID || type == MUS_NONE) {
        // A MIDI file is small; anything larger is not one.
        QString reason;
        if (const auto bytes = readFile(m_fileName, 64 << 20, &reason))
            midiLength = midiLengthMs(*bytes);
        if (type == MUS_MID && !midiLength) {
            setError(ErrorCannotOpen, QStringLiteral("%1: not a MIDI file").arg(m_fileName));
            return;
        }
    }
    SDL_RWops *rw = SDL_RWFromFile(QFile::encodeName(m_fileName).constData(), "rb");
    if (!rw) {
        setError(ErrorCannotOpen,
            QStringLiteral("%1: %2").arg(m_fileName, QString::fromUtf8(SDL_GetError())));
        return;
    }
    m_music = type == MUS_NONE ? Mix_LoadMUS_RW(rw, 1) : Mix_LoadMUSType_RW(rw, type, 1);
    if (!m_music) {
        setError(ErrorCannotOpen,
            QStringLiteral("%1: %2").arg(m_fileName, QString::fromUtf8(Mix_GetError())));
        return;
    }
    m_midi = Mix_GetMusicType(m_music) == MUS_MID;
    if (m_midi)
        m_length = int(qMin<qint64>(midiLength.value_or(0), 2147483647));
    else
        m_length = toMs(Mix_MusicDuration(m_music));
    m_mode = ModeStop;
    m_stoppedAt = 0;
    m_nextRound = false;
    clearError();
}

void MediaDevice::close()
{
    if (m_music && audioState == Audio::Ready) {
        halt();
        Mix_FreeMusic(m_music);
    }
    if (mixerOwner == this)
        mixerOwner = nullptr;
    m_music = nullptr;
    m_length = 0;
    m_mode = ModeNotOpen;
    m_stoppedAt = 0;
    m_nextRound = false;
    clearError();
}

void MediaDevice::halt() const
{
    if (ownsMixer()) {
        Mix_HaltMusic();
        mixerOwner = nullptr;
    }
    m_nextRound = false;
}

void MediaDevice::play()
{
    if (!m_music || audioState != Audio::Ready) {
        setError(ErrorNotOpen, QStringLiteral("nothing is open"));
        return;
    }
    refresh();
    if (m_mode == ModePlay) {
        clearError();
        return;
    }
    if (m_nextRound && ownsMixer()) {
        // The mixer went on into the next round by itself: the readings follow it.
        ++m_round;
        m_nextRound = false;
    } else if (m_mode == ModePause && ownsMixer()) {
        Mix_ResumeMusic();
        m_playFrom = m_pausedAt;
        m_clock.start();
    } else {
        // From the start, also when stopped at the end. Each run restarts the decoder,
        // which is exact for every format (a MIDI piece cannot be positioned at all).
        if (Mix_PlayMusic(m_music, m_repeat ? -1 : 0) != 0) {
            setError(ErrorPlay, QString::fromUtf8(Mix_GetError()));
            return;
        }
        Mix_ResumeMusic();
        mixerOwner = this;
        m_playFrom = 0;
        m_clock.start();
        m_lastDecoded = 0;
        m_wraps = 0;
        m_round = 0;
        m_nextRound = false;
    }
    m_mode = ModePlay;
    clearError();
}

void MediaDevice::pause()
{
    if (!m_music) {
        setError(ErrorNotOpen, QStringLiteral("nothing is open"));
        return;
    }
    refresh();
    if (m_mode == ModePlay) {
        m_pausedAt = played();
        Mix_PauseMusic();
        m_mode = ModePause;
    } else if (m_nextRound) {
        // At the end of a round the device reads as stopped; so it must sound.
        halt();
    }
    clearError();
}

void MediaDevice::prev()
{
    if (!m_music) {
        setError(ErrorNotOpen, QStringLiteral("nothing is open"));
        return;
    }
    // Going back to the start stops the media; "Play" then starts it again. A next
    // round under way has just been at the start, and goes on.
    if (!(m_nextRound && ownsMixer()))
        halt();
    m_mode = ModeStop;
    m_stoppedAt = 0;
    clearError();
}

// Notices a round that has played to its end, a piece that has stopped or lost the
// mixer to another device, and a next round that nobody took up.
void MediaDevice::refresh() const
{
    // Long enough for a reader that looks a few times a second.
    constexpr qint64 kUnclaimedMs = 500;
    if (m_nextRound && played() - (m_round + 1) * m_length > kUnclaimedMs)
        halt();
    if (m_mode != ModePlay)
        return;
    bool over = !ownsMixer() || !Mix_PlayingMusic();
    // The synthesiser plays on in silence after the last event, and a repeating piece
    // goes on by itself: the time played says when the round is over.
    if (!over && (m_midi || m_repeat) && played() - m_round * m_length >= m_length) {
        over = true;
        m_nextRound = m_repeat;
    }
    if (over) {
        m_mode = ModeStop;
        m_stoppedAt = m_length;
    }
}

qint64 MediaDevice::played() const
{
    const qint64 clock = m_playFrom + m_clock.elapsed();
    if (m_midi || !ownsMixer() || !Mix_PlayingMusic())
        return m_midi ? clock : m_wraps * m_length + m_lastDecoded;
    // The decoder's own position, once it has decoded anything; right after a start
    // it still reads 0, and the clock says better how far the piece is. It goes back
    // to 0 each time a repeating piece starts its next round.
    const int decoded = qMin(toMs(Mix_GetMusicPosition(m_music)), m_length);
    if (m_repeat && decoded < m_lastDecoded)
        ++m_wraps;
    m_lastDecoded = decoded;
    if (m_wraps == 0 && decoded == 0)
        return qMin<qint64>(clock, m_length);
    return m_wraps * m_length + decoded;
}

int MediaDevice::roundPosition() const
{
    const qint64 at = m_mode == ModePause ? m_pausedAt : played();
    return int(qBound<qint64>(0, at - m_round * m_length, qint64(m_length)));
}

int MediaDevice::Mode() const
{
    refresh();
    return m_mode;
}

int MediaDevice::Length() const
{
    if (!m_music) {
        setError(ErrorNotOpen, QStringLiteral("nothing is open"));
        return 0;
    }
    return m_length;
}

int MediaDevice::Position() const
{
    if (!m_music) {
        setError(ErrorNotOpen, QStringLiteral("nothing is open"));
        return 0;
    }
    refresh();
    return m_mode == ModePlay || m_mode == ModePause ? roundPosition() : m_stoppedAt;
}
