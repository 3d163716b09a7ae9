// A private InfluxDB for a Windows test under Wine: influx_server.sh starts
// and stops influxd (a Linux program) on a loopback port, with its data in a
// folder of the test's own (tests/server_script.h runs it).
#pragma once

#include "tests/server_script.h"
#include "tests/silent_server.h"

#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace qm487test {

class InfluxServer {
public:
    // dir: a Linux path of the test's own, removed at the end.
    explicit InfluxServer(const std::string& dir) : m_script(QM487_INFLUX_SCRIPT, dir) {}
    ~InfluxServer() { Run("clean", 30000); }

    // Starts it, again on the same port and data after Stop.
    bool Start() {
        m_bStarted = Run("start", 60000);
        if (m_bStarted)
            m_nPort = std::stoi(ReadText("port"));
        return m_bStarted;
    }
    bool Stop() { return Run("stop", 30000); }
    bool IsStarted() const { return m_bStarted; }
    // A database of the running test's own, so tests that share the server
    // see only their own points; its name.
    // bCreate false: only named, created later by CreateDatabase.
    std::string NewDatabase(bool bCreate = true) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_database = std::string(info->test_suite_name()) + "_" + info->name();
        return !bCreate || CreateDatabase() ? m_database : std::string();
    }
    bool CreateDatabase() { return Run("createdb", 30000, m_database); }
    // Before Start: authentication on, with this admin (UTF-8).
    void RequireLogin(const std::string& user, const std::string& password) {
        std::filesystem::create_directories(WinPath(""));
        std::ofstream(WinPath("admin"), std::ios::binary) << user << "\n" << password << "\n";
    }
    // Before Start: a request body larger than this gets 413.
    void LimitBody(int bytes) {
        std::filesystem::create_directories(WinPath(""));
        std::ofstream(WinPath("max-body"), std::ios::binary) << bytes;
    }
    int Port() const { return m_nPort; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort); }

    // Rows of the query's answer, each the row's values blank-separated
    // (time in ms first, "-" for an absent value).
    std::vector<std::string> Query(const std::string& q) {
        std::ofstream(WinPath("query.in"), std::ios::binary) << q;
        std::vector<std::string> rows;
        if (!Run("query", 30000, m_database))
            return rows;
        std::istringstream in(ReadText("query.out"));
        for (std::string line; std::getline(in, line);)
            if (!line.empty())
                rows.push_back(line);
        return rows;
    }

private:
    std::filesystem::path WinPath(const std::string& name) const { return m_script.Path(name); }
    std::string ReadText(const std::string& name) const { return m_script.ReadText(name); }
    bool Run(const std::string& cmd, DWORD timeoutMs, const std::string& arg = std::string()) {
        return m_script.Run(cmd, timeoutMs, arg);
    }

    ServerScript m_script;
    std::string m_database;
    bool m_bStarted = false;
    int m_nPort = 0;
};

// One server for the whole test program: starting influxd takes seconds.
// Started by the first test that asks; removed when the program ends (and
// by the CTest clean-up after a crash).
inline InfluxServer& SharedInflux() {
    static InfluxServer server(std::string(QM487_INFLUX_BASE) + "/shared");
    if (!server.IsStarted())
        server.Start();
    return server;
}

}  // namespace qm487test
