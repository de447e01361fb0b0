// Starts the real program under a private Xvfb in a folder of three pictures and
// checks its main window from a screenshot: size, three thumbnails, seventeen
// empty silver cells. Then it clicks the third thumbnail with XTEST input and
// checks the zoom window: caption, size, picture, the blocked main window,
// zooming in and out by clicks, and closing it as a window manager would.
// Usage: zavio_e2e <path to the zavio binary>.

#include "imaging/JpegCodec.h"
#include "imaging/TBitmap.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QTemporaryDir>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kTitle = "ザヴィオ";
constexpr int kClientWidth = 856;
constexpr int kClientHeight = 620;
constexpr int kCellLeft = 150;
constexpr int kCellTop = 60;
constexpr int kCellStep = 140;
constexpr int kCellWidth = 131;
constexpr int kCellHeight = 101;
constexpr int kColumns = 5;
constexpr int kCells = 20;
constexpr QRgb kSilver = 0xffc0c0c0;
constexpr int kJpegTolerance = 40;
constexpr int kZoomCell = 3;
constexpr int kBlockedCell = 1;
constexpr const char* kZoomTitle = "可変表示・元サイズ＝640*480 3.jpg";

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string readFile(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

// A child process that is stopped (SIGTERM, then SIGKILL) and reaped when the
// guard goes out of scope, so neither the program nor Xvfb outlives the test.
class ChildProcess {
public:
    // Runs argv with stdout and stderr to logPath. setup runs in the child
    // before exec (working folder, environment). keepFd stays open across exec.
    ChildProcess(std::vector<std::string> argv, const std::string& logPath,
                 const std::function<void()>& setup = {}, int keepFd = -1)
        : name_(argv.at(0)), logPath_(logPath)
    {
        std::vector<char*> args;
        for (std::string& arg : argv)
            args.push_back(arg.data());
        args.push_back(nullptr);
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ < 0)
            throw Failure("fork failed: " + std::string(std::strerror(errno)));
        if (pid_ == 0) {
            // Die with the test even when it is killed outright.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent)
                _exit(127);
            const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (log >= 0) {
                dup2(log, STDOUT_FILENO);
                dup2(log, STDERR_FILENO);
                close(log);
            }
            const int null = open("/dev/null", O_RDONLY);
            if (null >= 0) {
                dup2(null, STDIN_FILENO);
                close(null);
            }
            if (keepFd >= 0)
                fcntl(keepFd, F_SETFD, 0);
            if (setup)
                setup();
            execvp(args[0], args.data());
            std::fprintf(stderr, "exec %s: %s\n", args[0], std::strerror(errno));
            _exit(127);
        }
    }
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The exit description when the process has ended, nothing while it runs.
    std::optional<std::string> ended()
    {
        if (pid_ <= 0)
            return describe(status_);
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = 0;
            status_ = status;
            return describe(status);
        }
        return std::nullopt;
    }

    void stop()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        const auto deadline = Clock::now() + 3s;
        while (Clock::now() < deadline) {
            if (waitpid(pid_, &status_, WNOHANG) == pid_) {
                pid_ = 0;
                return;
            }
            std::this_thread::sleep_for(20ms);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
        pid_ = 0;
    }

    std::string log() const { return readFile(logPath_); }
    const std::string& name() const { return name_; }

private:
    static std::string describe(int status)
    {
        if (WIFEXITED(status))
            return "exited with status " + std::to_string(WEXITSTATUS(status));
        if (WIFSIGNALED(status))
            return "killed by signal " + std::to_string(WTERMSIG(status));
        return "ended";
    }

    std::string name_;
    std::string logPath_;
    pid_t pid_ = -1;
    int status_ = 0;
};

class Pipe {
public:
    Pipe()
    {
        if (pipe2(fds_, O_CLOEXEC) != 0)
            throw Failure("pipe failed: " + std::string(std::strerror(errno)));
    }
    ~Pipe()
    {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    int readFd() const { return fds_[0]; }
    int writeFd() const { return fds_[1]; }
    void closeRead() { closeFd(fds_[0]); }
    void closeWrite() { closeFd(fds_[1]); }

private:
    static void closeFd(int& fd)
    {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
    int fds_[2] = {-1, -1};
};

// Xvfb picks a free display itself and writes its number to the pipe.
int readDisplayNumber(Pipe& pipe, ChildProcess& xvfb)
{
    std::string text;
    const auto deadline = Clock::now() + 15s;
    while (Clock::now() < deadline) {
        pollfd fd{pipe.readFd(), POLLIN, 0};
        if (poll(&fd, 1, 100) > 0) {
            char buffer[32];
            const ssize_t n = read(pipe.readFd(), buffer, sizeof buffer);
            if (n > 0)
                text.append(buffer, size_t(n));
            if (text.find('\n') != std::string::npos)
                return std::stoi(text);
            if (n == 0)
                break;
        }
        if (auto end = xvfb.ended())
            throw Failure("Xvfb " + *end + " before giving its display:\n" + xvfb.log());
    }
    throw Failure("Xvfb gave no display number:\n" + xvfb.log());
}

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// X errors (a window that vanished between listing and reading it) are noted
// instead of ending the process, as Xlib's default handler would.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

std::string windowProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type, &format,
                           &items, &after, &data) == Success
        && data) {
        if (format == 8)
            value.assign(reinterpret_cast<char*>(data), items);
        XFree(data);
    }
    return value;
}

struct TitledWindow {
    Window window;
    std::string title;
};

using TitleTest = std::function<bool(const std::string&)>;

// Walks the window tree from the root for a mapped window whose title passes
// the test, in _NET_WM_NAME (UTF-8) or WM_NAME.
std::optional<TitledWindow> findTitledWindow(Display* display, Window window, Atom netWmName,
                                             const TitleTest& wanted)
{
    XWindowAttributes attributes{};
    if (window != DefaultRootWindow(display) && XGetWindowAttributes(display, window, &attributes)
        && attributes.map_state == IsViewable) {
        std::string title = windowProperty(display, window, netWmName);
        if (!wanted(title))
            title = windowProperty(display, window, XA_WM_NAME);
        if (wanted(title))
            return TitledWindow{window, title};
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return std::nullopt;
    std::unique_ptr<Window, int (*)(void*)> owned(children, XFree);
    for (unsigned int i = 0; i < count; ++i) {
        if (auto found = findTitledWindow(display, children[i], netWmName, wanted))
            return found;
    }
    return std::nullopt;
}

// The mapped children of the root: without a window manager, the top-level
// windows the program shows.
std::vector<TitledWindow> mappedTopLevels(Display* display, Atom netWmName)
{
    std::vector<TitledWindow> windows;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return windows;
    std::unique_ptr<Window, int (*)(void*)> owned(children, XFree);
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
            windows.push_back({children[i], windowProperty(display, children[i], netWmName)});
    }
    return windows;
}

bool isTopLevel(Display* display, Window window)
{
    for (const TitledWindow& top : mappedTopLevels(display, None))
        if (top.window == window)
            return true;
    return false;
}

// What a window shows of itself: _NET_WM_NAME, size and whether it is mapped.
struct WindowState {
    bool exists = false;
    bool mapped = false;
    int width = 0;
    int height = 0;
    std::string title;

    std::string text() const
    {
        if (!exists)
            return "destroyed";
        return std::string(mapped ? "mapped" : "not mapped") + ", " + std::to_string(width) + "x"
               + std::to_string(height) + ", title \"" + title + "\"";
    }
};

WindowState windowState(Display* display, Window window, Atom netWmName)
{
    WindowState state;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes))
        return state;
    state.exists = true;
    state.mapped = attributes.map_state == IsViewable;
    state.width = attributes.width;
    state.height = attributes.height;
    state.title = windowProperty(display, window, netWmName);
    return state;
}

// The window's rectangle in root coordinates, empty when it cannot be read.
QRect rootRect(Display* display, Window window)
{
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!XGetWindowAttributes(display, window, &attributes)
        || !XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child))
        return {};
    return QRect(x, y, attributes.width, attributes.height);
}

// The middle of the largest strip of area that cover leaves visible, or
// nothing when cover hides all of it.
std::optional<QPoint> uncoveredPoint(const QRect& area, const QRect& cover)
{
    if (!area.intersects(cover))
        return area.center();
    const QRect strips[] = {
        QRect(area.topLeft(), QPoint(area.right(), cover.top() - 1)),
        QRect(QPoint(area.left(), cover.bottom() + 1), area.bottomRight()),
        QRect(area.topLeft(), QPoint(cover.left() - 1, area.bottom())),
        QRect(QPoint(cover.right() + 1, area.top()), area.bottomRight()),
    };
    std::optional<QRect> best;
    for (const QRect& strip : strips) {
        if (strip.width() >= 3 && strip.height() >= 3
            && (!best || qint64(strip.width()) * strip.height() > qint64(best->width()) * best->height()))
            best = strip;
    }
    if (!best)
        return std::nullopt;
    return best->center();
}

// A click of the given button at (x, y) in the top-level window, sent as real
// input through XTEST: the pointer moves there, then the button goes down and
// up. The click is refused when another window covers that point.
void clickAt(Display* display, Window window, int x, int y, unsigned int button)
{
    const Window rootWindow = DefaultRootWindow(display);
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display, window, rootWindow, x, y, &rootX, &rootY, &child))
        throw Failure("cannot translate (" + std::to_string(x) + "," + std::to_string(y)
                      + ") of a window to root coordinates");
    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, CurrentTime);
    XSync(display, False);
    Window under = None;
    const auto deadline = Clock::now() + 1s;
    for (;;) {
        Window pointerRoot = 0;
        int pointerX = 0;
        int pointerY = 0;
        int windowX = 0;
        int windowY = 0;
        unsigned int buttons = 0;
        under = None;
        XQueryPointer(display, rootWindow, &pointerRoot, &under, &pointerX, &pointerY, &windowX, &windowY,
                      &buttons);
        if ((under == window && pointerX == rootX && pointerY == rootY) || Clock::now() > deadline)
            break;
        std::this_thread::sleep_for(10ms);
    }
    if (under != window)
        throw Failure("the pointer at (" + std::to_string(rootX) + "," + std::to_string(rootY)
                      + ") of the screen is not over the window to click but over window "
                      + std::to_string(under));
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XFlush(display);
}

// Asks the window to close the way a window manager does, with a
// WM_DELETE_WINDOW message of the WM_PROTOCOLS kind.
void sendDeleteWindow(Display* display, Window window)
{
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom* offered = nullptr;
    int count = 0;
    bool accepts = false;
    if (XGetWMProtocols(display, window, &offered, &count)) {
        accepts = std::find(offered, offered + count, deleteWindow) != offered + count;
        XFree(offered);
    }
    if (!accepts)
        throw Failure("the zoom window does not list WM_DELETE_WINDOW in WM_PROTOCOLS");
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    if (!XSendEvent(display, window, False, NoEventMask, &event))
        throw Failure("cannot send WM_DELETE_WINDOW to the zoom window");
    XFlush(display);
}

struct XImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); }
};

int shiftOf(unsigned long mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// The window's pixels as a QImage, or a null image when it cannot be read yet.
QImage grabWindow(Display* display, Window window, int width, int height)
{
    std::unique_ptr<XImage, XImageDeleter> shot(
        XGetImage(display, window, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap));
    if (!shot)
        return {};
    const int redShift = shiftOf(shot->red_mask);
    const int greenShift = shiftOf(shot->green_mask);
    const int blueShift = shiftOf(shot->blue_mask);
    const auto scale = [](unsigned long value, unsigned long mask) {
        const unsigned long top = mask >> shiftOf(mask);
        return top ? int(value * 255 / top) : 0;
    };
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(shot.get(), x, y);
            line[x] = qRgb(scale((pixel & shot->red_mask) >> redShift, shot->red_mask),
                           scale((pixel & shot->green_mask) >> greenShift, shot->green_mask),
                           scale((pixel & shot->blue_mask) >> blueShift, shot->blue_mask));
        }
    }
    return image;
}

struct Fixture {
    const char* fileName;
    int width;
    int height;
    QRgb colour;
};

constexpr Fixture kPictures[] = {
    {"1.jpg", 400, 300, qRgb(220, 30, 30)},
    {"2.jpg", 300, 400, qRgb(30, 200, 40)},
    {"3.jpg", 640, 480, qRgb(30, 40, 220)},
};

void writeFixture(const QString& folder)
{
    for (const Fixture& picture : kPictures) {
        zavio::TBitmap bitmap(picture.width, picture.height);
        bitmap.fill(std::uint8_t(qRed(picture.colour)), std::uint8_t(qGreen(picture.colour)),
                    std::uint8_t(qBlue(picture.colour)));
        const QByteArray jpeg = zavio::TJPEGImage::encode(bitmap);
        QFile file(folder + QLatin1Char('/') + QLatin1String(picture.fileName));
        if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size())
            throw Failure("cannot write fixture " + file.fileName().toStdString());
    }
    QFile notes(folder + QStringLiteral("/notes.txt"));
    if (!notes.open(QIODevice::WriteOnly) || notes.write("not a picture\n") < 0)
        throw Failure("cannot write fixture notes.txt");
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
           && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

std::string rgbText(QRgb c)
{
    return "(" + std::to_string(qRed(c)) + "," + std::to_string(qGreen(c)) + "," + std::to_string(qBlue(c)) + ")";
}

int cellLeft(int cell)
{
    return kCellLeft + kCellStep * ((cell - 1) % kColumns);
}

int cellTop(int cell)
{
    return kCellTop + kCellStep * ((cell - 1) / kColumns);
}

// What is wrong with the screenshot, or nothing when it shows the expected page:
// the three pictures (in any order) in cells 1 to 3 and silver cells after them.
std::optional<std::string> checkScreenshot(const QImage& shot)
{
    if (shot.width() != kClientWidth || shot.height() != kClientHeight)
        return "client area is " + std::to_string(shot.width()) + "x" + std::to_string(shot.height())
               + ", expected " + std::to_string(kClientWidth) + "x" + std::to_string(kClientHeight);
    std::vector<bool> used(std::size(kPictures), false);
    for (int cell = 1; cell <= int(std::size(kPictures)); ++cell) {
        const int x = cellLeft(cell) + kCellWidth / 2;
        const int y = cellTop(cell) + kCellHeight / 2;
        const QRgb centre = shot.pixel(x, y);
        if (centre == kSilver)
            return "cell " + std::to_string(cell) + " is silver at its centre, no picture drawn";
        bool matched = false;
        for (size_t i = 0; i < std::size(kPictures); ++i) {
            if (!used[i] && near(centre, kPictures[i].colour, kJpegTolerance)) {
                used[i] = true;
                matched = true;
                break;
            }
        }
        if (!matched)
            return "cell " + std::to_string(cell) + " centre is " + rgbText(centre)
                   + ", not the colour of any fixture picture not yet seen";
    }
    for (int cell = int(std::size(kPictures)) + 1; cell <= kCells; ++cell) {
        for (int dy = 0; dy <= 10; ++dy) {
            for (int dx = 0; dx <= 10; ++dx) {
                const int x = cellLeft(cell) + dx * (kCellWidth - 1) / 10;
                const int y = cellTop(cell) + dy * (kCellHeight - 1) / 10;
                if (shot.pixel(x, y) != kSilver)
                    return "cell " + std::to_string(cell) + " is not silver at (" + std::to_string(x) + ","
                           + std::to_string(y) + "): " + rgbText(shot.pixel(x, y));
            }
        }
    }
    return std::nullopt;
}

// The screenshot path with "-zoom" before ".png" (or at the end).
std::string zoomShotPath(std::string path)
{
    const std::string suffix = ".png";
    if (path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
        return path.insert(path.size() - suffix.size(), "-zoom");
    return path + "-zoom";
}

void saveShot(const QImage& shot, const std::string& path)
{
    if (shot.save(QString::fromStdString(path), "PNG"))
        std::printf("screenshot written to %s\n", path.c_str());
    else
        std::fprintf(stderr, "could not write the screenshot to %s\n", path.c_str());
}

std::string absoluteProgram(const char* path)
{
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    if (error || !std::filesystem::exists(absolute))
        throw Failure(std::string("program not found: ") + path);
    return absolute.string();
}

int run(const std::string& program)
{
    QTemporaryDir work;
    if (!work.isValid())
        throw Failure("cannot make a temporary folder");
    const std::string logs = work.path().toStdString();
    const QString fixture = work.path() + QStringLiteral("/pictures");
    if (!QDir().mkpath(fixture))
        throw Failure("cannot make the fixture folder");
    writeFixture(fixture);

    Pipe displayPipe;
    ChildProcess xvfb({"Xvfb", "-displayfd", std::to_string(displayPipe.writeFd()), "-screen", "0",
                       "1280x1024x24", "-nolisten", "tcp"},
                      logs + "/xvfb.log", {}, displayPipe.writeFd());
    displayPipe.closeWrite();
    const std::string displayName = ":" + std::to_string(readDisplayNumber(displayPipe, xvfb));

    XSetErrorHandler(ignoreXError);
    DisplayPtr display(XOpenDisplay(displayName.c_str()));
    if (!display)
        throw Failure("cannot open Xvfb display " + displayName + ":\n" + xvfb.log());
    const Atom netWmName = XInternAtom(display.get(), "_NET_WM_NAME", False);
    int xtestEvent = 0;
    int xtestError = 0;
    int xtestMajor = 0;
    int xtestMinor = 0;
    if (!XTestQueryExtension(display.get(), &xtestEvent, &xtestError, &xtestMajor, &xtestMinor))
        throw Failure("Xvfb offers no XTEST extension, so no input can be sent:\n" + xvfb.log());

    // A private runtime folder keeps Qt from warning about a missing one.
    const std::string runtime = logs + "/runtime";
    if (mkdir(runtime.c_str(), 0700) != 0)
        throw Failure("cannot make " + runtime);
    const std::string fixturePath = fixture.toStdString();
    ChildProcess zavio({program}, logs + "/zavio.log", [&] {
        if (chdir(fixturePath.c_str()) != 0)
            _exit(126);
        setenv("DISPLAY", displayName.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    });
    const auto programLog = [&] { return "\n--- program output ---\n" + zavio.log(); };

    const auto start = Clock::now();
    std::optional<TitledWindow> window;
    while (!window) {
        if (auto end = zavio.ended())
            throw Failure("the program " + *end + " before showing its window" + programLog());
        if (Clock::now() - start > 20s)
            throw Failure(std::string("no window titled ") + kTitle + " appeared in 20 s" + programLog());
        window = findTitledWindow(display.get(), DefaultRootWindow(display.get()), netWmName,
                                  [](const std::string& title) { return title.find(kTitle) != std::string::npos; });
        if (!window)
            std::this_thread::sleep_for(50ms);
    }
    const auto found = Clock::now();

    QImage shot;
    std::optional<std::string> problem = std::string("no screenshot taken");
    while (problem && Clock::now() - found < 15s) {
        if (auto end = zavio.ended())
            throw Failure("the program " + *end + " while its window was checked" + programLog());
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display.get(), window->window, &attributes)) {
            shot = grabWindow(display.get(), window->window, attributes.width, attributes.height);
            problem = shot.isNull() ? std::optional<std::string>("the window could not be read") : checkScreenshot(shot);
        }
        if (problem)
            std::this_thread::sleep_for(100ms);
    }

    const char* shotEnv = std::getenv("ZAVIO_E2E_SHOT");
    const std::string shotPath = shotEnv ? shotEnv : "";
    if (!shotPath.empty() && !shot.isNull())
        saveShot(shot, shotPath);
    if (problem)
        throw Failure("the window \"" + window->title + "\" is not as expected: " + *problem + programLog());

    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    const auto since = [](Clock::time_point from) {
        return (long long)duration_cast<milliseconds>(Clock::now() - from).count();
    };
    std::printf("window \"%s\" found after %lld ms, page checked after %lld ms more\n",
                window->title.c_str(), (long long)duration_cast<milliseconds>(found - start).count(),
                since(found));

    // The page check takes the pictures in any order; the clicks need 3.jpg in cell 3.
    const int zoomCellX = cellLeft(kZoomCell) + kCellWidth / 2;
    const int zoomCellY = cellTop(kZoomCell) + kCellHeight / 2;
    if (!near(shot.pixel(zoomCellX, zoomCellY), kPictures[2].colour, kJpegTolerance))
        throw Failure("cell " + std::to_string(kZoomCell) + " does not show 3.jpg: its centre is "
                      + rgbText(shot.pixel(zoomCellX, zoomCellY)) + ", expected near "
                      + rgbText(kPictures[2].colour) + programLog());

    // Polls check until it finds nothing wrong; past the limit its last
    // complaint becomes the failure.
    const auto waitUntil = [&](std::chrono::milliseconds limit, const std::string& what,
                               const std::function<std::optional<std::string>()>& check) {
        const auto begin = Clock::now();
        for (;;) {
            if (auto end = zavio.ended())
                throw Failure("the program " + *end + " while waiting for " + what + programLog());
            const std::optional<std::string> complaint = check();
            if (!complaint)
                return;
            if (Clock::now() - begin > limit)
                throw Failure("no " + what + " within " + std::to_string(limit.count()) + " ms: " + *complaint
                              + programLog());
            std::this_thread::sleep_for(20ms);
        }
    };

    const auto zoomStart = Clock::now();
    clickAt(display.get(), window->window, zoomCellX, zoomCellY, Button1);
    std::optional<TitledWindow> zoom;
    QImage zoomShot;
    waitUntil(10s, std::string("zoom window titled \"") + kZoomTitle + "\" after clicking cell 3",
              [&]() -> std::optional<std::string> {
                  if (!zoom) {
                      zoom = findTitledWindow(display.get(), DefaultRootWindow(display.get()), netWmName,
                                              [](const std::string& title) { return title == kZoomTitle; });
                      if (zoom && (zoom->window == window->window || !isTopLevel(display.get(), zoom->window))) {
                          zoom.reset();
                          return std::string("the window with that title is not a new top-level window");
                      }
                  }
                  if (!zoom) {
                      std::string seen;
                      for (const TitledWindow& top : mappedTopLevels(display.get(), netWmName))
                          seen += " \"" + top.title + "\"";
                      return "the mapped top-level windows are titled" + seen;
                  }
                  const WindowState state = windowState(display.get(), zoom->window, netWmName);
                  if (!state.mapped || state.width != 640 || state.height != 480 || state.title != kZoomTitle)
                      return "the zoom window is " + state.text() + ", expected mapped, 640x480";
                  zoomShot = grabWindow(display.get(), zoom->window, state.width, state.height);
                  if (zoomShot.isNull())
                      return std::string("the zoom window could not be read");
                  const QRgb centre = zoomShot.pixel(state.width / 2, state.height / 2);
                  if (!near(centre, kPictures[2].colour, kJpegTolerance))
                      return "the zoom window's centre is " + rgbText(centre) + ", expected near "
                             + rgbText(kPictures[2].colour);
                  return std::nullopt;
              });
    if (!shotPath.empty() && !zoomShot.isNull())
        saveShot(zoomShot, zoomShotPath(shotPath));
    std::printf("zoom window \"%s\" shown and checked %lld ms after the click\n", kZoomTitle, since(zoomStart));

    // The zoom window is modal: a click on another thumbnail must do nothing.
    // It opens over the main window and may hide the cell; a user would drag
    // it aside, and with no window manager the test moves it itself.
    const auto blockedStart = Clock::now();
    const QRect mainRect = rootRect(display.get(), window->window);
    const QRect blockedCell =
        QRect(cellLeft(kBlockedCell), cellTop(kBlockedCell), kCellWidth, kCellHeight).translated(mainRect.topLeft());
    QRect zoomRect = rootRect(display.get(), zoom->window);
    if (!uncoveredPoint(blockedCell, zoomRect)) {
        const QPoint aside(blockedCell.right() + 40, zoomRect.y());
        XMoveWindow(display.get(), zoom->window, aside.x(), aside.y());
        XFlush(display.get());
        waitUntil(2s, "zoom window moved aside to " + std::to_string(aside.x()) + "," + std::to_string(aside.y()),
                  [&]() -> std::optional<std::string> {
                      zoomRect = rootRect(display.get(), zoom->window);
                      if (zoomRect.topLeft() == aside)
                          return std::nullopt;
                      return "it is at " + std::to_string(zoomRect.x()) + "," + std::to_string(zoomRect.y());
                  });
    }
    const std::optional<QPoint> blockedPoint = uncoveredPoint(blockedCell, zoomRect);
    if (!blockedPoint)
        throw Failure("the zoom window at " + std::to_string(zoomRect.x()) + "," + std::to_string(zoomRect.y())
                      + " hides all of cell " + std::to_string(kBlockedCell) + programLog());
    clickAt(display.get(), window->window, blockedPoint->x() - mainRect.x(), blockedPoint->y() - mainRect.y(),
            Button1);
    std::this_thread::sleep_for(500ms);
    if (auto end = zavio.ended())
        throw Failure("the program " + *end + " after a click on the blocked main window" + programLog());
    for (const TitledWindow& top : mappedTopLevels(display.get(), netWmName)) {
        if (top.window != window->window && top.window != zoom->window)
            throw Failure("a click on cell " + std::to_string(kBlockedCell)
                          + " while the zoom window was open mapped another window titled \"" + top.title + "\""
                          + programLog());
    }
    if (const WindowState state = windowState(display.get(), zoom->window, netWmName);
        !state.mapped || state.title != kZoomTitle || state.width != 640 || state.height != 480)
        throw Failure("a click on cell " + std::to_string(kBlockedCell)
                      + " while the zoom window was open changed it: it is " + state.text() + programLog());
    std::printf("click on the blocked main window ignored (%lld ms)\n", since(blockedStart));

    // Each click in the picture zooms by a tenth and the window follows.
    const auto zoomClick = [&](unsigned int button, const char* buttonName, int width, int height) {
        const auto clickStart = Clock::now();
        const WindowState before = windowState(display.get(), zoom->window, netWmName);
        clickAt(display.get(), zoom->window, before.width / 2, before.height / 2, button);
        const std::string title = "Size=" + std::to_string(width) + "*" + std::to_string(height);
        waitUntil(5s,
                  "zoom window at " + std::to_string(width) + "x" + std::to_string(height) + " titled \"" + title
                      + "\" after a " + buttonName + " click",
                  [&]() -> std::optional<std::string> {
                      const WindowState state = windowState(display.get(), zoom->window, netWmName);
                      if (state.mapped && state.width == width && state.height == height && state.title == title)
                          return std::nullopt;
                      return "the zoom window is " + state.text();
                  });
        std::printf("%s click: \"%s\" after %lld ms\n", buttonName, title.c_str(), since(clickStart));
    };
    zoomClick(Button1, "left", 704, 528);
    zoomClick(Button3, "right", 640, 480);
    zoomClick(Button3, "right", 576, 432);

    // Closing the zoom window hands control back to the main window.
    const auto closeStart = Clock::now();
    sendDeleteWindow(display.get(), zoom->window);
    waitUntil(5s, "unmapping of the zoom window after WM_DELETE_WINDOW", [&]() -> std::optional<std::string> {
        const WindowState state = windowState(display.get(), zoom->window, netWmName);
        if (!state.mapped)
            return std::nullopt;
        return "the zoom window is " + state.text();
    });
    std::this_thread::sleep_for(200ms);
    if (auto end = zavio.ended())
        throw Failure("the program " + *end + " after its zoom window was closed" + programLog());
    if (const WindowState state = windowState(display.get(), window->window, netWmName); !state.mapped)
        throw Failure("after the zoom window was closed the main window is " + state.text() + programLog());
    std::printf("zoom window closed after %lld ms, main window still shown\n", since(closeStart));

    // The same click on cell 1 now opens its picture, so the click that was
    // ignored above did hit a live thumbnail.
    const auto reopenStart = Clock::now();
    clickAt(display.get(), window->window, blockedPoint->x() - mainRect.x(), blockedPoint->y() - mainRect.y(),
            Button1);
    std::optional<TitledWindow> reopened;
    waitUntil(10s, "zoom window after a click on cell " + std::to_string(kBlockedCell) + " of the unblocked main window",
              [&]() -> std::optional<std::string> {
                  for (const TitledWindow& top : mappedTopLevels(display.get(), netWmName)) {
                      if (top.window != window->window) {
                          reopened = top;
                          return std::nullopt;
                      }
                  }
                  return std::string("only the main window is mapped");
              });
    sendDeleteWindow(display.get(), reopened->window);
    waitUntil(5s, "unmapping of the reopened zoom window", [&]() -> std::optional<std::string> {
        const WindowState state = windowState(display.get(), reopened->window, netWmName);
        if (!state.mapped)
            return std::nullopt;
        return "the zoom window is " + state.text();
    });
    std::printf("cell %d opened \"%s\" once unblocked, closed again after %lld ms\n", kBlockedCell,
                reopened->title.c_str(), since(reopenStart));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <path to zavio>\n", argv[0]);
        return 2;
    }
    // The guards send SIGTERM to their children; a broken log pipe must not end us.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        const int result = run(absoluteProgram(argv[1]));
        std::printf("e2e: PASS\n");
        return result;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "e2e: FAIL: %s\n", error.what());
        return 1;
    }
}
