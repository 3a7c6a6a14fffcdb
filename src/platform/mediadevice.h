#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

struct _Mix_Music;

// A media device in the manner of a multimedia control: set the file name and the
// device type, then write command names ("Open", "Close", "Play", "Pause", "Prev",
// matched in any letter case) to carry them out, and read the mode, the length and
// the position in whole milliseconds.
//
// It plays MP3, WAV and MIDI through SDL2_mixer. A command that fails never throws and
// never blocks: it sets the device's error state, which the next good command clears.
// Without a usable sound device the audio goes to SDL's silent "dummy" output, so the
// program runs on and every reading still behaves as if the piece were heard.
//
// The mixer has one music stream: when another device starts playing, this one reads
// as stopped.
//
// A repeating device (setRepeat) plays each round straight into the next inside the
// mixer, so the seam has no gap and every round is as long as the first. Its readings
// still tell the rounds apart: at the end of a round it reads as stopped at its end,
// and "Prev" then "Play" take up the next round, already under way, instead of
// starting the piece afresh. A next round that nobody takes up is stopped soon after.
class MediaDevice : public QObject
{
    Q_OBJECT

public:
    // Mode readings, numbered as the classic multimedia controls number them.
    enum Mode {
        ModeNotOpen = 524,
        ModeStop = 525,
        ModePlay = 526,
        ModePause = 529,
    };
    enum ErrorCode {
        NoError = 0,
        ErrorNotOpen,
        ErrorCannotOpen,
        ErrorUnknownCommand,
        ErrorUnknownDeviceType,
        ErrorNoAudio,
        ErrorTimeFormat,
        ErrorPlay,
    };

    explicit MediaDevice(QObject *parent = nullptr);
    ~MediaDevice() override;

    QString FileName() const { return m_fileName; }
    void setFileName(const QString &fileName) { m_fileName = fileName; }
    // "WaveAudio" (WAV only), "Sequencer" (MIDI only), "MPEGVideo", or "" to choose
    // by the file name's extension in any letter case. Read when "Open" is sent.
    QString DeviceType() const { return m_deviceType; }
    void setDeviceType(const QString &type) { m_deviceType = type; }

    // Carries out the command at once; Play returns while the media plays.
    void setCommand(const QString &command);
    QString Command() const { return m_command; }

    int Mode() const;
    // Length of the open media, 0 (and the error state) when nothing is open.
    int Length() const;
    // Current position, equal to the length once the media has played to its end.
    int Position() const;

    // 0 means milliseconds, the only unit this device reads in; others are refused.
    qint32 TimeFormat() const { return 0; }
    void setTimeFormat(qint32 format);
    // Asks for a completion notice of the next command; kept for the program's
    // settings, this device sends no notices.
    bool Notify() const { return m_notify; }
    void setNotify(qint16 notify) { m_notify = notify != 0; }

    // Whether the piece goes round without a gap (see above); read when "Play" starts
    // the piece from its beginning.
    bool Repeat() const { return m_repeat; }
    void setRepeat(bool repeat) { m_repeat = repeat; }

    int Error() const { return m_error; }
    QString ErrorMessage() const { return m_errorMessage; }

    // The audio output in use ("" before the first device opened it, or when even the
    // silent output failed) and the General MIDI soundfont given to the synthesiser.
    static QString audioDriver();
    // Whether what plays is heard by nobody: audio went to the silent output for want
    // of a sound device, or could not be opened at all.
    static bool playsIntoSilence();
    static QString soundFont();

private:
    void open();
    void close();
    void play();
    void pause();
    void prev();
    void setError(int code, const QString &message) const;
    void clearError() const;
    void refresh() const;
    qint64 played() const;
    int roundPosition() const;
    void halt() const;
    bool ownsMixer() const;

    QString m_fileName;
    QString m_deviceType;
    QString m_command;
    bool m_notify = false;
    _Mix_Music *m_music = nullptr;
    bool m_midi = false;
    bool m_repeat = false;
    int m_length = 0;
    // Readings change as the media plays, so the state they find is kept up to date
    // from the const readers too.
    mutable int m_mode = ModeNotOpen;
    mutable int m_stoppedAt = 0; // position while stopped: the start, or the end
    // The time played since the piece last started from its beginning, over all its
    // rounds: from the decoder and the rounds it went through, or (MIDI, and before
    // the decoder has anything) from a play clock that runs from m_playFrom.
    mutable qint64 m_pausedAt = 0;
    qint64 m_playFrom = 0;
    QElapsedTimer m_clock;
    mutable int m_lastDecoded = 0; // the decoder's last position, to see it wrap
    mutable qint64 m_wraps = 0; // rounds the decoder went through
    qint64 m_round = 0; // the round the readings are in
    mutable bool m_nextRound = false; // a round ended and the mixer plays the next one
    mutable int m_error = NoError;
    mutable QString m_errorMessage;
};
