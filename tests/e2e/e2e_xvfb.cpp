// Starts the real program under a private Xvfb in a folder of three pictures and
// checks its main window from a screenshot: size, three thumbnails, seventeen
// empty silver cells. Usage: zavio_e2e <path to the zavio binary>.

#include "imaging/JpegCodec.h"
#include "imaging/TBitmap.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
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

// Walks the window tree from the root for a mapped window whose title holds the
// program's name, in _NET_WM_NAME (UTF-8) or WM_NAME.
std::optional<TitledWindow> findTitledWindow(Display* display, Window window, Atom netWmName)
{
    XWindowAttributes attributes{};
    if (window != DefaultRootWindow(display) && XGetWindowAttributes(display, window, &attributes)
        && attributes.map_state == IsViewable) {
        std::string title = windowProperty(display, window, netWmName);
        if (title.find(kTitle) == std::string::npos)
            title = windowProperty(display, window, XA_WM_NAME);
        if (title.find(kTitle) != std::string::npos)
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
        if (auto found = findTitledWindow(display, children[i], netWmName))
            return found;
    }
    return std::nullopt;
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
        window = findTitledWindow(display.get(), DefaultRootWindow(display.get()), netWmName);
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

    if (const char* shotPath = std::getenv("ZAVIO_E2E_SHOT"); shotPath && *shotPath && !shot.isNull()) {
        if (shot.save(QString::fromLocal8Bit(shotPath), "PNG"))
            std::printf("screenshot written to %s\n", shotPath);
        else
            std::fprintf(stderr, "could not write the screenshot to %s\n", shotPath);
    }
    if (problem)
        throw Failure("the window \"" + window->title + "\" is not as expected: " + *problem + programLog());

    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    std::printf("window \"%s\" found after %lld ms, page checked after %lld ms more\n",
                window->title.c_str(), (long long)duration_cast<milliseconds>(found - start).count(),
                (long long)duration_cast<milliseconds>(Clock::now() - found).count());
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
