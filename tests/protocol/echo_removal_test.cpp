// Echo removal in front of the exchange: the echoed request is taken off the
// line before the reply is collected and never logged as received; an echo
// that differs from the request voids that request's reply (a failed attempt)
// and is logged, and the next request starts afresh.
#include "protocol/exchange.h"

#include "log/log_model.h"
#include "scripted_link.h"
#include "serial/echo_removing_link.h"
#include "support/hex.h"

#include <gtest/gtest.h>

namespace {

const Bytes kRequest = hexBytes("17 65 C2 09 0D 00 00 00 00 00 00 00 04 00");
const Bytes kReply = hexBytes("17 65 04 01 02 03 04 AA BB");

struct EchoCase {
    const char* name;
    bool echoed;             // the line hears the request
    Bytes heard;             // what it hears when it does
    bool replyKept;          // the exchange gets kReply
    const char* mismatchLog; // log line of a mismatch; empty when none
};

class EchoRemovalTest : public testing::TestWithParam<EchoCase> {};

TEST_P(EchoRemovalTest, RemovesTheEchoOrVoidsTheReply)
{
    const EchoCase& c = GetParam();
    VirtualClock clock;
    ScriptedLink line(clock, [&](int index, ByteView) {
        std::vector<ScriptedPiece> pieces;
        // Only the first request meets the case's line; the second one is heard cleanly.
        if (c.echoed || index > 0)
            pieces.push_back({0, index > 0 ? kRequest : c.heard});
        pieces.push_back({30, kReply});
        return pieces;
    });
    EchoRemovingLink link(line);
    link.setEnabled(true);
    LogModel log;
    link.setMismatchReport([&log](const std::string& text) { log.appendLine(text); });
    Exchange exchange(link, log, clock);

    exchange.sendFrame(kRequest);
    const Bytes first = exchange.collectReply();
    exchange.sendFrame(kRequest);
    const Bytes second = exchange.collectReply();

    EXPECT_EQ(first, c.replyKept ? kReply : Bytes());
    EXPECT_EQ(second, kReply);
    std::vector<std::string> expected = {"【发送】" + bytesToHexSpaced(kRequest)};
    if (*c.mismatchLog)
        expected.push_back(c.mismatchLog);
    if (c.replyKept)
        expected.push_back("【接收】" + bytesToHexSpaced(kReply));
    expected.push_back("【发送】" + bytesToHexSpaced(kRequest));
    expected.push_back("【接收】" + bytesToHexSpaced(kReply));
    EXPECT_EQ(log.lines(), expected);
    EXPECT_EQ(exchange.echoedReplies(), 0);
}

// An echo left on the line (removal off, or the request heard twice with it
// on) puts the request in front of the reply: the exchange tells that apart
// from a plain bad reply.
TEST(EchoRemoval, ReplyBeginningWithTheRequestIsCountedAsEchoed)
{
    for (const bool removal : {false, true}) {
        VirtualClock clock;
        ScriptedLink line(clock, [&](int, ByteView) {
            Bytes heard = kRequest;
            if (removal)
                heard.insert(heard.end(), kRequest.begin(), kRequest.end());
            return std::vector<ScriptedPiece>{{0, heard}, {30, kReply}};
        });
        EchoRemovingLink link(line);
        link.setEnabled(removal);
        LogModel log;
        Exchange exchange(link, log, clock);
        exchange.sendFrame(kRequest);
        Bytes expected = kRequest;
        expected.insert(expected.end(), kReply.begin(), kReply.end());
        EXPECT_EQ(exchange.collectReply(), expected) << "removal " << removal;
        EXPECT_EQ(exchange.echoedReplies(), 1) << "removal " << removal;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, EchoRemovalTest,
    testing::Values(EchoCase{"EchoEqualToTheRequest", true, kRequest, true, ""},
                    EchoCase{"EchoWithAByteChanged", true,
                             hexBytes("17 65 C2 09 0D 00 00 00 00 00 00 00 04 01"), false,
                             "【回显错误】17 65 C2 09 0D 00 00 00 00 00 00 00 04 01"},
                    // The reply is taken for the echo, and is too short for one.
                    EchoCase{"NoEchoAtAll", false, {}, false, "【回显错误】17 65 04 01 02 03 04 AA BB"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
