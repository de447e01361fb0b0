#include "support/XWindows.h"

#include "support/ChildProcess.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <memory>
#include <thread>

namespace zavio::e2e {
namespace {

using namespace std::chrono_literals;

Atom netWmName(Display* display)
{
    // Xlib keeps interned atoms, so this asks the server once.
    return XInternAtom(display, "_NET_WM_NAME", False);
}

std::string windowProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type, &format, &items, &after,
                           &data)
            == Success
        && data) {
        if (format == 8)
            value.assign(reinterpret_cast<char*>(data), items);
        XFree(data);
    }
    return value;
}

std::optional<TitledWindow> findTitledWindowUnder(Display* display, Window window, const TitleTest& wanted)
{
    XWindowAttributes attributes{};
    if (window != DefaultRootWindow(display) && XGetWindowAttributes(display, window, &attributes)
        && attributes.map_state == IsViewable) {
        std::string title = windowProperty(display, window, netWmName(display));
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
        if (auto found = findTitledWindowUnder(display, children[i], wanted))
            return found;
    }
    return std::nullopt;
}

// Moves the pointer to (x, y) of window and waits until the server has it
// there; returns the window under the pointer.
Window movePointer(Display* display, Window window, int x, int y)
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
    // Under a window manager the root's child under the pointer is the frame
    // that holds the window.
    const Window top = topLevelOf(display, window);
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
        XQueryPointer(display, rootWindow, &pointerRoot, &under, &pointerX, &pointerY, &windowX, &windowY, &buttons);
        if ((under == top && pointerX == rootX && pointerY == rootY) || Clock::now() > deadline)
            break;
        std::this_thread::sleep_for(10ms);
    }
    if (under != top)
        throw Failure("the pointer at (" + std::to_string(rootX) + "," + std::to_string(rootY)
                      + ") of the screen is not over the window to reach but over window " + std::to_string(under));
    return under;
}

} // namespace

std::string windowTitle(Display* display, Window window)
{
    std::string title = windowProperty(display, window, netWmName(display));
    return title.empty() ? windowProperty(display, window, XA_WM_NAME) : title;
}

std::optional<TitledWindow> findTitledWindow(Display* display, const TitleTest& wanted)
{
    return findTitledWindowUnder(display, DefaultRootWindow(display), wanted);
}

std::vector<TitledWindow> mappedTopLevels(Display* display)
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
            windows.push_back({children[i], windowProperty(display, children[i], netWmName(display))});
    }
    return windows;
}

namespace {

// The window a window manager's frame holds: the first window under it that
// carries WM_STATE, which the manager sets on each window it manages. A window
// without such a descendant (no manager, a menu) stands for itself.
Window clientOf(Display* display, Window window)
{
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    std::vector<Window> queue{window};
    for (size_t next = 0; next < queue.size(); ++next) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        const int read = XGetWindowProperty(display, queue[next], wmState, 0, 0, False, AnyPropertyType, &type, &format,
                                            &items, &after, &data);
        if (data)
            XFree(data);
        if (read == Success && type != None)
            return queue[next];
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, queue[next], &root, &parent, &children, &count) && children) {
            queue.insert(queue.end(), children, children + count);
            XFree(children);
        }
    }
    return window;
}

} // namespace

std::vector<TitledWindow> mappedClients(Display* display)
{
    std::vector<TitledWindow> clients = mappedTopLevels(display);
    if (!windowManagerRunning(display))
        return clients;
    for (TitledWindow& client : clients) {
        client.window = clientOf(display, client.window);
        client.title = windowProperty(display, client.window, netWmName(display));
    }
    return clients;
}

bool isTopLevel(Display* display, Window window)
{
    for (const TitledWindow& top : mappedTopLevels(display))
        if (top.window == window)
            return true;
    return false;
}

std::string describeTopLevels(Display* display)
{
    std::string seen;
    for (const TitledWindow& top : mappedClients(display))
        seen += " \"" + top.title + "\"";
    return "the mapped top-level windows are titled" + (seen.empty() ? std::string(" (none)") : seen);
}

std::vector<TitledWindow> topLevelsTitled(Display* display, const std::string& title)
{
    std::vector<TitledWindow> titled;
    for (const TitledWindow& top : mappedClients(display))
        if (top.title == title)
            titled.push_back(top);
    return titled;
}

Window transientFor(Display* display, Window window)
{
    Window owner = None;
    if (!XGetTransientForHint(display, window, &owner))
        return None;
    return owner;
}

Window topLevelOf(Display* display, Window window)
{
    const Window rootWindow = DefaultRootWindow(display);
    while (window != None) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, window, &root, &parent, &children, &count))
            return None;
        if (children)
            XFree(children);
        if (parent == rootWindow)
            return window;
        window = parent;
    }
    return None;
}

int stackingIndex(Display* display, Window window)
{
    const Window top = topLevelOf(display, window);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (top == None || !XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return -1;
    std::unique_ptr<Window, int (*)(void*)> owned(children, XFree);
    // The root lists its children from the bottom of the stack to the top.
    for (unsigned int i = 0; i < count; ++i)
        if (children[i] == top)
            return int(i);
    return -1;
}

bool windowManagerRunning(Display* display)
{
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                          &format, &items, &after, &data)
            == Success
        && data && items == 1;
    if (data)
        XFree(data);
    return found;
}

void requestActivation(Display* display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // from a pager or task bar, which window managers obey
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
}

void clickThroughFrame(Display* display, Window window, int x, int y, unsigned int button)
{
    const Window top = topLevelOf(display, window);
    if (top == None)
        throw Failure("the window to click is gone");
    int topX = 0;
    int topY = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display, window, top, x, y, &topX, &topY, &child))
        throw Failure("cannot translate a point of a window to its frame");
    clickAt(display, top, topX, topY, button);
}

std::string WindowState::text() const
{
    if (!exists)
        return "destroyed";
    return std::string(mapped ? "mapped" : "not mapped") + ", " + std::to_string(width) + "x" + std::to_string(height)
        + ", title \"" + title + "\"";
}

WindowState windowState(Display* display, Window window)
{
    WindowState state;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes))
        return state;
    state.exists = true;
    state.mapped = attributes.map_state == IsViewable;
    state.width = attributes.width;
    state.height = attributes.height;
    state.title = windowProperty(display, window, netWmName(display));
    return state;
}

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

std::optional<QPoint> visiblePoint(Display* display, Window window, const QRect& area)
{
    const QRect own = rootRect(display, window);
    // The root lists its children from the bottom of the stack to the top.
    std::vector<QRect> covers;
    bool above = false;
    for (const TitledWindow& top : mappedTopLevels(display)) {
        if (above)
            covers.push_back(rootRect(display, top.window));
        above = above || top.window == window;
    }
    const QRect onScreen = area.translated(own.topLeft());
    std::optional<QPoint> best;
    int bestDistance = 0;
    for (int y = onScreen.top(); y <= onScreen.bottom(); y += 2)
        for (int x = onScreen.left(); x <= onScreen.right(); x += 2) {
            const QPoint point(x, y);
            if (std::any_of(covers.begin(), covers.end(), [&](const QRect& cover) { return cover.contains(point); }))
                continue;
            const int distance = (point - onScreen.center()).manhattanLength();
            if (!best || distance < bestDistance) {
                best = point - own.topLeft();
                bestDistance = distance;
            }
        }
    return best;
}

Window inputFocus(Display* display)
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    return focus;
}

void giveFocus(Display* display, Window window)
{
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    XFlush(display);
}

void moveWindow(Display* display, Window window, const QPoint& pos)
{
    XMoveWindow(display, window, pos.x(), pos.y());
    XFlush(display);
}

void clickAt(Display* display, Window window, int x, int y, unsigned int button)
{
    movePointer(display, window, x, y);
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XFlush(display);
}

void pressKey(Display* display, Window window, unsigned long keysym)
{
    const KeyCode code = XKeysymToKeycode(display, KeySym(keysym));
    if (code == 0)
        throw Failure("the server's keyboard has no key for keysym " + std::to_string(keysym));
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes))
        throw Failure("the window to type into is gone");
    movePointer(display, window, attributes.width / 2, attributes.height / 2);
    giveFocus(display, window);
    XSync(display, False);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XFlush(display);
}

void typeText(Display* display, Window window, const std::string& text)
{
    static const std::string unshifted = "abcdefghijklmnopqrstuvwxyz0123456789 .,-/;=";
    for (const char c : text) {
        if (unshifted.find(c) == std::string::npos)
            throw Failure(std::string("typeText cannot type '") + c + "' without a shift key");
        pressKey(display, window, (unsigned char)c);
    }
}

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
        throw Failure("the window \"" + windowTitle(display, window)
                      + "\" does not list WM_DELETE_WINDOW in WM_PROTOCOLS");
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    if (!XSendEvent(display, window, False, NoEventMask, &event))
        throw Failure("cannot send WM_DELETE_WINDOW to the window \"" + windowTitle(display, window) + "\"");
    XFlush(display);
}

} // namespace zavio::e2e
