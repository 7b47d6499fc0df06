#ifndef _WIN32
#include "support/postgres_cluster.h"

#include "support/temporary_folder.h"

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

const std::string kBin = "/usr/lib/postgresql/15/bin/";

// The server and its tools refuse root; as root they run as "postgres".
std::string asServerUser()
{
    return geteuid() == 0 ? "runuser -u postgres -- " : "";
}

} // namespace

int freeLocalPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        close(fd);
    return port;
}

PostgresCluster& PostgresCluster::shared()
{
    static PostgresCluster cluster;
    return cluster;
}

bool PostgresCluster::run(const std::string& command)
{
    const std::string log = (m_folder / "commands.log").string();
    if (std::system((asServerUser() + command + " >>" + log + " 2>&1").c_str()) == 0)
        return true;
    std::ifstream in(log);
    m_error = command + " failed: " + std::string(std::istreambuf_iterator<char>(in), {});
    return false;
}

PostgresCluster::PostgresCluster()
{
    m_folder = makeTemporaryFolder("ql-pg");
    if (m_folder.empty()) {
        m_error = "no temporary folder";
        return;
    }
    if (geteuid() == 0) {
        const passwd* server = getpwnam("postgres");
        if (!server || chown(m_folder.c_str(), server->pw_uid, server->pw_gid) != 0) {
            m_error = "no user postgres to run the server as";
            return;
        }
    }
    {
        std::ofstream password(m_folder / "password");
        password << kPassword << "\n";
    }
    const std::string folder = m_folder.string();
    const int port = freeLocalPort();
    if (std::system(("chmod a+r " + folder + "/password").c_str()) != 0 ||
        !run(kBin + "initdb -D " + folder + "/data -U " + kUser + " --pwfile=" + folder +
             "/password --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --no-locale") ||
        !run(kBin + "pg_ctl -D " + folder + "/data -l " + folder + "/server.log -w -t 60 -o \"-p " +
             std::to_string(port) + " -k " + folder + " -c listen_addresses=127.0.0.1 -c fsync=off\" start"))
        return;
    m_port = port;
    setenv("PGPASSWORD", kPassword, 1);
}

PostgresCluster::~PostgresCluster()
{
    if (m_port != 0)
        run(kBin + "pg_ctl -D " + m_folder.string() + "/data -m immediate -w stop");
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

QString PostgresCluster::createDatabase()
{
    if (!running())
        return {};
    const std::string name = "store" + std::to_string(++m_databases);
    if (!run(kBin + "createdb -h " + m_folder.string() + " -p " + std::to_string(m_port) + " -U " + kUser +
             " " + name))
        return {};
    return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3")
        .arg(QString::fromLatin1(kUser))
        .arg(m_port)
        .arg(QString::fromStdString(name));
}
#endif
