// A ByteLink for exchange and run tests whose replies are scripted per request:
// the script gets the request's index and bytes and returns the reply pieces
// with their arrival times (ms after the request), so each test says exactly
// which attempt is answered, corrupted, split or left silent.
#pragma once

#include "protocol/waiter.h"
#include "serial/byte_link.h"

#include <algorithm>
#include <functional>
#include <vector>

struct ScriptedPiece {
    int64_t atMs = 0;
    Bytes bytes;
};

class ScriptedLink : public ByteLink {
public:
    using Script = std::function<std::vector<ScriptedPiece>(int requestIndex, ByteView request)>;

    ScriptedLink(const Waiter& clock, Script script) : m_clock(clock), m_script(std::move(script)) {}

    bool connected() const override { return m_open; }
    void purgeBuffers() override
    {
        check();
        ++purgeCount;
        m_pending.clear();
        m_waiting.clear();
    }
    void sendBytes(ByteView bytes) override
    {
        check();
        requests.emplace_back(bytes.begin(), bytes.end());
        for (ScriptedPiece piece : m_script(static_cast<int>(requests.size()) - 1, bytes)) {
            piece.atMs += m_clock.nowMs();
            m_pending.push_back(std::move(piece));
        }
    }
    int waitingByteCount() override
    {
        check();
        release();
        return static_cast<int>(m_waiting.size());
    }
    Bytes receiveBytes(int count) override
    {
        check();
        release();
        const auto take = static_cast<std::ptrdiff_t>(std::min<size_t>(m_waiting.size(), std::max(count, 0)));
        Bytes out(m_waiting.begin(), m_waiting.begin() + take);
        m_waiting.erase(m_waiting.begin(), m_waiting.begin() + take);
        return out;
    }

    void setOpen(bool open) { m_open = open; }
    // Every later call but connected() throws, as a vanished port does.
    void breakLink() { m_broken = true; }

    std::vector<Bytes> requests;
    int purgeCount = 0;

private:
    void check() const
    {
        if (m_broken)
            throw ComPortError(3, "ReadFile function failed", 5);
    }
    void release()
    {
        const int64_t now = m_clock.nowMs();
        auto due = std::stable_partition(m_pending.begin(), m_pending.end(),
                                         [now](const ScriptedPiece& p) { return p.atMs <= now; });
        std::stable_sort(m_pending.begin(), due,
                         [](const ScriptedPiece& a, const ScriptedPiece& b) { return a.atMs < b.atMs; });
        for (auto it = m_pending.begin(); it != due; ++it)
            m_waiting.insert(m_waiting.end(), it->bytes.begin(), it->bytes.end());
        m_pending.erase(m_pending.begin(), due);
    }

    const Waiter& m_clock;
    Script m_script;
    bool m_open = true;
    bool m_broken = false;
    std::vector<ScriptedPiece> m_pending;
    Bytes m_waiting;
};
