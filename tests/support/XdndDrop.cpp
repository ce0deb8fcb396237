// Drops a file onto a window the way a file manager does, through the X drag-and-drop protocol
// (XDND): enter, position, drop, then hands the file's URI over the XdndSelection when the
// window asks for it. Used by the window tests, where no file manager exists.
//
// usage: xdnd_drop WINDOW_ID PATH     exit code 0 when the window took and finished the drop
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

struct Atoms {
    explicit Atoms(Display* d)
        : aware(XInternAtom(d, "XdndAware", False)), enter(XInternAtom(d, "XdndEnter", False)),
          position(XInternAtom(d, "XdndPosition", False)), status(XInternAtom(d, "XdndStatus", False)),
          drop(XInternAtom(d, "XdndDrop", False)), finished(XInternAtom(d, "XdndFinished", False)),
          selection(XInternAtom(d, "XdndSelection", False)), copy(XInternAtom(d, "XdndActionCopy", False)),
          uriList(XInternAtom(d, "text/uri-list", False)) {}
    Atom aware, enter, position, status, drop, finished, selection, copy, uriList;
};

void Send(Display* d, Window target, Atom type, long l0, long l1, long l2, long l3, long l4) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.display = d;
    e.xclient.window = target;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    long data[5] = {l0, l1, l2, l3, l4};
    for (int i = 0; i < 5; ++i) e.xclient.data.l[i] = data[i];
    XSendEvent(d, target, False, NoEventMask, &e);
    XFlush(d);
}

// The XDND version the window speaks; 0 when it takes no drops.
long AwareVersion(Display* d, Window target, const Atoms& a) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, target, a.aware, 0, 1, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) != Success ||
        !data)
        return 0;
    const long version = count ? static_cast<long>(*reinterpret_cast<unsigned long*>(data)) : 0;
    XFree(data);
    return version;
}

// Answers the window's request for the dropped data with the URI list.
void Answer(Display* d, const XSelectionRequestEvent& request, const std::string& uris, const Atoms& a) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;
    if (request.target == a.uriList) {
        XChangeProperty(d, request.requestor, request.property, a.uriList, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(uris.data()), static_cast<int>(uris.size()));
        reply.xselection.property = request.property;
    }
    XSendEvent(d, request.requestor, False, NoEventMask, &reply);
    XFlush(d);
}

// Waits for the next event of interest; false after the time is up.
bool NextEvent(Display* d, XEvent* e, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (XPending(d)) {
            XNextEvent(d, e);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: xdnd_drop WINDOW_ID PATH\n");
        return 2;
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "xdnd_drop: no display\n");
        return 1;
    }
    const Window target = std::strtoul(argv[1], nullptr, 0);
    const std::string uris = std::string("file://") + argv[2] + "\r\n";
    const Atoms a(d);
    const long version = std::min(AwareVersion(d, target, a), 5L);
    if (version < 3) {
        std::fprintf(stderr, "xdnd_drop: the window takes no drops\n");
        return 1;
    }
    const Window source = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(d, a.selection, source, CurrentTime);
    XWindowAttributes attributes{};
    XGetWindowAttributes(d, target, &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(d, target, DefaultRootWindow(d), attributes.width / 2, attributes.height / 2, &x,
                          &y, &child);

    Send(d, target, a.enter, static_cast<long>(source), version << 24, static_cast<long>(a.uriList), 0, 0);
    Send(d, target, a.position, static_cast<long>(source), 0, (static_cast<long>(x) << 16) | y, CurrentTime,
         static_cast<long>(a.copy));
    bool dropped = false;
    for (XEvent e; NextEvent(d, &e, 10.0);) {
        if (e.type == SelectionRequest) {
            Answer(d, e.xselectionrequest, uris, a);
        } else if (e.type == ClientMessage && e.xclient.message_type == a.status && !dropped) {
            if (!(e.xclient.data.l[1] & 1)) {
                std::fprintf(stderr, "xdnd_drop: the window refused the drop\n");
                break;
            }
            Send(d, target, a.drop, static_cast<long>(source), 0, CurrentTime, 0, 0);
            dropped = true;
        } else if (e.type == ClientMessage && e.xclient.message_type == a.finished) {
            XCloseDisplay(d);
            return 0;
        }
    }
    std::fprintf(stderr, "xdnd_drop: the drop was not finished\n");
    XCloseDisplay(d);
    return 1;
}
