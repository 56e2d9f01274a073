#include "platform/wayland/WaylandClipboard.h"

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

namespace {

// Text types in the order asked for: UTF-8 first, as every toolkit offers it.
constexpr const char* kTextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain",
                                      "TEXT", "STRING"};

// How long the owner of the clipboard may take to hand its text over. One that did not is not
// asked again until the clipboard changes: the URL monitor asks twice a second.
constexpr int kAnswerMs = 1000;

struct OfferInfo {
    void* proxy = nullptr;
    std::vector<std::string> types;
    bool silent = false;
};

// What differs between the two protocols is only their names; the messages are the same.
#define QPM_DATA_CONTROL(Traits, prefix, name)                                                     \
    struct Traits {                                                                                \
        using Manager = prefix##_manager_v1;                                                       \
        using Device = prefix##_device_v1;                                                         \
        using Offer = prefix##_offer_v1;                                                           \
        using DeviceListener = prefix##_device_v1_listener;                                        \
        using OfferListener = prefix##_offer_v1_listener;                                          \
        static constexpr const char* kName = name;                                                 \
        static const wl_interface* ManagerInterface() { return &prefix##_manager_v1_interface; }   \
        static Device* GetDevice(Manager* m, wl_seat* seat) {                                      \
            return prefix##_manager_v1_get_data_device(m, seat);                                   \
        }                                                                                          \
        static void Listen(Device* d, const DeviceListener* l, void* data) {                       \
            prefix##_device_v1_add_listener(d, l, data);                                           \
        }                                                                                          \
        static void Listen(Offer* o, const OfferListener* l, void* data) {                         \
            prefix##_offer_v1_add_listener(o, l, data);                                            \
        }                                                                                          \
        static void Receive(Offer* o, const char* type, int fd) {                                  \
            prefix##_offer_v1_receive(o, type, fd);                                                \
        }                                                                                          \
        static void Destroy(Offer* o) { prefix##_offer_v1_destroy(o); }                            \
        static void Destroy(Device* d) { prefix##_device_v1_destroy(d); }                          \
        static void Destroy(Manager* m) { prefix##_manager_v1_destroy(m); }                        \
    };

QPM_DATA_CONTROL(ExtProtocol, ext_data_control, "ext-data-control-v1")
QPM_DATA_CONTROL(WlrProtocol, zwlr_data_control, "wlr-data-control-unstable-v1")
#undef QPM_DATA_CONTROL

} // namespace

// The selection of the first seat as the compositor reports it.
class CWaylandClipboard::CSession {
public:
    virtual ~CSession() = default;
    virtual const char* Protocol() const = 0;

    // Takes in what the compositor has sent, without waiting.
    void Pump() {
        if (m_pDisplay == nullptr || wl_display_get_error(m_pDisplay) != 0) {
            return;
        }
        while (wl_display_prepare_read(m_pDisplay) != 0) {
            wl_display_dispatch_pending(m_pDisplay);
        }
        wl_display_flush(m_pDisplay);
        pollfd p{wl_display_get_fd(m_pDisplay), POLLIN, 0};
        if (poll(&p, 1, 0) > 0) {
            wl_display_read_events(m_pDisplay);
        } else {
            wl_display_cancel_read(m_pDisplay);
        }
        wl_display_dispatch_pending(m_pDisplay);
    }

    std::int64_t Changes() const { return m_nChanges; }
    wl_display* Display() const { return m_pDisplay; }

    std::string Text() {
        OfferInfo* offer = Find(m_pSelection);
        if (offer == nullptr || offer->silent) {
            return {};
        }
        const char* type = nullptr;
        for (const char* candidate : kTextTypes) {
            if (std::find(offer->types.begin(), offer->types.end(), candidate) !=
                offer->types.end()) {
                type = candidate;
                break;
            }
        }
        if (type == nullptr) {
            return {};
        }
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            return {};
        }
        Receive(offer->proxy, type, fds[1]);
        close(fds[1]);
        wl_display_flush(m_pDisplay);
        std::string text;
        offer->silent = !ReadAll(fds[0], text);
        close(fds[0]);
        return offer->silent ? std::string() : text;
    }

protected:
    // The seat's first selection arrives before this returns, so that the text on the clipboard
    // at start is known at once.
    bool Open(wl_display* display, const wl_interface* managerInterface) {
        m_pDisplay = display;
        m_pManagerInterface = managerInterface;
        wl_registry* registry = wl_display_get_registry(display);
        static const wl_registry_listener kRegistry = {&CSession::OnGlobal,
                                                       [](void*, wl_registry*, uint32_t) {}};
        wl_registry_add_listener(registry, &kRegistry, this);
        const bool found = wl_display_roundtrip(display) >= 0 && m_pSeat != nullptr &&
                           m_pManager != nullptr && ListenToSeat();
        wl_registry_destroy(registry);
        return found && wl_display_roundtrip(display) >= 0;
    }

    virtual bool ListenToSeat() = 0;
    virtual void Receive(void* offer, const char* type, int fd) = 0;
    virtual void DestroyOffer(void* offer) = 0;

    void OnDataOffer(void* proxy) { m_offers.push_back({proxy, {}, false}); }
    void OnOfferType(void* proxy, const char* type) {
        if (OfferInfo* offer = Find(proxy)) {
            offer->types.emplace_back(type);
        }
    }
    void OnSelection(void* proxy) {
        if (m_pSelection != nullptr && m_pSelection != proxy) {
            Forget(m_pSelection);
        }
        m_pSelection = proxy;
        ++m_nChanges;
    }
    // The other selection, the one of the middle button, is not followed.
    void OnPrimarySelection(void* proxy) {
        if (proxy != nullptr && proxy != m_pSelection) {
            Forget(proxy);
        }
    }
    // The compositor stopped reporting (its seat went): there is no clipboard to see.
    void OnFinished() {
        if (m_pSelection != nullptr) {
            Forget(m_pSelection);
            m_pSelection = nullptr;
        }
        ++m_nChanges;
    }

    void Close() {
        for (const OfferInfo& offer : m_offers) {
            DestroyOffer(offer.proxy);
        }
        m_offers.clear();
        if (m_pSeat != nullptr) {
            wl_seat_destroy(m_pSeat);
        }
    }

    wl_display* m_pDisplay = nullptr;
    wl_seat* m_pSeat = nullptr;
    void* m_pManager = nullptr;

private:
    static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t) {
        auto* self = static_cast<CSession*>(data);
        if (self->m_pSeat == nullptr && std::strcmp(interface, wl_seat_interface.name) == 0) {
            self->m_pSeat =
                static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        } else if (self->m_pManager == nullptr &&
                   std::strcmp(interface, self->m_pManagerInterface->name) == 0) {
            self->m_pManager = wl_registry_bind(registry, name, self->m_pManagerInterface, 1);
        }
    }

    OfferInfo* Find(void* proxy) {
        auto it = std::find_if(m_offers.begin(), m_offers.end(),
                               [proxy](const OfferInfo& o) { return o.proxy == proxy; });
        return proxy != nullptr && it != m_offers.end() ? &*it : nullptr;
    }
    void Forget(void* proxy) {
        DestroyOffer(proxy);
        std::erase_if(m_offers, [proxy](const OfferInfo& o) { return o.proxy == proxy; });
    }

    // Reads to the end within the owner's time; false when it did not finish.
    static bool ReadAll(int fd, std::string& text) {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(kAnswerMs);
        char buffer[65536];
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) == 0) {
                return false;
            }
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n == 0) {
                return true;
            }
            if (n < 0 && errno != EINTR && errno != EAGAIN) {
                return false;
            }
            text.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
        }
    }

    const wl_interface* m_pManagerInterface = nullptr;
    std::vector<OfferInfo> m_offers;
    void* m_pSelection = nullptr;
    std::int64_t m_nChanges = 0;
};

namespace {

template <class P> class CDataControlSession final : public CWaylandClipboard::CSession {
public:
    ~CDataControlSession() override {
        Close();
        if (m_pDevice != nullptr) {
            P::Destroy(m_pDevice);
        }
        if (m_pManager != nullptr) {
            P::Destroy(static_cast<typename P::Manager*>(m_pManager));
        }
    }
    bool Start(wl_display* display) { return Open(display, P::ManagerInterface()); }
    const char* Protocol() const override { return P::kName; }

private:
    using Self = CDataControlSession<P>;
    static Self* Of(void* data) { return static_cast<Self*>(data); }

    bool ListenToSeat() override {
        m_pDevice = P::GetDevice(static_cast<typename P::Manager*>(m_pManager), m_pSeat);
        static const typename P::DeviceListener kDevice = {
            [](void* data, typename P::Device*, typename P::Offer* offer) {
                Of(data)->OnDataOffer(offer);
                static const typename P::OfferListener kOffer = {
                    [](void* self, typename P::Offer* o, const char* type) {
                        Of(self)->OnOfferType(o, type);
                    }};
                P::Listen(offer, &kOffer, data);
            },
            [](void* data, typename P::Device*, typename P::Offer* offer) {
                Of(data)->OnSelection(offer);
            },
            [](void* data, typename P::Device*) { Of(data)->OnFinished(); },
            [](void* data, typename P::Device*, typename P::Offer* offer) {
                Of(data)->OnPrimarySelection(offer);
            }};
        P::Listen(m_pDevice, &kDevice, this);
        return m_pDevice != nullptr;
    }
    void Receive(void* offer, const char* type, int fd) override {
        P::Receive(static_cast<typename P::Offer*>(offer), type, fd);
    }
    void DestroyOffer(void* offer) override { P::Destroy(static_cast<typename P::Offer*>(offer)); }

    typename P::Device* m_pDevice = nullptr;
};

// The standard protocol where the compositor has it, else the one of wlroots and KDE Plasma.
template <class P> std::unique_ptr<CWaylandClipboard::CSession> TryProtocol(wl_display* display) {
    auto session = std::make_unique<CDataControlSession<P>>();
    if (!session->Start(display)) {
        return nullptr;
    }
    return session;
}

} // namespace

std::unique_ptr<CWaylandClipboard> CWaylandClipboard::Connect(IClipboard& keyboard) {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        return nullptr;
    }
    std::unique_ptr<CSession> session = TryProtocol<ExtProtocol>(display);
    if (session == nullptr) {
        session = TryProtocol<WlrProtocol>(display);
    }
    if (session == nullptr) {
        wl_display_disconnect(display);
        return nullptr;
    }
    return std::unique_ptr<CWaylandClipboard>(new CWaylandClipboard(std::move(session), keyboard));
}

CWaylandClipboard::CWaylandClipboard(std::unique_ptr<CSession> session, IClipboard& keyboard)
    : m_pSession(std::move(session)), m_keyboard(keyboard) {}

CWaylandClipboard::~CWaylandClipboard() {
    wl_display* display = m_pSession->Display();
    m_pSession.reset();
    wl_display_disconnect(display);
}

std::string CWaylandClipboard::GetText() {
    m_pSession->Pump();
    return m_pSession->Text();
}

bool CWaylandClipboard::IsControlKeyDown() {
    return m_keyboard.IsControlKeyDown();
}

std::int64_t CWaylandClipboard::GetChangeCount() {
    m_pSession->Pump();
    return m_pSession->Changes();
}

const char* CWaylandClipboard::Protocol() const {
    return m_pSession->Protocol();
}
