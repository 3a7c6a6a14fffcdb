// The floor for the start-up memory of the program: a minimal Qt 6 MDI window with one
// child window and SDL audio opened through SDL_mixer, as the program's main window and
// its music need, and nothing else. bench/startup_memory.sh compares the two.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <SDL.h>
#include <SDL_mixer.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
        Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048);
    QMainWindow main;
    auto *area = new QMdiArea;
    main.setCentralWidget(area);
    area->addSubWindow(new QLabel(QStringLiteral("最小的窗口")))->show();
    main.resize(1024, 768);
    main.show();
    const int rc = app.exec();
    Mix_CloseAudio();
    SDL_Quit();
    return rc;
}
