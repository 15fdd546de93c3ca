// orbsaver-xtool: small X11 chores for tests and for 'make run' on a machine
// without a screen. Commands:
//   find CLASS              print "id x y width height" of each window of that class
//   wait CLASS SECONDS      wait until a window of that class exists (exit 1 if not)
//   close CLASS             ask each window of that class to close (WM_DELETE_WINDOW)
//   hold CLASS              make a window of that class and keep it until killed
//   parent                  make a 400x300 window, print its id, keep it until killed
//   shot FILE.png [ID]      save the screen (or one window) as a PNG
//   lit ID [X Y W H]        print how many pixels of the window (or of a rectangle of
//                           it) are not near black
//   pixel X Y               print the red, green and blue of a point of the screen
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

void Collect(Display* d, Window w, const std::string& cls, std::vector<Window>& out, int depth) {
    XClassHint hint{};
    if (XGetClassHint(d, w, &hint)) {
        if ((hint.res_class && cls == hint.res_class) || (hint.res_name && cls == hint.res_name)) {
            out.push_back(w);
        }
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
    }
    if (depth > 64) return;
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return;
    for (unsigned i = 0; i < n; ++i) Collect(d, children[i], cls, out, depth + 1);
    if (children) XFree(children);
}

std::vector<Window> Find(Display* d, const std::string& cls) {
    std::vector<Window> out;
    Collect(d, DefaultRootWindow(d), cls, out, 0);
    return out;
}

void PutU32(std::vector<unsigned char>& v, unsigned x) {
    for (int s = 24; s >= 0; s -= 8) v.push_back(static_cast<unsigned char>(x >> s));
}

void Chunk(FILE* f, const char* type, const std::vector<unsigned char>& data) {
    std::vector<unsigned char> buf;
    PutU32(buf, static_cast<unsigned>(data.size()));
    buf.insert(buf.end(), type, type + 4);
    buf.insert(buf.end(), data.begin(), data.end());
    unsigned crc = static_cast<unsigned>(crc32(0, buf.data() + 4, static_cast<uInt>(buf.size() - 4)));
    PutU32(buf, crc);
    fwrite(buf.data(), 1, buf.size(), f);
}

int Shot(Display* d, const char* file, Window w) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d, w, &a)) return 1;
    XImage* img = XGetImage(d, w, 0, 0, static_cast<unsigned>(a.width),
                            static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
    if (!img) return 1;
    std::vector<unsigned char> raw;
    raw.reserve(static_cast<size_t>(a.height) * (static_cast<size_t>(a.width) * 3 + 1));
    for (int y = 0; y < a.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < a.width; ++x) {
            const unsigned long p = XGetPixel(img, x, y);
            raw.push_back(static_cast<unsigned char>((p & img->red_mask) >> 16));
            raw.push_back(static_cast<unsigned char>((p & img->green_mask) >> 8));
            raw.push_back(static_cast<unsigned char>(p & img->blue_mask));
        }
    }
    XDestroyImage(img);
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> z(size);
    if (compress(z.data(), &size, raw.data(), static_cast<uLong>(raw.size())) != Z_OK) return 1;
    z.resize(size);
    FILE* f = std::fopen(file, "wb");
    if (!f) return 1;
    static const unsigned char sig[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    fwrite(sig, 1, 8, f);
    std::vector<unsigned char> ihdr;
    PutU32(ihdr, static_cast<unsigned>(a.width));
    PutU32(ihdr, static_cast<unsigned>(a.height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    Chunk(f, "IHDR", ihdr);
    Chunk(f, "IDAT", z);
    Chunk(f, "IEND", {});
    return std::fclose(f) == 0 ? 0 : 1;
}

Window MakeWindow(Display* d, const char* cls, int w, int h) {
    Window win = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, static_cast<unsigned>(w),
                                     static_cast<unsigned>(h), 0, 0, 0x303030);
    if (cls) {
        XClassHint hint{const_cast<char*>(cls), const_cast<char*>(cls)};
        XSetClassHint(d, win, &hint);
    }
    XMapWindow(d, win);
    XSync(d, False);
    return win;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: orbsaver-xtool find|wait|close|hold|parent|shot ...\n");
        return 2;
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "orbsaver-xtool: no display\n");
        return 2;
    }
    XSetErrorHandler(IgnoreErrors);
    const std::string cmd = argv[1];
    if (cmd == "find" && argc > 2) {
        for (Window w : Find(d, argv[2])) {
            XWindowAttributes a{};
            if (!XGetWindowAttributes(d, w, &a)) continue;
            std::printf("%lu %d %d %d %d\n", w, a.x, a.y, a.width, a.height);
        }
        return 0;
    }
    if (cmd == "wait" && argc > 3) {
        const auto end = std::chrono::steady_clock::now() +
                         std::chrono::milliseconds(static_cast<long>(std::atof(argv[3]) * 1000));
        while (std::chrono::steady_clock::now() < end) {
            if (!Find(d, argv[2]).empty()) return 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return 1;
    }
    if (cmd == "close" && argc > 2) {
        const Atom protocols = XInternAtom(d, "WM_PROTOCOLS", False);
        const Atom del = XInternAtom(d, "WM_DELETE_WINDOW", False);
        const auto windows = Find(d, argv[2]);
        for (Window w : windows) {
            XEvent ev{};
            ev.xclient.type = ClientMessage;
            ev.xclient.window = w;
            ev.xclient.message_type = protocols;
            ev.xclient.format = 32;
            ev.xclient.data.l[0] = static_cast<long>(del);
            ev.xclient.data.l[1] = CurrentTime;
            XSendEvent(d, w, False, NoEventMask, &ev);
        }
        XSync(d, False);
        return windows.empty() ? 1 : 0;
    }
    if (cmd == "hold" && argc > 2) {
        MakeWindow(d, argv[2], 64, 64);
        std::printf("ready\n");
        std::fflush(stdout);
        for (;;) pause();
    }
    if (cmd == "parent") {
        Window w = MakeWindow(d, "orbsaver-test-parent", 400, 300);
        std::printf("%lu\n", w);
        std::fflush(stdout);
        for (;;) pause();
    }
    if (cmd == "pixel" && argc > 3) {
        XImage* img = XGetImage(d, DefaultRootWindow(d), std::atoi(argv[2]), std::atoi(argv[3]), 1,
                                1, AllPlanes, ZPixmap);
        if (!img) return 1;
        const unsigned long p = XGetPixel(img, 0, 0);
        std::printf("%lu %lu %lu\n", (p & img->red_mask) >> 16, (p & img->green_mask) >> 8,
                    p & img->blue_mask);
        XDestroyImage(img);
        return 0;
    }
    if (cmd == "lit" && argc > 2) {
        const Window w = std::strtoul(argv[2], nullptr, 0);
        XWindowAttributes a{};
        if (!XGetWindowAttributes(d, w, &a)) return 1;
        int rx = 0, ry = 0, rw = a.width, rh = a.height;
        if (argc > 6) {
            rx = std::atoi(argv[3]);
            ry = std::atoi(argv[4]);
            rw = std::atoi(argv[5]);
            rh = std::atoi(argv[6]);
        }
        XImage* img = XGetImage(d, w, rx, ry, static_cast<unsigned>(rw), static_cast<unsigned>(rh),
                                AllPlanes, ZPixmap);
        if (!img) return 1;
        long lit = 0;
        for (int y = 0; y < rh; ++y) {
            for (int x = 0; x < rw; ++x) {
                const unsigned long p = XGetPixel(img, x, y);
                const unsigned r = (p & img->red_mask) >> 16, g = (p & img->green_mask) >> 8,
                               b = p & img->blue_mask;
                if (r + g + b > 48) ++lit;
            }
        }
        XDestroyImage(img);
        std::printf("%ld\n", lit);
        return 0;
    }
    if (cmd == "shot" && argc > 2) {
        const Window w = argc > 3 ? std::strtoul(argv[3], nullptr, 0) : DefaultRootWindow(d);
        return Shot(d, argv[2], w);
    }
    std::fprintf(stderr, "orbsaver-xtool: unknown command\n");
    return 2;
}
