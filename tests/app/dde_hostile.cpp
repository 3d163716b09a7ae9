// The hostile client of qm487-dde-probe: random transactions against the
// service, valid and not, with storms of advise links and of connections.
#include "dde_client.h"

#include "exchange/dde_items.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// How long a transaction waits for its answer. The server answers within
// milliseconds; what Wine's client never sees answered (a transaction ended
// early by another one) then costs little, and late answers are one more
// thing the server's peers must cope with.
const DWORD kWait = 300;

struct Tally {
    long transactions = 0, connects = 0, data = 0, refused = 0, advises = 0, updates = 0, disconnects = 0;
};
Tally g_tally;
std::vector<HCONV>* g_pDead = nullptr;

HDDEDATA CALLBACK HostileCallback(UINT uType, UINT, HCONV hConv, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    if (uType == XTYP_ADVDATA) {
        ++g_tally.updates;
        return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
    }
    if (uType == XTYP_DISCONNECT && g_pDead != nullptr) {
        ++g_tally.disconnects;
        g_pDead->push_back(hConv);
    }
    return nullptr;
}

void PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

class Hostile {
public:
    Hostile(DWORD idInst, unsigned seed, long serial) : m_id(idInst), m_rng(seed) {
        for (const char* s : {"QM487", "qm487", "QM48", "QM4877", "Excel", "QM487 "})
            Add(m_services, s);
        m_services.push_back(nullptr);
        for (int c = 0; c < dde::kChannels; ++c) {
            Add(m_topics, dde::TopicName(c, serial));
            Add(m_realTopics, dde::TopicName(c, serial));
        }
        for (const std::string& s : {dde::TopicName(3, serial + 1), dde::TopicName(3, serial) + " ",
                                     "Temperatura9#" + std::to_string(serial), std::string("Temperatura#"),
                                     "#" + std::to_string(serial), std::string("System"),
                                     std::string("Temperatura\xB3#") + std::to_string(serial), std::string(250, 'T')})
            Add(m_topics, s);
        m_topics.push_back(nullptr);
        for (const char* s : {"Wynik", "Pomiar", "Status"})
            Add(m_realItems, s);
        for (const std::string& s : {std::string("Wynik"), std::string("Pomiar"), std::string("Status"),
                                     std::string("WYNIK"), std::string("status"), std::string("Pomiar "),
                                     std::string("Temperatura"), std::string("\xB3\xB9\xEA"), std::string(200, 'x')})
            Add(m_items, s);
        m_formats = {CF_TEXT, CF_TEXT, CF_TEXT, CF_UNICODETEXT, CF_OEMTEXT, CF_BITMAP, 0, 0xC123,
                     RegisterClipboardFormatA("Link")};
    }
    ~Hostile() {
        for (HCONV h : m_convs)
            DdeDisconnect(h);
    }

    void Run(long count) {
        LARGE_INTEGER f, t0, t1;
        QueryPerformanceFrequency(&f);
        while (g_tally.transactions < count) {
            QueryPerformanceCounter(&t0);
            const int kind = Step();
            PumpPending();
            Bury();
            QueryPerformanceCounter(&t1);
            m_kindCount[kind] += 1;
            m_kindMs[kind] += 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart);
        }
    }

    // Where the time went, by kind of step.
    void PrintTimes() const {
        static const char* const kKinds[kKindCount] = {"connect", "disconnect", "request", "advise", "unadvise",
                                                       "poke", "execute", "advise-storm", "connect-storm",
                                                       "async-request", "wildcard"};
        for (int k = 0; k < kKindCount; ++k)
            std::printf("  %-14s %6ld steps %9.0f ms\n", kKinds[k], m_kindCount[k], m_kindMs[k]);
    }

private:
    typedef std::vector<std::unique_ptr<CDdeString>> Names;

    void Add(std::vector<HSZ>& pool, const std::string& name) {
        m_names.push_back(std::make_unique<CDdeString>(m_id, name.c_str()));
        pool.push_back(m_names.back()->Get());
    }
    template <class T>
    const T& Pick(const std::vector<T>& v) { return v[m_rng() % v.size()]; }
    int Percent() { return static_cast<int>(m_rng() % 100); }
    HCONV AnyConv() { return m_convs.empty() ? nullptr : Pick(m_convs); }

    // Conversations the server ended are dropped (and given back).
    void Bury() {
        for (HCONV h : m_convs) {
            CONVINFO info = {};
            info.cb = sizeof info;
            if (DdeQueryConvInfo(h, QID_SYNC, &info) == 0 || !(info.wStatus & ST_CONNECTED))
                m_dead.push_back(h);
        }
        for (HCONV dead : m_dead) {
            for (std::size_t i = 0; i < m_convs.size(); ++i)
                if (m_convs[i] == dead) {
                    DdeDisconnect(dead);
                    m_convs.erase(m_convs.begin() + i);
                    break;
                }
            for (std::size_t i = 0; i < m_links.size();)
                m_links[i].first == dead ? (void)m_links.erase(m_links.begin() + i) : (void)++i;
        }
        m_dead.clear();
    }

    void Keep(HCONV h) {
        if (h == nullptr)
            return;
        ++g_tally.connects;
        if (m_convs.size() >= 20) {
            const std::size_t victim = m_rng() % m_convs.size();
            Drop(victim);
        }
        m_convs.push_back(h);
    }
    void Drop(std::size_t index) {
        const HCONV h = m_convs[index];
        DdeDisconnect(h);
        m_convs.erase(m_convs.begin() + index);
        for (std::size_t i = 0; i < m_links.size();)
            m_links[i].first == h ? (void)m_links.erase(m_links.begin() + i) : (void)++i;
    }

    HDDEDATA Transact(HCONV conv, HSZ item, UINT format, UINT type, DWORD timeout, const char* data = nullptr) {
        ++g_tally.transactions;
        const DWORD size = data ? static_cast<DWORD>(std::strlen(data) + 1) : 0;
        HDDEDATA h = DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(data)), size, conv, item, format,
                                          type, timeout, nullptr);
        if (h == nullptr)
            ++g_tally.refused;
        return h;
    }

    void AdviseStart(HCONV conv, int item, UINT format, UINT flags) {
        if (Transact(conv, m_items[item], format, XTYP_ADVSTART | flags, kWait) != nullptr) {
            ++g_tally.advises;
            if (item < 3 && format == CF_TEXT)
                m_links.emplace_back(conv, item);
        }
    }
    void AdviseStop(std::size_t link) {
        const auto [conv, item] = m_links[link];
        m_links.erase(m_links.begin() + link);
        // Every link of this item on this conversation goes at once.
        for (std::size_t i = 0; i < m_links.size();)
            (m_links[i].first == conv && m_links[i].second == item) ? (void)m_links.erase(m_links.begin() + i)
                                                                    : (void)++i;
        Transact(conv, m_items[item], CF_TEXT, XTYP_ADVSTOP, kWait);
    }

    int Step() {
        const int r = Percent();
        int kind = 0;
        static const UINT kFlags[] = {0, XTYPF_NODATA, XTYPF_ACKREQ, XTYPF_NODATA | XTYPF_ACKREQ};
        if (r < 12) {  // a connection, to anything
            kind = 0;
            ++g_tally.transactions;
            if (Percent() < 15) {
                std::string name;
                for (int n = 1 + static_cast<int>(m_rng() % 30); n > 0; --n)
                    name += static_cast<char>(0x20 + m_rng() % 0xE0);
                CDdeString topic(m_id, name.c_str());
                Keep(DdeConnect(m_id, Pick(m_services), topic.Get(), nullptr));
            } else {
                Keep(DdeConnect(m_id, Pick(m_services), Pick(m_topics), nullptr));
            }
        } else if (r < 17) {
            kind = 1;
            ++g_tally.transactions;
            if (!m_convs.empty())
                Drop(m_rng() % m_convs.size());
        } else if (r < 45) {  // requests, mostly of real items in text
            kind = 2;
            // What comes back is not looked at: Wine's client may end a
            // transaction early, when data of a link arrives, with a handle
            // that is no handle.
            if (HCONV conv = AnyConv())
                if (Transact(conv, Pick(m_items), Pick(m_formats), XTYP_REQUEST, kWait) != nullptr)
                    ++g_tally.data;
        } else if (r < 60) {
            kind = 3;
            if (HCONV conv = AnyConv())
                AdviseStart(conv, static_cast<int>(m_rng() % m_items.size()), Pick(m_formats), kFlags[m_rng() % 4]);
        } else if (r < 70) {
            kind = 4;
            if (!m_links.empty())
                AdviseStop(m_rng() % m_links.size());
            else if (HCONV conv = AnyConv())  // a stop of no link: some servers never answer it
                Transact(conv, Pick(m_items), Pick(m_formats), XTYP_ADVSTOP, 100);
        } else if (r < 74) {
            kind = 5;
            if (HCONV conv = AnyConv())
                Transact(conv, Pick(m_items), CF_TEXT, XTYP_POKE, kWait, "12.5");
        } else if (r < 78) {
            kind = 6;
            if (HCONV conv = AnyConv())
                Transact(conv, nullptr, 0, XTYP_EXECUTE, kWait, "[Close()]");
        } else if (r < 84) {  // an advise storm: every item, many times, then every link stopped
            kind = 7;
            if (HCONV conv = AnyConv()) {
                for (int k = 0; k < 30; ++k)
                    AdviseStart(conv, k % 3, CF_TEXT, kFlags[m_rng() % 4]);
                PumpPending();
                while (!m_links.empty()) {
                    std::size_t i = 0;
                    while (i < m_links.size() && m_links[i].first != conv)
                        ++i;
                    if (i == m_links.size())
                        break;
                    AdviseStop(i);
                }
            }
        } else if (r < 90) {  // a connection storm
            kind = 8;
            for (int k = 0; k < 8; ++k) {
                ++g_tally.transactions;
                const HCONV h = DdeConnect(m_id, m_services[0], Pick(m_realTopics), nullptr);
                if (h != nullptr) {
                    ++g_tally.connects;
                    if (k % 2 == 0 && DdeClientTransaction(nullptr, 0, h, m_realItems[k % 3], CF_TEXT,
                                                           XTYP_REQUEST, kWait, nullptr) != nullptr)
                        ++g_tally.data;
                    DdeDisconnect(h);
                }
            }
        } else if (r < 95) {  // a request left to itself
            kind = 9;
            if (HCONV conv = AnyConv()) {
                ++g_tally.transactions;
                DWORD id = 0;
                if (DdeClientTransaction(nullptr, 0, conv, Pick(m_realItems), CF_TEXT, XTYP_REQUEST, TIMEOUT_ASYNC,
                                         &id) != nullptr)
                    DdeAbandonTransaction(m_id, conv, id);
            }
        } else {  // wildcards
            kind = 10;
            ++g_tally.transactions;
            const HCONV h = DdeConnect(m_id, Percent() < 50 ? nullptr : m_services[0], nullptr, nullptr);
            if (h != nullptr) {
                ++g_tally.connects;
                DdeDisconnect(h);
            }
        }
        return kind;
    }

    DWORD m_id;
    std::mt19937 m_rng;
    Names m_names;
    std::vector<HSZ> m_services, m_topics, m_realTopics, m_items, m_realItems;
    std::vector<UINT> m_formats;
    std::vector<HCONV> m_convs;
    std::vector<std::pair<HCONV, int>> m_links;  // made with CF_TEXT on a real item
    std::vector<HCONV> m_dead;
    enum { kKindCount = 11 };
    long m_kindCount[kKindCount] = {};
    double m_kindMs[kKindCount] = {};

public:
    std::vector<HCONV>& Dead() { return m_dead; }
};

}  // namespace

int RunHostile(long count, unsigned seed, long serial) {
    CDdeClientInstance client(HostileCallback);
    if (!client.IsValid()) {
        std::printf("no DDE\n");
        return 1;
    }
    {
        Hostile hostile(client.Id(), seed, serial);
        g_pDead = &hostile.Dead();
        hostile.Run(count);
        g_pDead = nullptr;
        hostile.PrintTimes();
    }
    std::printf("done %ld transactions (seed %u): %ld connections, %ld requests answered, %ld refused, "
                "%ld links, %ld updates, %ld ended by the server\n",
                g_tally.transactions, seed, g_tally.connects, g_tally.data, g_tally.refused, g_tally.advises,
                g_tally.updates, g_tally.disconnects);
    std::fflush(stdout);
    return 0;
}
