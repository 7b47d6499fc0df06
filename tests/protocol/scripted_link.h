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

    ScriptedLink(const Waiter& clock, Script script) : FClock(clock), FScript(std::move(script)) {}

    bool Connected() const override { return FOpen; }
    void PurgeBuffers() override
    {
        Check();
        ++PurgeCount;
        FPending.clear();
        FWaiting.clear();
    }
    void SendBytes(ByteView bytes) override
    {
        Check();
        Requests.emplace_back(bytes.begin(), bytes.end());
        for (ScriptedPiece piece : FScript(static_cast<int>(Requests.size()) - 1, bytes)) {
            piece.atMs += FClock.NowMs();
            FPending.push_back(std::move(piece));
        }
    }
    int WaitingByteCount() override
    {
        Check();
        Release();
        return static_cast<int>(FWaiting.size());
    }
    Bytes ReceiveBytes(int count) override
    {
        Check();
        Release();
        const auto take = static_cast<std::ptrdiff_t>(std::min<size_t>(FWaiting.size(), std::max(count, 0)));
        Bytes out(FWaiting.begin(), FWaiting.begin() + take);
        FWaiting.erase(FWaiting.begin(), FWaiting.begin() + take);
        return out;
    }

    void SetOpen(bool open) { FOpen = open; }
    // Every later call but Connected() throws, as a vanished port does.
    void Break() { FBroken = true; }

    std::vector<Bytes> Requests;
    int PurgeCount = 0;

private:
    void Check() const
    {
        if (FBroken)
            throw EComPort(3, "ReadFile function failed", 5);
    }
    void Release()
    {
        const int64_t now = FClock.NowMs();
        auto due = std::stable_partition(FPending.begin(), FPending.end(),
                                         [now](const ScriptedPiece& p) { return p.atMs <= now; });
        std::stable_sort(FPending.begin(), due,
                         [](const ScriptedPiece& a, const ScriptedPiece& b) { return a.atMs < b.atMs; });
        for (auto it = FPending.begin(); it != due; ++it)
            FWaiting.insert(FWaiting.end(), it->bytes.begin(), it->bytes.end());
        FPending.erase(FPending.begin(), due);
    }

    const Waiter& FClock;
    Script FScript;
    bool FOpen = true;
    bool FBroken = false;
    std::vector<ScriptedPiece> FPending;
    Bytes FWaiting;
};
