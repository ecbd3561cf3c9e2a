#include "app/preview_window.h"

#include <GL/freeglut.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>

#include "app/display_probe.h"
#include "app/preview_layout.h"
#include "render/film.h"
#include "render/render_job.h"

namespace glintor {

namespace {

constexpr int TimerMilliseconds = 250;

struct PreviewState {
    RenderSession* session = nullptr;
    PreviewLayout layout;
    std::string toneLine;
    std::string statusLine = std::string(StatusLineLength, ' ');
    int tickCounter = 0;
    PreviewObserver observer;
};

PreviewState& State() {
    static PreviewState state;
    return state;
}

// Render threads may still be running: the process ends without unwinding anything they use.
[[noreturn]] void EndProcess(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}

void RefreshToneLine() {
    State().toneLine = State().session->tone.ToneLine();
}

void DrawText(int x, int y, const std::string& text) {
    glRasterPos2i(x, y);
    for (char c : text) {
        glutBitmapCharacter(GLUT_BITMAP_8_BY_13, c);
    }
}

void Reshape(int width, int height) {
    State().layout.Reshape(width, height);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width - 1.0, 0.0, height - 1.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glutPostRedisplay();
}

void DrawFrame() {
    PreviewState& s = State();
    Film& film = *s.session->film;
    const PreviewLayout& layout = s.layout;
    glClear(GL_COLOR_BUFFER_BIT);
    glPixelZoom(layout.zoom, layout.zoom);
    const uint8_t* pixels = film.ConvertForDisplay();
    // The empty bitmap moves the raster position without clipping it, so the image may start
    // outside the window.
    glRasterPos2i(0, 0);
    glBitmap(0, 0, 0.0f, 0.0f, layout.panX, layout.panY, nullptr);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDrawPixels(film.width, film.height, GL_RGB, GL_UNSIGNED_BYTE, pixels);

    const int w = layout.windowWidth, h = layout.windowHeight;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    glRecti(0, h - 18, w - 1, h - 1);
    glRecti(0, 0, w - 1, 18);
    glDisable(GL_BLEND);
    glColor3f(1.0f, 1.0f, 1.0f);
    DrawText(4, h - 12, s.toneLine);
    DrawText(4, 5, s.statusLine);
    glutSwapBuffers();
    if (s.observer.onFrame) {
        s.observer.onFrame();
    }
}

void Keyboard(unsigned char key, int, int) {
    RenderSession& session = *State().session;
    switch (key) {
        case 27:
            EndProcess(session.exitStatus);
        case 'r':
        case 'R':
            session.ResetTone();
            break;
        case '+':
        case '=':
            session.tone.IncreaseGamma();
            session.ApplyTone();
            break;
        case '-':
            session.tone.DecreaseGamma();
            session.ApplyTone();
            break;
        case ']':
            session.tone.IncreaseScale();
            session.ApplyTone();
            break;
        case '[':
            session.tone.DecreaseScale();
            session.ApplyTone();
            break;
        case 's':
        case 'S':
            session.Save(nullptr, true);
            glutPostRedisplay();
            return;
        default:
            return;
    }
    RefreshToneLine();
    glutPostRedisplay();
}

void Mouse(int button, int buttonState, int x, int y) {
    PreviewLayout& layout = State().layout;
    const bool pressed = buttonState == GLUT_DOWN;
    if (button == 3 && pressed) {
        layout.WheelForward();
    } else if (button == 4 && pressed) {
        layout.WheelBack();
    } else if (button == GLUT_RIGHT_BUTTON && pressed) {
        layout.ToggleFit();
    } else if (button == GLUT_LEFT_BUTTON) {
        if (pressed) {
            layout.PressLeft(x, y);
        } else {
            layout.ReleaseLeft();
        }
    }
    glutPostRedisplay();
}

void Motion(int x, int y) {
    if (State().layout.Drag(x, y)) {
        glutPostRedisplay();
    }
}

// activeThreads is written under the job's lock; reading it under the same lock makes the totals
// that the final statistics are computed from complete once it reads 0.
int32_t ActiveThreads(RenderJob& job) {
    pthread_mutex_lock(&job.lock);
    const int32_t active = job.activeThreads;
    pthread_mutex_unlock(&job.lock);
    return active;
}

void Timer(int) {
    PreviewState& s = State();
    RenderSession& session = *s.session;
    RenderJob& job = *session.job;
    if (ActiveThreads(job) > 0) {
        job.clock.Tick();
        s.tickCounter += TimerMilliseconds;
        if (s.tickCounter > 500) {
            s.tickCounter = 0;
            WriteStatusFields(s.statusLine, session.Figures());
        }
    } else if (!job.finished) {
        const StatusFigures figures = session.Figures();
        WriteStatusFields(s.statusLine, figures);
        // Only the save command says "Saved"; the end of the render is seen in the window.
        const std::vector<uint32_t> blockSamples = job.PictureSamples(job.PartsDone());
        session.Save(&figures, false, &blockSamples);
        session.ReportDroppedSamples();
        job.finished = true;
    }
    glutPostRedisplay();
    glutTimerFunc(TimerMilliseconds, Timer, 0);
    if (s.observer.onTimer) {
        s.observer.onTimer();
    }
}

void Close() {
    EndProcess(State().session->exitStatus);
}

}  // namespace

void OpenPreviewWindow(RenderSession& session, int& argc, char** argv) {
    PreviewState& s = State();
    s.session = &session;
    RefreshToneLine();

    glutInit(&argc, argv);
    EndProcessWhenDisplayIsLost();
    const int screenWidth = glutGet(GLUT_SCREEN_WIDTH);
    const int screenHeight = glutGet(GLUT_SCREEN_HEIGHT);
    s.layout = PreviewLayout::ForImage(session.film->width, session.film->height);
    int x = 0, y = 0;
    s.layout.WindowPosition(screenWidth, screenHeight, x, y);

    glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
    glutInitWindowSize(s.layout.windowWidth, s.layout.windowHeight);
    glutInitWindowPosition(x, y);
    // Closing the window must not run exit handlers under the render threads' feet.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
    glutCreateWindow(session.title.c_str());
    glClearColor(0.3f, 0.3f, 0.3f, 0.0f);
    glDisable(GL_LIGHTING);

    glutReshapeFunc(Reshape);
    glutMouseFunc(Mouse);
    glutMotionFunc(Motion);
    glutKeyboardFunc(Keyboard);
    glutDisplayFunc(DrawFrame);
    glutCloseFunc(Close);
    glutTimerFunc(0, Timer, 0);
}

void RunPreviewLoop() {
    glutMainLoop();
}

void SetPreviewObserver(PreviewObserver observer) {
    State().observer = std::move(observer);
}

void LeavePreviewLoop() {
    glutCloseFunc(nullptr);
    glutLeaveMainLoop();
}

}  // namespace glintor
