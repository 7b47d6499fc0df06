// `ql-rs485-cli identify` over a pseudo-terminal.
#include "cli_process.h"
#include "support/unprivileged.h"

#include <QFile>
#include <QTemporaryDir>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct IdentifyCliCase {
    const char* name;
    const char* deviceType;
    QStringList options;
    const char* printed;
};

class IdentifyCli : public testing::TestWithParam<IdentifyCliCase> {};

TEST_P(IdentifyCli, PrintsTheDeviceTypeThatAnswers)
{
    const IdentifyCliCase& c = GetParam();
    SimProcess sim({"--type", c.deviceType, "--addr", "7", "--line-rate"});
    ASSERT_FALSE(sim.pty().isEmpty());
    const CliResult r = runCli(QStringList{"identify", "--port", sim.pty(), "--addr", "7"} + c.options);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::string(c.printed) + "\n");
}

// Type 5 answers the first probe, type 2 the second with its follow-up; a
// known type that no longer answers gives way to the whole sequence.
INSTANTIATE_TEST_SUITE_P(
    Types, IdentifyCli,
    testing::Values(IdentifyCliCase{"Type5", "5", {}, "5"}, IdentifyCliCase{"Type2", "2", {}, "2"},
                    IdentifyCliCase{"FastKnownType6", "6", {"--fast", "--known-type", "6"}, "6"},
                    IdentifyCliCase{"FastKnownTypeGone", "2", {"--fast", "--known-type", "6"}, "2"}),
    [](const testing::TestParamInfo<IdentifyCliCase>& info) { return std::string(info.param.name); });

TEST(IdentifyCli, MeterAtOtherAddressIsNotFound)
{
    SimProcess sim({"--type", "5", "--addr", "7"});
    ASSERT_FALSE(sim.pty().isEmpty());
    const CliResult r = runCli({"identify", "--port", sim.pty(), "--addr", "8"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "0\n");
}

TEST(IdentifyCli, BadAddressIsAnArgumentError)
{
    const CliResult r = runCli({"identify", "--port", "/dev/null", "--addr", "248"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.empty());
}

TEST(IdentifyCli, MissingPortNamesTheSystemReason)
{
    const CliResult r = runCli({"identify", "--port", "/dev/ql-no-such-port"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("Unable to open com port (system error code: 2): No such file or directory\n"),
              std::string::npos)
        << r.err;
}

// A device without a line, a pipe and a folder are named as what they are not.
TEST(IdentifyCli, PathThatIsNoSerialPortSaysSo)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {QStringLiteral("/dev/null"), fifo, dir.path()}) {
        const CliResult r = runCli({"identify", "--port", path});
        EXPECT_EQ(r.exitCode, 2) << path.toStdString();
        EXPECT_NE(r.err.find("Unable to open com port: " + path.toStdString() + " is not a serial port\n"),
                  std::string::npos)
            << r.err;
    }
}

// As a user outside the group that owns the device, the message names that group.
TEST(IdentifyCli, RefusedPortNamesTheGroupThatOwnsIt)
{
    const group* dialout = getgrnam("dialout");
    if (geteuid() != 0 || !dialout)
        GTEST_SKIP() << "needs root to act as an unprivileged user, and the group dialout";
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther);
    const QString device = dir.filePath("ttyQL0");
    QFile file(device);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QByteArray path = QFile::encodeName(device);
    ASSERT_EQ(chown(path.constData(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(chmod(path.constData(), 0660), 0);

    // The checkout may lie in a folder only root can enter (a private home, a
    // 0700 temporary folder): run a copy from the temporary folder instead.
    const QString program = dir.filePath("ql-rs485-cli");
    ASSERT_TRUE(QFile::copy(QStringLiteral(QL_BIN_DIR "/ql-rs485-cli"), program));
    ASSERT_TRUE(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                   QFile::ReadOther | QFile::ExeOther));
    const QByteArray programPath = QFile::encodeName(program);
    if (runUnprivileged([&] { return access(programPath.constData(), X_OK) == 0 ? 0 : 1; }) != 0)
        GTEST_SKIP() << "the user nobody cannot reach " << programPath.constData()
                     << " (a temporary folder inside a private one?)";

    QProcess process;
    process.setChildProcessModifier([] {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(99);
    });
    process.start(program, {"identify", "--port", device});
    ASSERT_TRUE(process.waitForStarted(10000)) << process.errorString().toStdString();
    ASSERT_TRUE(process.waitForFinished(60000));
    const std::string err = process.readAllStandardError().toStdString();
    EXPECT_EQ(process.exitCode(), 2) << err;
    EXPECT_NE(err.find("Unable to open com port (system error code: 13): Permission denied\n"
                       "The user must be a member of the group \"dialout\", which owns " +
                       device.toStdString() + " (usermod -aG dialout USER, then log in again)."),
              std::string::npos)
        << err;
}

} // namespace
