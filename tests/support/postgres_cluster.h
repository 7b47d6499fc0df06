// A throwaway PostgreSQL 15 cluster for one test program: initdb into a fresh
// folder under /tmp (owned by the user "postgres" when the tests run as root,
// since the server refuses to run as root), a free port on 127.0.0.1, password
// authentication over TCP; stopped and removed when the program ends. A test
// that needs it fails, never skips, when it does not come up.
#pragma once

#include <QString>

#include <filesystem>
#include <string>

class PostgresCluster {
public:
    // The one cluster of this test program, started on first use.
    static PostgresCluster& shared();
    ~PostgresCluster();

    bool running() const { return m_port != 0; }
    // Why it is not running.
    const std::string& error() const { return m_error; }
    int port() const { return m_port; }

    // The role the tests connect as, and its password (PGPASSWORD is set to it).
    static constexpr const char* kUser = "ql";
    static constexpr const char* kPassword = "ql-test-secret";

    // A new empty database; its postgresql:// name, or empty (error() says why).
    QString createDatabase();

private:
    PostgresCluster();
    bool run(const std::string& command);

    std::filesystem::path m_folder;
    int m_port = 0;
    int m_databases = 0;
    std::string m_error;
};

// A TCP port on 127.0.0.1 that nobody listens on right now.
int freeLocalPort();
