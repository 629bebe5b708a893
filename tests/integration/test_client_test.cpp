// The stand-in client answers as the node's client does, as its conf file says.
#include "helpers.h"

namespace vqd::it {
namespace {

class TestClient : public ::testing::Test {
protected:
    TempDir dir;
    std::string conf = dir / "node.conf";

    // Standard output and exit status of one call; standard error is kept apart.
    std::string call(const std::string& command, int* code = nullptr) const {
        return output_of("'" + std::string(VQD_TEST_CLI) + "' -conf=" + conf + " -daemon=1 " + command + " 2>" +
                             (dir / "stderr.txt"),
                         code);
    }
    std::string error_stream() const { return slurp(dir / "stderr.txt"); }
};

TEST_F(TestClient, CountsAreANumberAndALineEnd) {
    put(conf, "blocks=2500000\nconnections=3\n");
    int code = -1;
    EXPECT_EQ(call("getblockcount", &code), "2500000\n");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(call("getconnectioncount"), "3\n");
    put(conf, "blocks=10\ngrow=1\n");
    EXPECT_EQ(call("getblockcount"), "10\n");
    EXPECT_EQ(call("getblockcount"), "11\n");
    EXPECT_EQ(call("getconnectioncount"), "8\n");
    EXPECT_EQ(call("getblockcount"), "12\n");
}

TEST_F(TestClient, ModesForTheUnhappyPaths) {
    put(conf, "mode=error_text\n");
    int code = 0;
    const std::string text = call("getblockcount", &code);
    EXPECT_EQ(text.rfind("error: ", 0), 0u) << text;
    EXPECT_EQ(code, 1);
    put(conf, "mode=silent\n");
    EXPECT_EQ(call("getconnectioncount", &code), "");
    put(conf, "mode=huge\n");
    EXPECT_GT(call("getblockcount").size(), 32767u);
    EXPECT_EQ(call("getbestblockhash", &code), "");
    EXPECT_EQ(code, 1);
}

TEST_F(TestClient, AStoppedNodeOnlyComplainsOnTheErrorStream) {
    put(conf, "blocks=5\n");
    EXPECT_EQ(call("stop"), "test node stopping\n");
    int code = 0;
    EXPECT_EQ(call("getblockcount", &code), "");
    EXPECT_EQ(code, 1);
    EXPECT_EQ(error_stream().rfind("error: Could not connect to the server", 0), 0u) << error_stream();
    EXPECT_EQ(call("stop", &code), "");
    EXPECT_EQ(code, 1);
    EXPECT_EQ(call("start"), "test node started\n");
    EXPECT_EQ(call("getblockcount"), "5\n");
    // A node configured as down starts so.
    put(dir / "down.conf", "stopped=1\n");
    EXPECT_EQ(output_of("'" + std::string(VQD_TEST_CLI) + "' -conf=" + (dir / "down.conf") + " getblockcount 2>/dev/null"),
              "");
}

TEST_F(TestClient, AMissingConfFileIsAnError) {
    int code = 0;
    EXPECT_EQ(call("getblockcount", &code), "");
    EXPECT_EQ(code, 1);
    EXPECT_NE(error_stream().find(conf), std::string::npos) << error_stream();
}

}  // namespace
}  // namespace vqd::it
