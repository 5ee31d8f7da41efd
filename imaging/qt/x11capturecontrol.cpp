#include "qt/x11capturecontrol.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <memory>

#include "core/error.h"
#include "qt/dialogtexts.h"
#include "qt/qimagebridge.h"

namespace imaging {

namespace {

constexpr std::uint32_t kKeysymF11 = 0xFFC8;
constexpr std::uint32_t kKeysymEscape = 0xFF1B;

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <class T>
Reply<T> reply(T* r) {
    return Reply<T>(r, &std::free);
}

xcb_connection_t* connection() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    auto r = reply(xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, static_cast<std::uint16_t>(strlen(name)), name), nullptr));
    return r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The first 32-bit value of a window property, 0 when it is not set.
std::uint32_t property32(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type) {
    const xcb_atom_t a = atom(c, name);
    if (a == XCB_ATOM_NONE) return 0;
    auto r = reply(xcb_get_property_reply(c, xcb_get_property(c, 0, window, a, type, 0, 1), nullptr));
    if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 4) return 0;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(r.get()));
}

int keycodeOf(xcb_connection_t* c, std::uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto r = reply(xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, static_cast<xcb_keycode_t>(first), static_cast<std::uint8_t>(count)), nullptr));
    if (!r) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r.get());
    const int perCode = r->keysyms_per_keycode;
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < perCode; ++j)
            if (syms[i * perCode + j] == keysym) return first + i;
    return 0;
}

QScreen* screenAt(const QRect& rect) {
    QScreen* screen = QGuiApplication::screenAt(rect.center());
    return screen ? screen : QGuiApplication::primaryScreen();
}

}  // namespace

X11CaptureControl::X11CaptureControl(QObject* parent) : QObject(parent) {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installNativeEventFilter(this);
}

X11CaptureControl::~X11CaptureControl() {
    StopCapture();
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

bool X11CaptureControl::Available() { return connection() != nullptr; }

int X11CaptureControl::unsupported(const QString& reason) {
    lastError_ = reason;
    return static_cast<int>(ErrorCode::Unsupported);
}

int X11CaptureControl::StopCapture() {
    if (waiting_) waiting_->exit(kCaptureEnded);
    return 0;
}

namespace {

// A passive grab holds one combination of modifiers. Caps Lock and Num Lock (Mod2) may be on
// while the user presses the key, so each key is held with every combination of the two; other
// modifiers are left to the programs that use them (a window manager's Alt+F11, Ctrl+Escape),
// whose grabs would otherwise make the whole grab fail.
constexpr std::uint16_t kLockCombinations[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                               XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

}  // namespace

void X11CaptureControl::releaseKeys() {
    xcb_connection_t* c = connection();
    if (!c) return;
    const xcb_window_t root = rootOf(c);
    for (int code : {hotKeyCode_, escapeCode_}) {
        if (code == 0) continue;
        for (std::uint16_t modifiers : kLockCombinations)
            xcb_ungrab_key(c, static_cast<xcb_keycode_t>(code), root, modifiers);
    }
    // A round trip, not only a flush: once this returns the server has released the keys, so
    // another program that grabs them next is not refused.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

bool X11CaptureControl::grabKeys() {
    xcb_connection_t* c = connection();
    if (!c) return false;
    const xcb_window_t root = rootOf(c);
    hotKeyCode_ = keycodeOf(c, kKeysymF11);
    escapeCode_ = keycodeOf(c, kKeysymEscape);
    const auto take = [&](int code) {
        if (code == 0) return false;
        bool all = true;
        for (std::uint16_t modifiers : kLockCombinations) {
            const xcb_void_cookie_t cookie = xcb_grab_key_checked(c, 1, root, modifiers, static_cast<xcb_keycode_t>(code),
                                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            // Another client's grab of the same key and modifiers is refused (BadAccess).
            if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
                std::free(error);
                all = false;
            }
        }
        return all;
    };
    const bool hotKey = take(hotKeyCode_);
    const bool escape = hotKey && take(escapeCode_);
    if (!hotKey || !escape) {
        releaseKeys();
        // Waiting without both keys would leave the user no way to capture or to stop.
        lastError_ = !hotKey ? DialogText(6883, "The hot key F11 is in use by another program, so capturing cannot wait "
                                                "for it. Close that program and capture again.")
                             : DialogText(6884, "The Escape key is in use by another program, so capturing could not be "
                                                "ended. Close that program and capture again.");
        hotKeyCode_ = escapeCode_ = 0;
        return false;
    }
    // A grabbed key reaches this program only while some window has the keyboard focus: with
    // none (the program's own windows hidden, no window manager to pass the focus on), the
    // focus goes to whichever window is under the pointer.
    auto focus = reply(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (focus && focus->focus == XCB_NONE)
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_CURRENT_TIME);
    xcb_flush(c);
    return true;
}

bool X11CaptureControl::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!waiting_ || eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS) return false;
    const auto* key = static_cast<const xcb_key_press_event_t*>(message);
    if (key->detail == hotKeyCode_ && hotKeyCode_ != 0) {
        waiting_->exit(0);
        return true;
    }
    if (key->detail == escapeCode_ && escapeCode_ != 0) {
        waiting_->exit(kCaptureEnded);
        return true;
    }
    return false;
}

int X11CaptureControl::waitForHotKey() {
    if (!grabKeys()) return static_cast<int>(ErrorCode::Unsupported);
    QEventLoop loop;
    waiting_ = &loop;
    capturing_ = true;
    const int result = loop.exec();
    releaseKeys();
    waiting_ = nullptr;
    capturing_ = false;
    return result;
}

int X11CaptureControl::capture(const std::function<Bitmap()>& grab) {
    if (!connection()) return unsupported(DialogText(6250, "Capturing the screen needs an X server (X11)."));
    if (hotKey_ != 0) {
        const int result = waitForHotKey();
        if (result != 0) return result;
    }
    if (DelaySeconds > 0) {
        QEventLoop pause;
        QTimer::singleShot(DelaySeconds * 1000, &pause, &QEventLoop::quit);
        pause.exec();
    }
    hotSpot_.reset();
    try {
        Bitmap picture = grab();
        if (picture.empty()) return unsupported(DialogText(6251, "There was nothing to capture there."));
        if (handler_) handler_(std::move(picture));
        return 0;
    } catch (const Error& e) {
        // A drawing the user broke off ends capturing, as Escape at the hot key does.
        if (e.code() == ErrorCode::Cancelled) return kCaptureEnded;
        lastError_ = QString::fromStdString(e.what());
        return e.number();
    }
}

namespace {

// The root window's pixels straight from the server, when it sends them in the common layout
// (32 bits a pixel, blue first): a third of the time of going through a QPixmap and a QImage.
// Empty when the layout is another one; the caller then takes Qt's way.
Bitmap rootPixels(xcb_connection_t* c, const QRect& rect) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || screen->root_depth != 24) return {};
    const QRect root(0, 0, screen->width_in_pixels, screen->height_in_pixels);
    if (!root.contains(rect)) return {};
    auto image = reply(xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, static_cast<std::int16_t>(rect.x()),
                      static_cast<std::int16_t>(rect.y()), static_cast<std::uint16_t>(rect.width()),
                      static_cast<std::uint16_t>(rect.height()), ~0u),
        nullptr));
    const std::size_t stride = std::size_t(rect.width()) * 4;
    if (!image || image->depth != 24 || std::size_t(xcb_get_image_data_length(image.get())) < stride * rect.height())
        return {};
    const std::uint8_t* data = xcb_get_image_data(image.get());
    Bitmap picture(rect.width(), rect.height(), 24);
    for (int y = 0; y < rect.height(); ++y) {
        const std::uint8_t* in = data + stride * y;
        std::uint8_t* out = picture.row(y);
        for (int x = 0; x < rect.width(); ++x, in += 4, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    return picture;
}

}  // namespace

Bitmap X11CaptureControl::GrabScreenRect(const QRect& rect) {
    if (rect.isEmpty()) return {};
    if (xcb_connection_t* c = connection()) {
        Bitmap picture = rootPixels(c, rect);
        if (!picture.empty()) {
            if (IncludePointer) drawPointerInto(picture, rect);
            return picture;
        }
    }
    QScreen* screen = screenAt(rect);
    if (!screen) return {};
    const QRect local = rect.translated(-screen->geometry().topLeft());
    Bitmap picture = fromQImage(screen->grabWindow(0, local.x(), local.y(), local.width(), local.height()).toImage());
    if (IncludePointer) drawPointerInto(picture, rect);
    return picture;
}

Bitmap X11CaptureControl::GrabFullScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? GrabScreenRect(screen->geometry()) : Bitmap();
}

void X11CaptureControl::drawPointerInto(Bitmap& picture, const QRect& rect) {
    xcb_connection_t* c = connection();
    if (!c || picture.empty()) return;
    const Bitmap cursor = grabCursor();
    if (cursor.empty()) return;
    auto where = reply(xcb_xfixes_get_cursor_image_reply(c, xcb_xfixes_get_cursor_image(c), nullptr));
    if (!where) return;
    QImage canvas = toQImage(picture).convertToFormat(QImage::Format_RGB888);
    QPainter painter(&canvas);
    painter.drawImage(QPoint(where->x - where->xhot - rect.x(), where->y - where->yhot - rect.y()), toQImage(cursor));
    painter.end();
    picture = fromQImage(canvas);
}

Bitmap X11CaptureControl::grabCursor(QPoint* hotSpot) {
    xcb_connection_t* c = connection();
    if (!c) return {};
    // XFixes answers only a client that said which version it speaks.
    reply(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 4, 0), nullptr));
    auto image = reply(xcb_xfixes_get_cursor_image_reply(c, xcb_xfixes_get_cursor_image(c), nullptr));
    if (!image || image->width == 0 || image->height == 0) return {};
    const std::uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(image.get());
    if (xcb_xfixes_get_cursor_image_cursor_image_length(image.get()) < image->width * image->height) return {};
    // The server's word for where the cursor points, kept inside the picture.
    if (hotSpot)
        *hotSpot = QPoint(std::min<int>(image->xhot, image->width - 1), std::min<int>(image->yhot, image->height - 1));
    Bitmap cursor(image->width, image->height, 32);
    for (int y = 0; y < image->height; ++y) {
        std::uint8_t* row = cursor.row(y);
        for (int x = 0; x < image->width; ++x) {
            // Premultiplied ARGB: the colours are divided by alpha again.
            const std::uint32_t p = pixels[y * image->width + x];
            const unsigned a = p >> 24;
            const auto channel = [a](unsigned v) { return a ? static_cast<std::uint8_t>(std::min(255u, v * 255 / a)) : 0; };
            row[4 * x] = channel((p >> 16) & 0xFF);
            row[4 * x + 1] = channel((p >> 8) & 0xFF);
            row[4 * x + 2] = channel(p & 0xFF);
            row[4 * x + 3] = static_cast<std::uint8_t>(a);
        }
    }
    return cursor;
}

Bitmap X11CaptureControl::grabWallpaper() {
    xcb_connection_t* c = connection();
    const xcb_window_t root = rootOf(c);
    // Desktops that draw their own wallpaper publish it as this pixmap of the root window.
    const std::uint32_t pixmap = property32(c, root, "_XROOTPMAP_ID", XCB_ATOM_PIXMAP);
    if (pixmap != 0) {
        auto geometry = reply(xcb_get_geometry_reply(c, xcb_get_geometry(c, pixmap), nullptr));
        if (geometry && geometry->width > 0 && geometry->height > 0 && geometry->depth >= 24) {
            auto image = reply(xcb_get_image_reply(
                c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, 0, 0, geometry->width, geometry->height, ~0u),
                nullptr));
            const std::size_t bytes = std::size_t(geometry->width) * geometry->height * 4;
            if (image && std::size_t(xcb_get_image_data_length(image.get())) >= bytes) {
                const QImage view(xcb_get_image_data(image.get()), geometry->width, geometry->height,
                                  geometry->width * 4, QImage::Format_RGB32);
                return fromQImage(view);
            }
        }
    }
    // Without a published wallpaper the root window shows only the windows over it: capturing
    // it would be a full-screen capture under another name.
    throw Error(ErrorCode::Unsupported,
                DialogText(6885, "No wallpaper is set on this desktop, so there is none to capture.").toStdString());
}

QRect X11CaptureControl::windowRect(std::uint32_t window, bool frame) {
    xcb_connection_t* c = connection();
    const xcb_window_t root = rootOf(c);
    if (window == 0 || window == root) return {};
    if (frame) {
        // The frame is the window manager's parent of the window: the ancestor just below the root.
        for (int depth = 0; depth < 64; ++depth) {
            auto tree = reply(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
            if (!tree || tree->parent == root || tree->parent == XCB_WINDOW_NONE) break;
            window = tree->parent;
        }
    }
    auto geometry = reply(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    auto at = reply(xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, root, 0, 0), nullptr));
    if (!geometry || !at) return {};
    return QRect(at->dst_x, at->dst_y, geometry->width, geometry->height);
}

std::uint32_t X11CaptureControl::activeWindow() {
    xcb_connection_t* c = connection();
    const xcb_window_t root = rootOf(c);
    if (const std::uint32_t active = property32(c, root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW)) return active;
    // Without a window manager that names it, the window with the keyboard focus is the active one.
    auto focus = reply(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (!focus || focus->focus == root || focus->focus <= XCB_INPUT_FOCUS_POINTER_ROOT) return 0;
    return focus->focus;
}

std::uint32_t X11CaptureControl::windowUnderPointer(bool deepest) {
    xcb_connection_t* c = connection();
    xcb_window_t window = rootOf(c);
    std::uint32_t found = 0;
    for (int depth = 0; depth < 64; ++depth) {
        auto pointer = reply(xcb_query_pointer_reply(c, xcb_query_pointer(c, window), nullptr));
        if (!pointer || pointer->child == XCB_WINDOW_NONE) break;
        found = window = pointer->child;
        if (!deepest) break;
    }
    return found;
}

int X11CaptureControl::CaptureFullScreen() {
    return capture([this] { return GrabFullScreen(); });
}

int X11CaptureControl::CaptureWallpaper() {
    return capture([this] { return grabWallpaper(); });
}

int X11CaptureControl::CaptureActiveWindow() {
    return capture([this] { return GrabScreenRect(windowRect(activeWindow(), WindowWithFrame)); });
}

int X11CaptureControl::CaptureActiveClient() {
    return capture([this] { return GrabScreenRect(windowRect(activeWindow(), false)); });
}

int X11CaptureControl::CaptureSelectedObject() {
    // The innermost window under the pointer: a button, a list, a panel.
    return capture([this] { return GrabScreenRect(windowRect(windowUnderPointer(true), false)); });
}

int X11CaptureControl::CaptureMenuUnderCursor() {
    // An open menu is a window of its own directly on the root, above the others.
    return capture([this] { return GrabScreenRect(windowRect(windowUnderPointer(false), false)); });
}

int X11CaptureControl::CaptureWindowUnderCursor() {
    return capture([this] { return GrabScreenRect(windowRect(windowUnderPointer(false), WindowWithFrame)); });
}

int X11CaptureControl::CaptureMouseCursor() {
    return capture([this] {
        QPoint spot;
        Bitmap cursor = grabCursor(&spot);
        if (!cursor.empty()) hotSpot_ = spot;
        return cursor;
    });
}

}  // namespace imaging
