// The real node: Debian's litecoind on regtest, reached through batch files
// that call the real litecoin-cli. Skipped where litecoind is not installed.
#include "helpers.h"

#include "platform/posix/posix_command_runner.h"
#include "platform/posix/posix_process_counter.h"
#include "platform/posix/posix_text_files.h"

#include <cctype>
#include <csignal>
#include <cstdio>

namespace vqd::it {
namespace {

using namespace std::chrono;

constexpr const char* kDaemon = "/usr/lib/litecoin/litecoind";
constexpr const char* kCli = "/usr/bin/litecoin-cli";

class LitecoindRegtest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kDaemon) || !fs::exists(kCli)) GTEST_SKIP() << "litecoind is not installed";
        fs::create_directories(data);
        fs::create_directories(work);
        // Ports of our own, so other copies of this test on the machine do not meet ours.
        const int port = 20000 + static_cast<int>(::getpid() % 10000) * 2;
        put(conf, "regtest=1\nserver=1\ndatadir=" + data.string() + "\npid=" + pid_file.string() +
                      "\nrpcuser=panel\nrpcpassword=panelpass\nlisten=0\ndnsseed=0\ndiscover=0\nupnp=0\n"
                      "fallbackfee=0.0001\n[regtest]\nrpcbind=127.0.0.1\nrpcallowip=127.0.0.1\nrpcport=" +
                      std::to_string(port) + "\nport=" + std::to_string(port + 1) + "\nconnect=0\n");
        ASSERT_EQ(wait_exit(spawn({kDaemon, "-conf=" + conf, "-daemon"})), 0);
        ASSERT_TRUE(eventually([&] { return cli("getblockcount") == "0\n"; }, seconds(20)));
    }

    void TearDown() override {
        const pid_t pid = daemon_pid();
        if (pid > 0 && ::kill(pid, 0) == 0) {
            ::kill(pid, SIGTERM);
            eventually([&] { return ::kill(pid, 0) != 0; }, seconds(10));
        }
    }

    std::string cli(const std::string& args) const {
        return output_of(std::string(kCli) + " -conf=" + conf + " " + args + " 2>/dev/null");
    }
    pid_t daemon_pid() const {
        const std::string text = slurp(pid_file);
        return text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) ? -1 : static_cast<pid_t>(std::stol(text));
    }
    std::string batch_line(const std::string& command, const std::string& log = {}) const {
        std::string line = "call \"" + std::string(kCli) + "\" -conf=" + conf + " " + command;
        return log.empty() ? line : line + " > " + log;
    }

    TempDir dir;
    fs::path data = dir.path() / "data";
    fs::path work = dir.path() / "work";
    fs::path pid_file = dir.path() / "node.pid";
    std::string conf = (work / "litecoin.conf").string();
    PosixTextFiles files;
    PosixCommandRunner runner;
};

TEST_F(LitecoindRegtest, CountAndStopThroughBatchFiles) {
    cli("createwallet panel");
    const std::string address = cli("getnewaddress");
    ASSERT_FALSE(address.empty());
    cli("generatetoaddress 3 " + address.substr(0, address.size() - 1));

    const fs::path batches = dir.path() / "batch dir";
    fs::create_directories(batches);
    const std::string log = (work / "DAZ-ER-GBC.LOG").string();
    files.write_line(batches / "DAZ-ER-GBC.BAT", batch_line("getblockcount", log));
    files.write_line(batches / "DAZ-ER-STOP.BAT", batch_line("stop"));

    const auto t0 = steady_clock::now();
    runner.run((batches / "DAZ-ER-GBC.BAT").string(), WindowStyle::Hidden);
    ASSERT_TRUE(eventually([&] { return slurp(log) == "3\n"; }, seconds(4)));
    std::printf("[ figures  ] litecoin-cli getblockcount through a batch file: answer in the log after %lld ms\n",
                static_cast<long long>(duration_cast<milliseconds>(steady_clock::now() - t0).count()));
    EXPECT_GE(PosixProcessCounter().count("LITECOIND"), 1);

    const pid_t daemon = daemon_pid();
    ASSERT_GT(daemon, 0);
    runner.run((batches / "DAZ-ER-STOP.BAT").string(), WindowStyle::Hidden);
    EXPECT_TRUE(eventually([&] { return ::kill(daemon, 0) != 0; }, seconds(10)));

    // With the node down the client only complains on its error stream.
    runner.run((batches / "DAZ-ER-GBC.BAT").string(), WindowStyle::Hidden);
    EXPECT_TRUE(eventually([&] { return slurp(log).empty(); }, seconds(4)));
    EXPECT_EQ(files.read_whole(log), "");
}

}  // namespace
}  // namespace vqd::it
